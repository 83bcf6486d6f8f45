#!/usr/bin/env bash
# What may include what: the two programs share only formats/; the platform
# layer knows nothing of the system above it; formats/ and the math stand
# alone. Prints every include that breaks a rule and fails if there is one.
set -u
cd "$(dirname "$0")/../.."
bad=0
rule() {  # rule <folder> <forbidden include prefix...>
  local folder=$1
  shift
  [ -d "$folder" ] || return 0
  for prefix in "$@"; do
    hits=$(grep -rnE "#include +\"$prefix" "$folder" --include='*.h' --include='*.cpp' || true)
    if [ -n "$hits" ]; then
      echo "$folder must not include $prefix:"
      echo "$hits"
      bad=1
    fi
  done
}
rule formats engine/ tool/ platform/
rule engine tool/
rule tool engine/
rule platform engine/ tool/
# The math core of the scene depends on nothing but itself.
for f in engine/scene/Vector3.h engine/scene/Matrix4.h engine/scene/MathKit.h engine/scene/MathKit.cpp; do
  if grep -nE '#include +[<"](d3d|ddraw|windows)' "$f"; then
    echo "$f must not depend on the platform"
    bad=1
  fi
done
[ $bad -eq 0 ] && echo "layout rules hold"
exit $bad

#!/usr/bin/env bash
# cmake --install into an empty prefix gives the four programs, a desktop
# entry for each of the two windowed ones whose Exec names installed files,
# the tool's icon and a sample world the installed engine loads, keeping
# its log in the XDG state folder and nothing in the installed folder.
# usage: install.sh BUILD_DIR
set -u
build=$(realpath "$1")
prefix=$(mktemp -d /tmp/tarn-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"
  exit 1
fi
rm -f "$prefix.log"
for program in tarnview tarnview-replay rigwright rigwright-batch; do
  [ -x "$prefix/bin/$program" ] || fail "no bin/$program"
done
[ -f "$prefix/share/pixmaps/rigwright.xpm" ] || fail "no icon"
for entry in tarnview rigwright; do
  file=$prefix/share/applications/$entry.desktop
  if [ ! -f "$file" ]; then
    fail "no desktop entry for $entry"
    continue
  fi
  # Every quoted word of Exec is an installed file or folder.
  exec_line=$(grep '^Exec=' "$file")
  for word in $(grep -o '"[^"]*"' <<<"$exec_line" | tr -d '"'); do
    [ -e "$word" ] || fail "$entry.desktop runs $word, which was not installed"
  done
done
echo "desktop entries: $(ls "$prefix/share/applications" | tr '\n' ' ')"

# The installed world loads as the built one does (the same objects).
export XDG_STATE_HOME=$prefix/state
touch "$prefix/before-runs"
count_objects() { (cd "$1" 2>/dev/null && "$prefix/bin/tarnview-replay" --stats --frames 0 | grep -c '^object '); }
copy=$prefix/built-sample
cp -r "$build/sample" "$copy"
installed=$(count_objects "$prefix/share/tarn/sample")
built=$(count_objects "$copy")
echo "sample world: $installed objects installed, $built built"
[ "${installed:-0}" -gt 0 ] && [ "$installed" = "$built" ] || fail "the installed sample world does not load as the built one"
written=$(find "$prefix/share/tarn/sample" -newer "$prefix/before-runs")
[ -z "$written" ] || fail "a run in the installed sample wrote into it: $written"
grep -q '^Succed: DrawCreate$' "$prefix/state/tarn/Tarn.log" 2>/dev/null ||
  fail "the installed sample's run kept no log in \$XDG_STATE_HOME/tarn"
[ -f "$copy/Tarn.log" ] || fail "a run in a copy of the sample kept no log in the copy"
[ $failures -eq 0 ]

#!/usr/bin/env bash
# Every program's command line, with no display at all: --help (usage on
# stdout, status 0) and --version (the project's version, status 0) answer
# without one, an unknown option gets a usage line on stderr and status 2,
# and the two programs that need a display say that none could be opened
# and end at once with status 1, in one line of their own.
# usage: command_lines.sh VERSION PROGRAM...
set -u
version=$1
shift
unset DISPLAY WAYLAND_DISPLAY XDG_RUNTIME_DIR
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

# run PROGRAM ARGS...: status in $status, output in $out and $err.
run() {
  timeout 10 "$@" >"$out" 2>"$err"
  status=$?
}

for program in "$@"; do
  name=$(basename "$program")
  run "$program" --help
  [ $status -eq 0 ] || fail "$name --help: status $status"
  grep -q "^usage: $name" "$out" || fail "$name --help: no usage on stdout: $(head -c 200 "$out")"

  run "$program" --version
  [ $status -eq 0 ] || fail "$name --version: status $status"
  [ "$(cat "$out")" = "$name $version" ] || fail "$name --version printed '$(head -c 200 "$out")'"

  run "$program" --no-such-option
  [ $status -eq 2 ] || fail "$name --no-such-option: status $status"
  grep -q "usage: $name" "$err" || fail "$name --no-such-option: no usage line on stderr"
  [ -s "$out" ] && fail "$name --no-such-option wrote to stdout"

  case $name in
    tarnview | rigwright)
      start=$(date +%s%N)
      run "$program"
      ms=$((($(date +%s%N) - start) / 1000000))
      [ $status -eq 1 ] || fail "$name without a display: status $status"
      grep -q "^$name: no display could be opened" "$err" && [ "$(wc -l <"$err")" -eq 1 ] ||
        fail "$name without a display said: $(head -c 300 "$err")"
      [ $ms -lt 5000 ] || fail "$name without a display took $ms ms to end"
      echo "$name without a display: status $status after $ms ms"
      ;;
  esac
done
[ $failures -eq 0 ] && echo "command lines of $# programs as expected"
[ $failures -eq 0 ]

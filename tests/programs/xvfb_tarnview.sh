#!/usr/bin/env bash
# tarnview on a real (virtual) X display: in a temporary world it starts,
# writes its log, and ends with status 0 on an Escape key, and again when
# its window is closed (a program that never ends meets ctest's timeout).
# usage: xvfb_tarnview.sh TARNVIEW CLOSE_WINDOW_HELPER
set -u
. "$(dirname "$0")/../common/skip.sh"
tarnview=$(realpath "$1")
closer=$(realpath "$2")
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/deps.sh installs it)"
done

work=$(mktemp -d /tmp/tarn-xvfb-XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 1024x768x24 -nolisten tcp || skip "no X server could be started: $(head -c 300 "$work/xvfb.log")"
export SDL_AUDIODRIVER=dummy
# The display libraries under SDL (D-Bus, the Mesa driver it unloads) keep
# memory to the end of the process, which a sanitizer build reports as
# leaks in modules it cannot name; the engine's own memory is leak-checked
# by the headless runs, which go through the same code.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

world=$work/world
mkdir -p "$world"
printf 'Screen 640 480\n' >"$world/tarn.cfg"
printf 'End\n' >"$world/exam.map"

# start: runs tarnview in the world and waits until its window is up.
start() {
  (cd "$world" && exec "$tarnview") >"$work/out.log" 2>&1 &
  app_pid=$!
  until xdotool search --name '^Doze1$' >/dev/null 2>&1 && grep -q 'SetMaterial' "$world/Tarn.log" 2>/dev/null; do
    if ! kill -0 $app_pid 2>/dev/null; then
      echo "FAIL: tarnview ended before its window came up"; cat "$work/out.log"; return 1
    fi
    sleep 0.1
  done
}

# finish WHAT: waits for tarnview to end, with status 0.
finish() {
  local what=$1 status
  wait $app_pid
  status=$?
  app_pid=
  if [ $status -ne 0 ]; then
    echo "FAIL: tarnview ended with status $status after $what"; cat "$work/out.log"; return 1
  fi
  echo "ok: tarnview ended with status 0 after $what"
}

start || exit 1
grep -q '^Succed: DrawCreate$' "$world/Tarn.log" || { echo "FAIL: no log line"; cat "$world/Tarn.log"; exit 1; }
window=$(xdotool search --name '^Doze1$' | head -1)
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
# Held until the program ends: the engine polls the key state once per
# frame, so a tap shorter than a frame (a slow one, on a loaded machine)
# could fall between two polls, as on the platform.
xdotool keydown Escape
finish "Escape"
ended=$?
xdotool keyup Escape
[ $ended -eq 0 ] || exit 1

start || exit 1
"$closer" Doze1 || { echo "FAIL: no window titled Doze1 to close"; exit 1; }
finish "the window was closed" || exit 1

[ "$(grep -c '^Succed: DrawCreate$' "$world/Tarn.log")" -eq 2 ] || { echo "FAIL: two runs, not two logs"; exit 1; }
exit 0

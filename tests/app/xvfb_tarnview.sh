#!/usr/bin/env bash
# tarnview on a real (virtual) X display: in a temporary world it starts,
# writes its log, and ends with status 0 within 5 s of an Escape key, and
# again within 5 s of its window being closed.
# usage: xvfb_tarnview.sh TARNVIEW CLOSE_WINDOW_HELPER
# Exits 77 (skipped) with a message when no X server can be started.
set -u
tarnview=$(realpath "$1")
closer=$(realpath "$2")
for tool in Xvfb xdotool; do
  if ! command -v $tool >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  fi
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
if ! start_xvfb "$work" -screen 0 1024x768x24 -nolisten tcp; then
  echo "SKIP: no X server could be started: $(head -c 300 "$work/xvfb.log")"
  exit 77
fi
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
  for _ in $(seq 100); do
    if xdotool search --name '^Doze1$' >/dev/null 2>&1 && grep -q 'SetMaterial' "$world/Tarn.log" 2>/dev/null; then
      return 0
    fi
    if ! kill -0 $app_pid 2>/dev/null; then
      echo "FAIL: tarnview ended before its window came up"; cat "$work/out.log"; return 1
    fi
    sleep 0.1
  done
  echo "FAIL: no window after 10 s"; cat "$work/out.log"; return 1
}

# finish: waits up to 5 s for tarnview to end with status 0.
finish() {
  local what=$1
  for _ in $(seq 50); do
    if ! kill -0 $app_pid 2>/dev/null; then
      wait $app_pid
      local status=$?
      app_pid=
      if [ $status -ne 0 ]; then
        echo "FAIL: tarnview ended with status $status after $what"; cat "$work/out.log"; return 1
      fi
      echo "ok: tarnview ended with status 0 after $what"
      return 0
    fi
    sleep 0.1
  done
  echo "FAIL: tarnview still runs 5 s after $what"; cat "$work/out.log"; return 1
}

start || exit 1
grep -q '^Succed: DrawCreate$' "$world/Tarn.log" || { echo "FAIL: no log line"; cat "$world/Tarn.log"; exit 1; }
window=$(xdotool search --name '^Doze1$' | head -1)
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.3
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

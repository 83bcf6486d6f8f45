#!/usr/bin/env bash
# The real host under Xvfb: rigwright starts, shows its menu bar with its
# five menus (tests/tool/menu_bar.py reads the screenshot), waits in poll()
# while idle, and exits 0 on Esc.
# Usage: gtk_smoke.sh path/to/rigwright
set -u
program=$(realpath "$1")
. "$(dirname "$0")/../common/skip.sh"
for tool in Xvfb xdotool python3; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/deps.sh installs it)"
done
work=$(mktemp -d /tmp/rigwright-smoke-XXXXXX)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "${KEEP_SHOT:-}" ] && cp "$work/shot.png" "$KEEP_SHOT"; rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 800x600x24 -nolisten tcp || skip "Xvfb did not start: $(head -c 300 "$work/xvfb.log")"

"$program" --screenshot "$work/shot.png" --screenshot-delay 500 &
app=$!
for _ in $(seq 50); do [ -s "$work/shot.png" ] && break; sleep 0.1; done
[ -s "$work/shot.png" ] || { echo "no screenshot"; exit 1; }

# Idle, the message loop (a PeekMessage loop, as the tool's own) sleeps in
# poll() for the host's idle wait between looks at its queue: nearly every
# look at the main thread finds it in the kernel's poll, asleep or just
# woken. A loop that spins or polls without waiting is found running in user
# space (wchan 0) at nearly every look. (How much processor time the idle
# tool takes is a figure, not a behaviour, and is not measured here.)
# Where the kernel hides wchan (0 for every thread), a sleeping probe shows it.
sleep 5 &
probe=$!
for _ in $(seq 100); do [ "$(awk '{print $3}' /proc/$probe/stat 2>/dev/null)" = S ] && break; sleep 0.01; done
probe_wchan=$(cat "/proc/$probe/wchan" 2>/dev/null)
kill $probe 2>/dev/null
case $probe_wchan in ''|0) skip "the kernel does not say where a thread waits (/proc/PID/wchan)" ;; esac
in_poll=0 seen=
for _ in $(seq 20); do
  # State and wchan are read one after the other: "S 0" is a thread that
  # woke in between, so that look is taken again.
  for _ in 1 2 3 4 5; do
    state=$(awk '{print $3}' "/proc/$app/stat") wchan=$(cat "/proc/$app/wchan")
    [ "$state $wchan" != "S 0" ] && break
  done
  case $wchan in
    *poll*) in_poll=$((in_poll + 1)) ;;
    *) seen="$seen; $state $wchan" ;;
  esac
  sleep 0.05
done
echo "idle: in poll at $in_poll of 20 looks${seen:+ (otherwise$seen)}"
[ "$in_poll" -ge 15 ] || { echo "the idle loop does not wait in poll"; exit 1; }

# The menu bar: a band above the client area holding the five menus' names
# (File, View, Edit, List, Help).
bar=$(python3 "$(dirname "$0")/menu_bar.py" "$work/shot.png") || { echo "no menu bar: $bar"; exit 1; }
echo "$bar"
case $bar in
  *", 5 labels at "*) ;;
  *) echo "the menu bar does not show five menus"; exit 1 ;;
esac

for w in $(xdotool search --name '^Rigwright$'); do xdotool windowfocus "$w" 2>/dev/null; done
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "Esc did not end the program"; exit 1; fi
wait "$app"
status=$?
app=
echo "exit status: $status"
[ "$status" -eq 0 ]

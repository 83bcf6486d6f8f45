#!/usr/bin/env bash
# The real host under Xvfb: rigwright starts, shows its menu bar with its
# five menus (tests/tool/menu_bar.py reads the screenshot), stays idle
# without burning a processor, and exits 0 on Esc.
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

# Idle for two seconds: the processor time used must stay small.
ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
before=$(ticks); sleep 2; after=$(ticks)
hz=$(getconf CLK_TCK)
used_ms=$(( (after - before) * 1000 / hz ))
echo "idle processor time over 2 s: ${used_ms} ms"
[ "$used_ms" -lt 500 ] || { echo "the idle loop burns a processor"; exit 1; }

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

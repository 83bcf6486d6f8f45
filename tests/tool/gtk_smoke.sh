#!/usr/bin/env bash
# The real host under Xvfb: rigwright starts, shows its menu bar (the
# screenshot has more than the white of the client area), stays idle without
# burning a processor, and exits 0 on Esc.
# Usage: gtk_smoke.sh path/to/rigwright
set -u
program=$(realpath "$1")
work=$(mktemp -d /tmp/rigwright-smoke-XXXXXX)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "${KEEP_SHOT:-}" ] && cp "$work/shot.png" "$KEEP_SHOT"; rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 800x600x24 || { echo "Xvfb did not start"; exit 1; }

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

if command -v identify >/dev/null; then
  colours=$(identify -format %k "$work/shot.png")
  echo "screenshot colours: $colours"
  [ "$colours" -gt 2 ] || { echo "blank screenshot"; exit 1; }
fi

for w in $(xdotool search --name '^Rigwright$'); do xdotool windowfocus "$w" 2>/dev/null; done
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "Esc did not end the program"; exit 1; fi
wait "$app"
status=$?
app=
echo "exit status: $status"
[ "$status" -eq 0 ]

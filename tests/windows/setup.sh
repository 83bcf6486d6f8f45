#!/usr/bin/env bash
# wine.setup STATE_DIR: starts the run's X server (Xvfb, 800 x 600 at 16
# bits with GLX, as the engine's display mode wants) and makes a fresh
# WINEPREFIX. Skipped, with the reason, where Wine cannot run.
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
command -v wine >/dev/null 2>&1 || skip "wine is not installed (scripts/deps-win32.sh wine installs it)"
for tool in Xvfb xdotool xwd; do
  command -v $tool >/dev/null 2>&1 || skip "$tool is not installed (scripts/deps-win32.sh wine installs it)"
done
locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8' || skip "the ko_KR.UTF-8 locale is not generated (scripts/deps-win32.sh wine)"

"$(dirname "$0")/cleanup.sh" "$state" >/dev/null 2>&1
mkdir -p "$state" "$TMPDIR"
display=
for n in $(seq 70 99); do
  if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display between :70 and :99"; exit 1; }
setsid Xvfb "$display" -noreset -screen 0 800x600x16 +extension GLX -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
echo $! >"$state/xvfb.pid"
export DISPLAY=$display
if ! wait_for 10 xdotool getdisplaygeometry; then
  echo "Xvfb did not start:"; cat "$state/xvfb.log"; exit 1
fi
start=$(date +%s)
wineboot -i >"$state/wineboot.log" 2>&1 || { echo "wineboot failed:"; tail -20 "$state/wineboot.log"; exit 1; }
# One server for the whole run, so that each program starts quickly.
wineserver -p >/dev/null 2>&1 </dev/null
echo "$display" >"$state/display"
echo "WINEPREFIX $WINEPREFIX made in $(($(date +%s) - start)) s on display $display"

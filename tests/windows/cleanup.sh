#!/usr/bin/env bash
# windows.WineCleanup STATE_DIR: ends the run's Wine server and X server and
# removes the prefix.
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
if command -v wineserver >/dev/null 2>&1 && [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null; fi
if [ -f "$state/xvfb.pid" ]; then
  kill "$(cat "$state/xvfb.pid")" 2>/dev/null
  rm -f "$state/xvfb.pid"
fi
rm -rf "$WINEPREFIX" "$state/display" "$state/route" "$state/xvfb" "$TMPDIR"
exit 0

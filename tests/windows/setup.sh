#!/usr/bin/env bash
# windows.WineSetup STATE_DIR WIN32_DIR WIN64_DIR: picks the run's route (the
# 32-bit programs of WIN32_DIR under 32-bit Wine where this machine runs
# 32-bit programs, else the 64-bit ones of WIN64_DIR under wine64; the i386
# loader's answer decides, not the kernel's name), starts the run's X server
# (Xvfb, 800 x 600 at 16 bits with GLX, as the engine's display mode wants)
# and makes a fresh WINEPREFIX. Skipped, with the reason, where no Wine can
# run. TARN_WINE_BITS=32 or 64 forces a route (the windows.Wine64* tests force 64,
# with TARN_WINE_ALSO set: they skip where the machine's own route is that).
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
win32_dir=$2 win64_dir=$3
i386_loader=/lib/ld-linux.so.2

"$(dirname "$0")/cleanup.sh" "$state" >/dev/null 2>&1
rm -f "$state/route"
if answer=$(LC_ALL=C "$i386_loader" --version 2>&1 </dev/null); then
  bits=32
  why="this machine runs 32-bit programs"
else
  bits=64
  answer=$(printf '%s' "$answer" | head -1)
  why="this machine runs no 32-bit program ($i386_loader: ${answer:-not there})"
fi
# TARN_WINE_ALSO: a second run beside the machine's own route, pointless
# where that route is the one asked for.
if [ -n "${TARN_WINE_ALSO:-}" ] && [ "${TARN_WINE_BITS:-}" = $bits ]; then
  skip "$why: the windows.Wine* tests run the $bits-bit programs already"
fi
if [ -n "${TARN_WINE_BITS:-}" ]; then
  bits=$TARN_WINE_BITS
  why="TARN_WINE_BITS=$bits"
fi
case $bits in
  32) use_route 32 "$win32_dir" ;;
  64) use_route 64 "$win64_dir" ;;
  *) echo "TARN_WINE_BITS must be 32 or 64, not '$bits'"; exit 1 ;;
esac
[ -x "$wine" ] || skip "$why, and $wine is not installed (scripts/deps-win32.sh wine installs it)"
for tool in Xvfb xdotool xwd; do
  command -v $tool >/dev/null 2>&1 || skip "$tool is not installed (scripts/deps-win32.sh wine installs it)"
done
locale -a 2>/dev/null | grep -qix 'ko_KR.utf-\?8' || skip "the ko_KR.UTF-8 locale is not generated (scripts/deps-win32.sh wine)"
[ -d "$programs/bin" ] || skip "$why, and $programs/bin is missing (scripts/build.sh win$bits makes it)"
if ! version=$("$wine" --version 2>&1 </dev/null); then
  skip "$why, but $wine does not run here: $(printf '%s' "$version" | head -1)"
fi

mkdir -p "$state" "$TMPDIR"
# The run's X server outlives this script (the fixture's tests use it, and
# cleanup.sh ends it): in a session of its own.
mkdir -p "$state/xvfb"
xvfb_detach=1 start_xvfb "$state/xvfb" -screen 0 800x600x16 +extension GLX -nolisten tcp
started=$?
echo "$xvfb_pid" >"$state/xvfb.pid"
[ $started = 0 ] || { echo "Xvfb did not start:"; cat "$state/xvfb/xvfb.log"; exit 1; }
display=$DISPLAY
start=$(date +%s)
"$wine" wineboot -i >"$state/wineboot.log" 2>&1 || { echo "wineboot failed:"; tail -20 "$state/wineboot.log"; exit 1; }
# One server for the whole run, so that each program starts quickly.
wineserver -p >/dev/null 2>&1 </dev/null
echo "$display" >"$state/display"
echo "$bits $programs" >"$state/route"
echo "route: $why: the $bits-bit programs of $programs under $wine ($version)"
echo "WINEPREFIX $WINEPREFIX ($WINEARCH) made in $(($(date +%s) - start)) s on display $display"

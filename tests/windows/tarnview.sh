#!/usr/bin/env bash
# windows.WineTarnview STATE_DIR TARNVIEW_REPLAY FRAME_COMPARE
# tarnview.exe in the sample world under Wine: on the 32-bit route the world
# of tarn-win32.zip, unpacked as a Windows user would; on the 64-bit route
# the same world as the 64-bit build stages it (tarn-win64/world). The
# set-up lines of Tarn.log are the Linux build's (read as UTF-8), the terrain's debug file
# appears with its Korean name, the screen shows the Linux frame of the same
# scene (mean difference under 24 per channel outside the HUD's texts), and
# Escape ends the program with status 0.
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
replay=$2 compare=$3
need_wine

work=$state/tarnview
rm -rf "$work"
mkdir -p "$work"
if [ "$wine_route_bits" = 32 ]; then
  [ -f "$programs/tarn-win32.zip" ] || skip "$programs/tarn-win32.zip is missing (scripts/build.sh win32 makes it)"
  (cd "$work" && cmake -E tar xf "$programs/tarn-win32.zip") || { echo "FAILED: cannot unpack tarn-win32.zip"; exit 1; }
  mv "$work/tarn-win32/world" "$work/windows"
  [ -f "$work/windows/tarnview.exe" ] || { echo "FAILED: the zip has no world/tarnview.exe"; exit 1; }
else
  [ -f "$programs/tarn-win64/world/tarnview.exe" ] || skip "$programs/tarn-win64/world is missing (scripts/build.sh win64 stages it)"
  cp -r "$programs/tarn-win64/world" "$work/windows"
fi
cp -r "$work/windows" "$work/linux"
rm "$work/linux/tarnview.exe"
(cd "$work/linux" && "$replay" --frames 1 --shot ../linux.png >/dev/null) || { echo "tarnview-replay failed"; exit 1; }

cd "$work/windows"
"$wine" tarnview.exe >"$work/wine.log" 2>&1 &
pid=$!
fail() {
  echo "FAILED: $*"
  kill $pid 2>/dev/null
  exit 1
}
window=$(window_named 60 '^Doze1$') || fail "no window Doze1 within 60 s"
# The set-up is written before the first frame; give the loader time.
log_ready() { [ -f Tarn.log ] && [ "$(wc -l <Tarn.log)" -ge 14 ]; }
wait_for 60 log_ready || fail "Tarn.log has fewer than 14 lines"
# The first frames may still be the desktop: wait for the scene itself, the
# same comparison as below, on the screen as it is drawn.
frame_shown() {
  xwd -root -silent >"$work/screen.xwd" &&
    "$compare" "$work/screen.xwd" "$work/linux.png" 24 0 0 480 120 384 284 32 32
}
wait_for 60 frame_shown
xwd -root -silent >"$work/screen.xwd" || fail "xwd could not read the screen"
escape_until_exit 30 "$window" $pid
status=$?

bad=0
# The Windows log is code page 949, the Linux one UTF-8: compared as UTF-8.
iconv -f CP949 -t UTF-8 Tarn.log >"$work/windows-log.utf8" || { echo "Tarn.log is not code page 949 text"; bad=1; }
if ! cmp -s "$work/windows-log.utf8" "$work/linux/Tarn.log"; then
  echo "Tarn.log differs from the Linux build's:"
  diff "$work/linux/Tarn.log" "$work/windows-log.utf8"
  bad=1
fi
echo "Tarn.log: $(wc -l <Tarn.log) lines"
[ -f '하이트필드.txt' ] || { echo "하이트필드.txt was not written under its Korean name:"; ls; bad=1; }
"$compare" --png "$work/screen.xwd" "$work/screen.png"
# Outside the HUD: its text lines (top left, with the frame rate and the
# camera position), the status glyph and the centre mark.
"$compare" "$work/screen.xwd" "$work/linux.png" 24 0 0 480 120 384 284 32 32 || bad=1
[ $status -eq 0 ] || { echo "exit status $status after Escape (want 0)"; bad=1; }
echo "screen: $work/screen.png, Linux frame: $work/linux.png"
exit $bad

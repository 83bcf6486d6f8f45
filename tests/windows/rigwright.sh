#!/usr/bin/env bash
# windows.WineRigwright STATE_DIR EXPECTED_MENU FRAME_COMPARE
# rigwright.exe under Wine opens its window titled "Rigwright" with a menu
# bar; its program file holds menu 101 (as tool/rigwright.rc lists it), the
# icon group, the bitmap and the toolbar in Korean (1042); Esc ends it with
# status 0.
set -u
. "$(dirname "$0")/wine_common.sh" "$1"
expected=$2 compare=$3
need_wine
need_program rigwright.exe
need_program menu-probe.exe

work=$state/rigwright
rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$wine" "$programs/bin/rigwright.exe" >"$work/wine.log" 2>&1 &
pid=$!
bad=0
"$wine" "$programs/bin/menu-probe.exe" "$("$wine" winepath.exe -w "$programs/bin/rigwright.exe")" 60 >probe.txt 2>probe.err || bad=1
tr -d '\r' <probe.txt >probe-lf.txt
if ! diff "$expected" probe-lf.txt; then
  echo "FAILED: the window or its resources differ from $expected (above)"
  bad=1
fi
window=$(window_named 10 '^Rigwright$')
if [ -n "$window" ]; then
  xwd -root -silent >screen.xwd && "$compare" --png screen.xwd screen.png && echo "screen: $work/screen.png"
  escape_until_exit 30 "$window" $pid
  status=$?
else
  echo "FAILED: no X window named Rigwright"
  bad=1
  wait_exit 30 $pid
  status=$?
fi
[ $status -eq 0 ] || { echo "exit status $status after Esc (want 0)"; bad=1; }
exit $bad

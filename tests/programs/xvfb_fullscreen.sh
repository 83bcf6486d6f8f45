#!/usr/bin/env bash
# tarnview on X servers without a window manager and with one: the frame
# covers the screen, scaled to fit with its aspect kept and centred, the HUD
# in its corner holds text (near-white pixels where "Screen : W H" is drawn,
# none in a part of the frame without text), and SIGTERM ends the program
# with status 0. The root window is magenta, which no frame has: a window
# that leaves part of the screen uncovered shows as root pixels, and a frame
# drawn smaller than the screen as a smaller content rectangle.
# usage: xvfb_fullscreen.sh TARNVIEW SCREEN_PROBE
set -u
tarnview=$(realpath "$1")
probe=$(realpath "$2")
. "$(dirname "$0")/../common/skip.sh"
command -v Xvfb >/dev/null || skip "Xvfb is not installed (scripts/deps.sh installs it)"
work=$(mktemp -d /tmp/tarn-fullscreen-XXXXXX)
xvfb_pid=
wm_pid=
app_pid=
cleanup() {
  for pid in $app_pid $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KEEP_SHOTS:-}" ] && cp "$work"/*.png "$KEEP_SHOTS"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export SDL_AUDIODRIVER=dummy
# The display stack under SDL keeps memory to the end of the process; the
# engine's own memory is leak-checked by the headless runs of the same code.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

. "$(dirname "$0")/../common/xvfb.sh"

# server WxH: a fresh Xvfb of that size (the previous one ends).
server() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  wm_pid=
  start_xvfb "$work" -screen 0 "$1x24" -nolisten tcp || skip "Xvfb did not start: $(head -c 300 "$work/xvfb.log")"
  "$probe" --paint-root || fail "cannot paint the root window"
}

# window_manager: starts one (the first installed of a few that honour the
# full-screen request); false when none is installed.
window_manager() {
  local wm
  for wm in jwm openbox; do
    command -v $wm >/dev/null || continue
    $wm >"$work/wm.log" 2>&1 &
    wm_pid=$!
    # It has taken over when the root names a supporting window.
    for _ in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { echo "window manager: $wm"; return 0; }
      sleep 0.1
    done
    echo "FAIL: $wm did not start"; cat "$work/wm.log"
    return 1
  done
  return 1
}

# expect_frame NAME FRAME_W FRAME_H X Y W H: runs tarnview on a world of
# that screen size, waits for the frame at X Y W H, checks the HUD, then
# ends it with SIGTERM.
expect_frame() {
  local name=$1 fw=$2 fh=$3 x=$4 y=$5 w=$6 h=$7
  local world=$work/world-$fw-$fh
  mkdir -p "$world"
  printf 'Screen %d %d\n' "$fw" "$fh" >"$world/tarn.cfg"
  printf 'End\n' >"$world/exam.map"
  "$tarnview" "$world" >"$work/out.log" 2>&1 &
  app_pid=$!
  # "Screen : W H" at the frame's top left; a text-free stretch lower right.
  # The frame is up when it stands where expected and that stretch is not
  # near white as the root window is.
  local hud="$x $y $((140 * w / fw)) $((20 * h / fh))"
  local plain="$((x + 6 * w / 10)) $((y + 7 * h / 10)) $((140 * w / fw)) $((20 * h / fh))"
  local report= content= text= blank= root=
  for _ in $(seq 100); do
    report=$("$probe" $hud $plain)
    content=$(grep '^content' <<<"$report")
    root=$(grep '^root' <<<"$report")
    text=$(grep "^bright $hud " <<<"$report" | awk '{print $6}')
    blank=$(grep "^bright $plain " <<<"$report" | awk '{print $6}')
    [ "$content" = "content $x $y $w $h" ] && [ "$root" = "root 0" ] && [ "$blank" = 0 ] && break
    kill -0 $app_pid 2>/dev/null || break
    sleep 0.1
  done
  "$probe" --png "$work/$name.png" >/dev/null
  if [ "$content" != "content $x $y $w $h" ] || [ "$root" != "root 0" ] || [ "$blank" != 0 ]; then
    fail "$name: the screen shows $content, $root pixels of the bare root ($blank near-white pixels where the frame has no text), not the frame at $x $y $w $h on a covered screen"
    cat "$work/out.log"
  else
    echo "$name: frame at $x $y $w $h; $text near-white pixels in the HUD's corner"
    [ "${text:-0}" -ge 60 ] || fail "$name: the HUD's corner holds no text"
  fi
  # How fast it ends is bench/'s business; that it ends, with 0, is this
  # test's (a program that never ends meets ctest's timeout).
  local status
  kill -TERM $app_pid 2>/dev/null
  wait $app_pid
  status=$?
  app_pid=
  echo "$name: SIGTERM ended tarnview with status $status"
  [ $status -eq 0 ] || fail "$name: status $status after SIGTERM"
}

server 1024x768
expect_frame 1024x768-800x600 800 600 0 0 1024 768        # enlarged to the whole screen
expect_frame 1024x768-1280x720 1280 720 0 96 1024 576     # shrunk, bars above and below
server 1280x720
expect_frame 1280x720-800x600 800 600 160 0 960 720       # bars left and right
if window_manager; then
  expect_frame 1280x720-800x600-wm 800 600 160 0 960 720
else
  echo "note: no window manager installed (jwm or openbox): the case with one was not run"
fi
[ $failures -eq 0 ] && echo "tarnview fills the screen in every case"
[ $failures -eq 0 ]

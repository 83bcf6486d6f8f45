# Sourced by the Wine tests: wine_common.sh STATE_DIR. One WINEPREFIX and
# one X server (800 x 600 at 16 bits) per test run, made by setup.sh in
# STATE_DIR and ended by cleanup.sh; the tests run the programs there under
# the Korean ANSI code page.
#
# setup.sh also picks the run's route: the 32-bit programs under 32-bit Wine
# where this machine runs 32-bit programs, the 64-bit ones under wine64 where
# it does not (some kernels are built without them: the i386 loader then
# fails with "Exec format error"). The route's programs folder and loader
# stand in STATE_DIR/route; every Wine command of the tests goes through
# "$wine", never the wine script, which always prefers the 32-bit loader.
state=$1
export WINEPREFIX=$state/prefix
export WINEDEBUG=-all
# Wine keeps its server's socket folder under TMPDIR: in the run's state, so
# that cleanup.sh removes it and /tmp keeps nothing of the run.
export TMPDIR=$state/tmp
mkdir -p "$TMPDIR"
export LANG=ko_KR.UTF-8
export LC_ALL=ko_KR.UTF-8

wine_route_bits=
programs=
wine=
# use_route BITS PROGRAMS_DIR: the loader and prefix kind of that route.
use_route() {
  wine_route_bits=$1
  programs=$2
  if [ "$1" = 64 ]; then
    wine=/usr/lib/wine/wine64
    export WINEARCH=win64
    # Programs that Wine starts itself go through the same loader.
    export WINELOADER=$wine
  else
    wine=/usr/lib/wine/wine
    export WINEARCH=win32
    unset WINELOADER
  fi
}
if [ -f "$state/route" ]; then
  read -r route_bits route_dir <"$state/route"
  use_route "$route_bits" "$route_dir"
fi

. "$(dirname "${BASH_SOURCE[0]}")/../common/skip.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../common/xvfb.sh"

# Skips (with the reason) where the run has no Wine set-up.
need_wine() {
  [ -f "$state/display" ] && [ -n "$wine" ] || skip "no Wine set-up for this run (its Setup test was skipped or failed)"
  export DISPLAY
  DISPLAY=$(cat "$state/display")
}

# need_program NAME: skips when the route's Windows build did not make NAME.
need_program() {
  [ -f "$programs/bin/$1" ] || skip "$programs/bin/$1 is missing (scripts/build.sh win$wine_route_bits makes it)"
}

# wait_for SECONDS COMMAND...: polls COMMAND every 0.2 s until it succeeds.
wait_for() {
  local tries=$(($1 * 5))
  shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || return 1
    sleep 0.2
  done
}

# window_named SECONDS PATTERN: prints the first window whose name matches,
# once there is one; false after SECONDS. xdotool gives up on its whole
# search (BadWindow) when any window vanishes while it reads the names, as
# Wine's short-lived windows do, so one empty answer proves nothing.
window_named() {
  local tries=$(($1 * 5)) found
  while [ $tries -gt 0 ]; do
    found=$(xdotool search --name "$2" 2>/dev/null | head -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    tries=$((tries - 1))
    sleep 0.2
  done
  return 1
}

# ends_within SECONDS PID: true once PID has ended (wait then gives its
# status), false when it still runs after SECONDS.
gone() { ! kill -0 "$1" 2>/dev/null; }
ends_within() { wait_for "$1" gone "$2"; }

# wait_exit SECONDS PID: the exit status of PID, or 124 when it outlives SECONDS.
wait_exit() {
  ends_within "$1" "$2" || { kill "$2" 2>/dev/null; return 124; }
  wait "$2"
}

# press_escape WINDOW: focuses the window and holds Escape long enough for a
# program that polls its keyboard once a frame.
press_escape() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.3
  xdotool keydown Escape
  sleep 0.5
  xdotool keyup Escape
}

# escape_until_exit SECONDS WINDOW PID: presses Escape every few seconds until
# PID ends (a frame slower than the press, on a loaded machine, misses one);
# PID's exit status, or 124 when it outlives SECONDS.
escape_until_exit() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ]; do
    press_escape "$2"
    ends_within 3 "$3" && { wait "$3"; return; }
  done
  kill "$3" 2>/dev/null
  return 124
}

# Sourced by the tests that run a program on an X display of their own.
# start_xvfb WORK ARGS...: starts an Xvfb on a free display with ARGS (its
# screen and options), waits up to 5 s for it and exports DISPLAY; its pid is
# in xvfb_pid, its output in WORK/xvfb.log. False when it did not start.
# -noreset: Xvfb otherwise resets when its last client leaves, and refuses a
# client that connects meanwhile (a program started a second time).
# xvfb_detach=1: in a session of its own, for a server that outlives the
# script that starts it (the Wine tests' fixture).
start_xvfb() {
  local work=$1
  shift
  rm -f "$work/display"
  local launch=
  [ -n "${xvfb_detach:-}" ] && launch=setsid
  $launch Xvfb -displayfd 3 -noreset "$@" 3>"$work/display" >"$work/xvfb.log" 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(cat "$work/display")"
}

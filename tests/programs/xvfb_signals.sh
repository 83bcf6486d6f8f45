#!/usr/bin/env bash
# rigwright under Xvfb ends through its quit path, with status 0 within a
# second, on SIGINT while it is idle and on SIGTERM while its open dialog is
# up (the dialog is cancelled, then the window closes).
# usage: xvfb_signals.sh RIGWRIGHT
# Exits 77 (skipped) with a message when Xvfb or xdotool is missing.
set -u
program=$(realpath "$1")
for tool in Xvfb xdotool; do
  if ! command -v $tool >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  fi
done
work=$(mktemp -d /tmp/tarn-signals-XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  for pid in $app_pid $xvfb_pid; do kill -KILL "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../common/xvfb.sh"
if ! start_xvfb "$work" -screen 0 800x600x24 -nolisten tcp; then
  echo "SKIP: Xvfb did not start: $(head -c 300 "$work/xvfb.log")"
  exit 77
fi
export GSETTINGS_BACKEND=memory
failures=0

# signal_ends NAME SIGNAL: sends it and expects status 0 within a second.
signal_ends() {
  local name=$1 signal=$2 start ms status
  start=$(date +%s%N)
  kill -"$signal" $app_pid
  for _ in $(seq 40); do kill -0 $app_pid 2>/dev/null || break; sleep 0.05; done
  ms=$((($(date +%s%N) - start) / 1000000))
  if kill -0 $app_pid 2>/dev/null; then
    echo "FAIL: $name: rigwright still runs $ms ms after SIG$signal"
    failures=$((failures + 1))
    return
  fi
  wait $app_pid
  status=$?
  app_pid=
  echo "$name: SIG$signal ended rigwright in $ms ms with status $status"
  if [ $status -ne 0 ] || [ $ms -gt 1000 ]; then
    echo "FAIL: $name"
    failures=$((failures + 1))
  fi
}

# start: rigwright in the work folder, until its window is up.
start() {
  (cd "$work" && exec "$program") >"$work/out.log" 2>&1 &
  app_pid=$!
  main=$(timeout 15 xdotool search --sync --name '^Rigwright$' | head -1)
  if [ -z "$main" ]; then
    echo "FAIL: the window did not appear"; cat "$work/out.log"
    exit 1
  fi
}

start
sleep 0.3
signal_ends idle INT

start
xdotool windowfocus "$main" 2>/dev/null; sleep 0.3
xdotool key F10; sleep 0.4
xdotool key Down Down Right Return   # File > Load > ASE File
if [ -z "$(timeout 10 xdotool search --sync --name '^ASE Loader$' | head -1)" ]; then
  echo "FAIL: the open dialog did not appear"
  exit 1
fi
signal_ends "open dialog" TERM

[ $failures -eq 0 ]

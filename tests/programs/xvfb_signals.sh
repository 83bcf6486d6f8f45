#!/usr/bin/env bash
# rigwright under Xvfb ends through its quit path, with status 0 within a
# second, on SIGINT while it is idle, on SIGTERM while its open dialog is up
# (the dialog is cancelled, then the window closes), on SIGTERM while GTK's
# own error box is up inside that dialog, and on SIGINT, SIGTERM
# and SIGHUP after it has loaded an export and saved its model files, as
# before any Save. rigwright-batch, signalled in the middle of a large
# conversion, leaves the old output and no temporary file and exits with
# 128 + the signal.
# usage: xvfb_signals.sh RIGWRIGHT RIGWRIGHT-BATCH
# Exits 77 (skipped) with a message when Xvfb or xdotool is missing.
set -u
# Job control: without it a script's background programs start with SIGINT
# ignored, and the programs keep a signal that was ignored at their start.
set -m
program=$(realpath "$1")
batch=$(realpath "$2")
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
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# temporaries DIR: the names of temporary outputs left in DIR.
temporaries() { find "$1" -maxdepth 1 -name '*.part*' -printf '%f\n'; }

# batch_killed SIGNAL: rigwright-batch converts an 80 MB export over an
# old output and gets SIGNAL once its temporary exists.
big=$work/batch/big.ase
mkdir "$work/batch"
{
  printf '*GEOMOBJECT {\n\t*NODE_NAME "Bip01 Head"\n\t*TM_ANIMATION {\n'
  yes $'\t\t*CONTROL_POS_SAMPLE 480 1.5 2.5 3.5' | head -n 2000000
} >"$big"
batch_killed() {
  local signal=$1 pid status expected
  printf old >"$work/batch/big.mca"
  (cd "$work/batch" && exec "$batch" motion big.ase big.mca) 2>/dev/null &
  pid=$!
  for _ in $(seq 1000); do [ -n "$(temporaries "$work/batch")" ] && break; sleep 0.01; done
  if [ -z "$(temporaries "$work/batch")" ]; then
    fail "batch SIG$signal: the conversion never made its temporary file"
    wait $pid
    return
  fi
  kill -"$signal" $pid
  wait $pid
  status=$?
  expected=$((128 + $(kill -l "$signal")))
  echo "batch: SIG$signal ended rigwright-batch with status $status"
  [ $status -eq $expected ] || fail "batch SIG$signal: status $status, not $expected"
  [ -z "$(temporaries "$work/batch")" ] || fail "batch SIG$signal: left $(temporaries "$work/batch")"
  [ "$(cat "$work/batch/big.mca")" = old ] || fail "batch SIG$signal: the old output changed"
}
for signal in INT TERM HUP; do batch_killed $signal; done
rm -f "$big"

. "$(dirname "$0")/../common/xvfb.sh"
if ! start_xvfb "$work" -screen 0 800x600x24 -nolisten tcp; then
  echo "SKIP: Xvfb did not start: $(head -c 300 "$work/xvfb.log")"
  exit 77
fi
export GSETTINGS_BACKEND=memory

# signal_ends NAME SIGNAL: sends it and expects status 0 within a second.
signal_ends() {
  local name=$1 signal=$2 start ms status
  start=$(date +%s%N)
  kill -"$signal" $app_pid
  for _ in $(seq 40); do kill -0 $app_pid 2>/dev/null || break; sleep 0.05; done
  ms=$((($(date +%s%N) - start) / 1000000))
  if kill -0 $app_pid 2>/dev/null; then
    fail "$name: rigwright still runs $ms ms after SIG$signal"
    kill -KILL $app_pid
    wait $app_pid 2>/dev/null
    app_pid=
    return
  fi
  wait $app_pid
  status=$?
  app_pid=
  echo "$name: SIG$signal ended rigwright in $ms ms with status $status"
  if [ $status -ne 0 ] || [ $ms -gt 1000 ]; then
    fail "$name"
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
. "$(dirname "$0")/../common/rigwright_keys.sh"
load_dialog() {
  if ! open_load_dialog; then
    echo "FAIL: the open dialog did not appear"
    exit 1
  fi
}

start
sleep 0.3
signal_ends idle INT

start
load_dialog
signal_ends "open dialog" TERM

# A folder that does not exist, typed into the chooser: GTK answers with an
# error box of its own, run inside the chooser's.
start
load_dialog
shown() { xdotool search --onlyvisible --pid $app_pid 2>/dev/null | wc -l; }
before=$(shown)
focus "$dialog"
xdotool key ctrl+l; sleep 0.3
xdotool type --delay 10 "$work/no-such-folder/x.ase"; sleep 0.3
xdotool key Return
for _ in $(seq 50); do [ "$(shown)" -gt "$before" ] && break; sleep 0.1; done
[ "$(shown)" -gt "$before" ] || fail "no error box for a folder that does not exist"
signal_ends "GTK's error box in the open dialog" TERM

# After a Save: load an export through the dialog, save its model file
# (File > Save > Mesh), answer the report, then the signal.
after_save() {
  local signal=$1 assets=$work/assets-$1
  mkdir "$assets"
  printf '*GEOMOBJECT {\n\t*NODE_NAME "Box"\n\t*MESH {\n\t\t*MESH_NUMVERTEX 1\n\t\t*MESH_VERTEX 0 1.5 2.5 3.5\n\t}\n}\n' \
    >"$assets/hero.ase"
  start
  load_dialog
  if ! load_and_save_mesh "$assets/hero.ase"; then
    fail "after a Save, SIG$signal: no model file was saved"
    return
  fi
  sleep 0.5
  xdotool key Return; sleep 0.3   # the "Edit Message" box
  signal_ends "after a Save" "$signal"
  [ -z "$(temporaries "$assets")" ] || fail "after a Save, SIG$signal: left $(temporaries "$assets")"
}
for signal in INT TERM HUP; do after_save $signal; done

[ $failures -eq 0 ]

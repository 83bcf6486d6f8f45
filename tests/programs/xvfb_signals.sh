#!/usr/bin/env bash
# rigwright under Xvfb ends through its quit path, with status 0, on SIGINT
# while it is idle, on SIGTERM while its open dialog is up (the dialog is
# cancelled, then the window closes), on SIGTERM while GTK's own error box is
# up inside that dialog, and on SIGINT, SIGTERM and SIGHUP after it has
# loaded an export and saved its model files, leaving no temporary file.
# (rigwright-batch's signals: tests/tool/BatchTest.cpp.)
# usage: xvfb_signals.sh RIGWRIGHT
set -u
. "$(dirname "$0")/../common/skip.sh"
# Job control: without it a script's background programs start with SIGINT
# ignored, and the programs keep a signal that was ignored at their start.
set -m
program=$(realpath "$1")
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/deps.sh installs it)"
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

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 800x600x24 -nolisten tcp || skip "Xvfb did not start: $(head -c 300 "$work/xvfb.log")"
export GSETTINGS_BACKEND=memory

# signal_ends NAME SIGNAL: sends it and expects the program to end with
# status 0 (one that never ends meets ctest's timeout; how fast is bench/'s).
signal_ends() {
  local name=$1 signal=$2 status
  kill -"$signal" $app_pid
  wait $app_pid
  status=$?
  app_pid=
  echo "$name: SIG$signal ended rigwright with status $status"
  [ $status -eq 0 ] || fail "$name: status $status after SIG$signal"
}

# start: rigwright in the work folder, until its window is up.
start() {
  (cd "$work" && exec "$program") >"$work/out.log" 2>&1 &
  app_pid=$!
  main=$(timeout 15 xdotool search --sync --onlyvisible --name '^Rigwright$' | head -1)
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
# One pause stays here: with Return sent straight after this path, no error
# box came (the chooser looks folders up while a path is typed, and a
# missing one is answered later); nothing the test can watch says when.
focus "$dialog"
xdotool key ctrl+l
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
  if ! answer_report; then
    fail "after a Save, SIG$signal: no \"Edit Message\" box, or it did not close"
    kill -KILL $app_pid; wait $app_pid 2>/dev/null; app_pid=
    return
  fi
  signal_ends "after a Save" "$signal"
  [ -z "$(temporaries "$assets")" ] || fail "after a Save, SIG$signal: left $(temporaries "$assets")"
}
for signal in INT TERM HUP; do after_save $signal; done

[ $failures -eq 0 ]

#!/usr/bin/env bash
# The real host's dialogs under Xvfb, driven by keys as a user would: File >
# Load > "ASE File" through the GTK file chooser, then File > Save > "Mesh";
# one model file per object of the export appears beside it, the Save is
# reported in an "Edit Message" box, and Escape then ends the program with 0.
# On a 1024 x 768 screen the chooser fits the screen (GTK's own size for it
# is larger), so that its Open and Cancel buttons can be reached.
# Usage: gtk_dialogs.sh path/to/rigwright path/to/export.ase
set -u
program=$(realpath "$1")
export_file=$(realpath "$2")
work=$(mktemp -d /tmp/rigwright-dialogs-XXXXXX)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../common/skip.sh"
[ -f "$export_file" ] || skip "no export at $export_file (the shared test data)"
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/deps.sh installs it)"
done
mkdir -p "$work/assets"
cp "$export_file" "$work/assets/hero.ase"

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 1024x768x24 -nolisten tcp || skip "Xvfb did not start: $(head -c 300 "$work/xvfb.log")"
export GSETTINGS_BACKEND=memory

cd "$work" && "$program" 2>/dev/null &
app=$!
main=$(timeout 15 xdotool search --sync --onlyvisible --name '^Rigwright$' | head -1)
[ -n "$main" ] || { echo "the window did not appear"; exit 1; }
. "$(dirname "$0")/../common/rigwright_keys.sh"
open_load_dialog || { echo "the open dialog did not appear"; exit 1; }
# The chooser is mapped at GTK's size and then fitted: wait for the fitted
# geometry rather than for a while.
fits() {
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  [ $((X + WIDTH)) -le 1024 ] && [ $((Y + HEIGHT)) -le 768 ] && [ "$X" -ge 0 ] && [ "$Y" -ge 0 ]
}
for _ in $(seq 100); do fits && break; sleep 0.05; done
echo "open dialog: ${WIDTH}x${HEIGHT} at $X,$Y on 1024x768"
fits || { echo "the open dialog does not fit the screen"; exit 1; }
load_and_save_mesh "$work/assets/hero.ase" || { echo "no model file beside the export"; exit 1; }
answer_report || { echo "no \"Edit Message\" box reported the Save, or it did not close on Return"; exit 1; }
objects=$(grep -c '^\*GEOMOBJECT' "$work/assets/hero.ase")
models=$(ls "$work/assets" | grep -c 't3m$')
echo "model files: $models for $objects objects"
[ "$models" -gt 0 ] && [ "$models" = "$objects" ] || { echo "want one model file per object"; exit 1; }
head -1 "$work/assets/0.t3m" | grep -qx '0.t3m' || { echo "bad model file"; exit 1; }
focus "$main" || { echo "the main window does not take the keyboard"; exit 1; }
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
wait "$app"
status=$?
app=
echo "exit status: $status"
[ "$status" -eq 0 ]

#!/usr/bin/env bash
# The real host's dialogs under Xvfb, driven by keys as a user would: File >
# Load > "ASE File" through the GTK file chooser, then File > Save > "Mesh";
# the model files appear beside the export and the count is reported.
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
[ -f "$export_file" ] || { echo "no export at $export_file: skipped"; exit 77; }
mkdir -p "$work/assets"
cp "$export_file" "$work/assets/hero.ase"

. "$(dirname "$0")/../common/xvfb.sh"
start_xvfb "$work" -screen 0 800x600x24
export GSETTINGS_BACKEND=memory

cd "$work" && "$program" 2>/dev/null &
app=$!
main=$(timeout 15 xdotool search --sync --name '^Rigwright$' | head -1)
[ -n "$main" ] || { echo "the window did not appear"; exit 1; }
focus() { xdotool windowfocus "$1" 2>/dev/null; sleep 0.3; }
menu() {  # menu DOWNS RIGHT-THEN: opens File, moves down, opens the submenu, picks with the last keys
  focus "$main"
  xdotool key F10; sleep 0.4
  xdotool key "$@"; sleep 0.4
}
menu Down Down Right Return   # File > Load > ASE File
dialog=$(timeout 10 xdotool search --sync --name '^ASE Loader$' | head -1)
[ -n "$dialog" ] || { echo "the open dialog did not appear"; exit 1; }
focus "$dialog"
xdotool key ctrl+l; sleep 0.3
xdotool type --delay 10 "$work/assets/hero.ase"; sleep 0.3
xdotool key Return
for _ in $(seq 50); do xdotool search --name '^ASE Loader$' >/dev/null || break; sleep 0.1; done
menu Down Down Down Right Up Return   # File > Save > Mesh (the last item)
for _ in $(seq 100); do [ -f "$work/assets/0.t3m" ] && break; sleep 0.1; done
[ -f "$work/assets/0.t3m" ] || { echo "no model file beside the export"; exit 1; }
echo "model files: $(ls "$work/assets" | grep -c 't3m$')"
head -1 "$work/assets/0.t3m" | grep -qx '0.t3m' || { echo "bad model file"; exit 1; }
sleep 0.5
xdotool key Return; sleep 0.3   # the "Edit Message" box
focus "$main"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
wait "$app"
status=$?
app=
echo "exit status: $status"
[ "$status" -eq 0 ]

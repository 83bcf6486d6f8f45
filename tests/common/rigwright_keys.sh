# Sourced by the tests that drive rigwright's window with keys, as a user
# would (xdotool on the test's X display). The caller sets `main` to the
# tool's window.
# focus WINDOW: until the X server says WINDOW has the keyboard.
focus() {
  for _ in $(seq 100); do
    xdotool windowfocus "$1" 2>/dev/null
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
    sleep 0.05
  done
  return 1
}
# visible_windows: how many windows the X server shows (a menu that opens
# adds its popup's).
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }
# menu KEYS...: opens File, once its popup is up, and picks with the keys;
# the callers wait for what the pick brings (a dialog, a file).
menu() {
  local base
  focus "$main"
  base=$(visible_windows)
  xdotool key F10
  for _ in $(seq 100); do [ "$(visible_windows)" -gt "$base" ] && break; sleep 0.05; done
  xdotool key "$@"
}
# open_load_dialog: File > Load > ASE File; the chooser's window in `dialog`,
# false when it did not appear.
open_load_dialog() {
  menu Down Down Right Return
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^ASE Loader$' | head -1)
  [ -n "$dialog" ]
}
# type_location PATH: types PATH into the open chooser's location entry and
# presses Return. One xdotool run sends Ctrl+L, the path and Return in order
# to the window that holds the keyboard; the chooser shows and focuses its
# entry while it handles Ctrl+L, before it reads the next key, so no pause
# is needed between them. The callers wait for what Return brings.
type_location() {
  focus "$dialog" || return 1
  xdotool key ctrl+l
  xdotool type --delay 10 "$1"
  xdotool key Return
}
# load_and_save_mesh EXPORT: picks EXPORT in the open chooser, then File >
# Save > Mesh (the last item); false when no 0.t3m appeared beside it.
load_and_save_mesh() {
  local folder
  folder=$(dirname "$1")
  type_location "$1" || return 1
  for _ in $(seq 50); do xdotool search --onlyvisible --name '^ASE Loader$' >/dev/null || break; sleep 0.1; done
  menu Down Down Down Right Up Return
  for _ in $(seq 100); do [ -f "$folder/0.t3m" ] && break; sleep 0.1; done
  [ -f "$folder/0.t3m" ]
}
# answer_report: waits for the "Edit Message" box the Save reports in, OKs
# it with Return and waits for it to close; false when it never came or
# never closed.
answer_report() {
  local box=
  # Polled: xdotool gives up a whole search (BadWindow) when any window
  # vanishes while it reads the names, as the closing chooser's do.
  for _ in $(seq 100); do
    box=$(xdotool search --onlyvisible --name '^Edit Message$' 2>/dev/null | head -1)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || return 1
  focus "$box" || return 1
  xdotool key Return
  for _ in $(seq 100); do xdotool search --onlyvisible --name '^Edit Message$' >/dev/null || return 0; sleep 0.1; done
  return 1
}

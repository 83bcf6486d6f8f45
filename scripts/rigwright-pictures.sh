#!/usr/bin/env bash
# rigwright-pictures.sh [RIGWRIGHT]: remakes the README's two pictures of
# Rigwright's window, on an Xvfb display of its own: docs/rigwright-window.png
# (the window as it opens, through the program's own --screenshot) and
# docs/rigwright-save-menu.png (File > Save opened with xdotool, taken from the
# screen, since a window's own picture leaves out the menus that cover it).
# Needs Xvfb, xdotool and python3-gi.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bin/rigwright}
work=$(mktemp -d)
source tests/common/xvfb.sh
cleanup() {
  [ -n "${tool_pid:-}" ] && kill "$tool_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb "$work" -screen 0 800x600x24 || { echo "rigwright-pictures.sh: Xvfb did not start" >&2; exit 1; }

"$program" --screenshot docs/rigwright-window.png --screenshot-delay 500 &
tool_pid=$!
sleep 2
# The window opens at the screen's top-left corner (no window manager):
# File, then Save, then along to its submenu's last entry, Mesh.
xdotool mousemove 18 12 click 1
sleep 0.5
xdotool mousemove 40 88
sleep 0.5
xdotool mousemove 150 88 mousemove 160 188
sleep 1
/usr/bin/python3 - docs/rigwright-save-menu.png <<'EOF'
import sys
import gi
gi.require_version('Gdk', '3.0')
from gi.repository import Gdk
Gdk.pixbuf_get_from_window(Gdk.get_default_root_window(), 0, 0, 400, 240).savev(sys.argv[1], 'png', [], [])
EOF
echo "wrote docs/rigwright-window.png and docs/rigwright-save-menu.png"

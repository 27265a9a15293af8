#!/usr/bin/env bash
# How the desktop ends the real program: a window close sent while the main menu is open,
# SIGINT (Ctrl+C) while the menu is open and SIGHUP each save "hvn.ini" and exit with 0.
# Without an X display the program says so and exits with 1.
# Usage: app_shutdown_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
status=0
DISPLAY=:none "$DIR/halvane" >"$DIR/out.log" 2>&1 || status=$?
[ "$status" = 1 ] || fail "exit status $status without a display"
grep -q "display" "$DIR/out.log" || fail "no message without a display: $(cat "$DIR/out.log")"

visible_windows() { xdotool search --onlyvisible --maxdepth 1 --name "" 2>/dev/null | wc -l; }
# A right press on the strip above the list page's buttons opens the main menu.
open_main_menu() {
  local before
  eventually has_text 2 || fail "the station list is not shown"
  before=$(visible_windows)
  xdotool mousemove --window "$WID" 100 122 click 3
  menu_open() { [ "$(visible_windows)" -gt "$before" ]; }
  eventually menu_open || fail "the main menu did not open"
}

start_program
open_main_menu
python3 "$E2E_HERE/wm_close.py" "$WID" || fail "could not send the close request"
ended_cleanly "a close with the menu open"
rm "$DIR/hvn.ini"

start_program
open_main_menu
kill -INT "$PID"
ended_cleanly "SIGINT with the menu open"
rm "$DIR/hvn.ini"

start_program
eventually has_text 2 || fail "the station list is not shown"
kill -HUP "$PID"
ended_cleanly "SIGHUP"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# How the desktop ends the real program: a window close sent while the main menu is open,
# SIGINT (Ctrl+C) while the menu is open, a window close and SIGTERM while the creator's
# logo file chooser is open and SIGHUP while it connects to a station that never answers
# each save "hvn.ini" and exit with 0.
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

# The creator's logo chooser ("[..]"), in a creator opened from a playlist at 278 x 308.
printf '[playlist]\r\nNumberOfEntries=1\r\nFile1=http://127.0.0.1:9/a\r\n' >"$DIR/list.pls"
open_logo_chooser() {
  start_program "$DIR/list.pls"
  eventually creator_shown || fail "the playlist did not open the creator"
  new_window_after click 240 181 >/dev/null || fail "the logo file chooser did not open"
}

open_logo_chooser
python3 "$E2E_HERE/wm_close.py" "$WID" || fail "could not send the close request"
ended_cleanly "a close with the logo file chooser open"
rm "$DIR/hvn.ini"

open_logo_chooser
kill -TERM "$PID"
ended_cleanly "SIGTERM with the logo file chooser open"
rm "$DIR/hvn.ini"

# A server on loopback that takes connections and never answers, for at most 60 s; it
# notes each connection in the file named by its argument.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
print(s.getsockname()[1], flush=True)
s.settimeout(1)
held, end = [], time.time() + 60
while time.time() < end:
    try:
        held.append(s.accept())
        open(sys.argv[1], "a").write("accepted\n")
    except OSError:
        pass
' "$DIR/accepted" >"$DIR/port" &
STALL=$!
trap 'kill "$STALL" 2>/dev/null; e2e_cleanup' EXIT
port_known() { [ -s "$DIR/port" ]; }
eventually port_known || fail "the stalling server did not start"
python3 - "$DIR" "$(cat "$DIR/port")" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/stall.hvn", "w") as z:
    z.writestr("station_id.txt", "Stalled\r\nhttp://example.invalid\r\n17\r\n1\r\n"
               f"http://127.0.0.1:{sys.argv[2]}/live")
PY
write_settings 0 1 "Stalled" 0 0 0 154
start_program
# Connecting once the station's server has the connection: the wait lasts 55 ticks of 250 ms.
connected() { [ -s "$DIR/accepted" ]; }
eventually connected || fail "the program never connected to the stalled station"
rm "$DIR/hvn.ini"
kill -HUP "$PID"
ended_cleanly "SIGHUP while connecting"
echo "1 passed, 0 failed"

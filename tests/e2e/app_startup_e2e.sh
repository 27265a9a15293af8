#!/usr/bin/env bash
# Start-up of the real program with saved settings: the window at its stored position
# (a stored height below 154 raised to 154), the last station found by switching a
# favourites-only list to all stations, and the shape and list mode saved again.
# Usage: app_startup_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
# Rock Two without stream URLs: playing it at start-up ends at once.
python3 - "$DIR" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/st1.hvn", "w") as z:
    z.writestr("station_id.txt", "Rock Two\r\nhttp://example.invalid\r\n20\r\n0")
PY
write_settings 1 1 "Rock Two" 1 40 50 100
start_program

at_stored_place() {
  local geometry
  geometry=$(xdotool getwindowgeometry "$WID")
  echo "$geometry" | grep -q 'Position: 40,50' && echo "$geometry" | grep -q 'Geometry: 278x154'
}
eventually has_text 2 || fail "the list was not switched to all stations"
eventually selected 1 || fail "the last station is not selected"
eventually at_stored_place || fail "window not 278 x 154 at 40,50: $(xdotool getwindowgeometry "$WID")"

close_and_wait
grep -q '^Stationlist.*=0' "$DIR/hvn.ini" || fail "the switched list mode was not saved"
grep -q '^Window PositionX.*=40' "$DIR/hvn.ini" || fail "the window position was not saved"
grep -q '^Window Height.*=154' "$DIR/hvn.ini" || fail "the window height was not saved"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Start-up of the real program with saved settings: the window at its stored position
# (a stored height below 154 raised to 154), the last station found by switching a
# favourites-only list to all stations, and the shape and list mode saved again.
# Usage: app_startup_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
write_settings 1 1 "Rock Two" 1 40 50 100
start_program

GEOMETRY=$(xdotool getwindowgeometry "$WID")
echo "$GEOMETRY" | grep -q 'Position: 40,50' || fail "window not at the stored position: $GEOMETRY"
echo "$GEOMETRY" | grep -q 'Geometry: 278x154' || fail "window not 278 x 154: $GEOMETRY"
# The saved station is being connected to (its URL leads nowhere): stop that, which ends
# start-up on the station list.
click 151 138
has_text 2 || fail "the list was not switched to all stations"
selected 1 || fail "the last station is not selected"

close_and_wait
grep -q '^Stationlist.*=0' "$DIR/hvn.ini" || fail "the switched list mode was not saved"
grep -q '^Window PositionX.*=40' "$DIR/hvn.ini" || fail "the window position was not saved"
grep -q '^Window Height.*=154' "$DIR/hvn.ini" || fail "the window height was not saved"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Start-up of the real program with saved settings: the window at its stored position
# (a stored height below 154 raised to 154), the last station found by switching a
# favourites-only list to all stations, blank level meters after that station could not be
# played, and the shape and list mode saved again.
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
# Rock Two played again from the list: the player page after a station that could not be
# played shows level meters with nothing to show in the window's colour (that of the strip
# left of them), not black.
xdotool mousemove --window "$WID" 40 23 click --repeat 2 1
# The player page is told by its dark canvas where the list was white.
player_shown() {
  import -window "$WID" "$DIR/shot.png" || return 1
  awk -v m="$(convert "$DIR/shot.png" -crop 20x20+120+60 -colorspace Gray -format '%[fx:mean]' info:)" \
    'BEGIN { exit !(m < 0.5) }'
}
eventually player_shown || fail "Rock Two did not end on the player page"
shoot player
pixel() { convert "$DIR/player.png" -format "%[pixel:p{$1,$2}]" info:; }
[ "$(convert "$DIR/player.png" -crop 21x15+211+133 +repage -format %k info:)" = 1 ] &&
  [ "$(pixel 211 133)" = "$(pixel 205 140)" ] ||
  fail "the level meters are not blank: $(pixel 211 133) $(pixel 227 140) against $(pixel 205 140)"

close_and_wait
grep -q '^Stationlist.*=0' "$DIR/hvn.ini" || fail "the switched list mode was not saved"
grep -q '^Window PositionX.*=40' "$DIR/hvn.ini" || fail "the window position was not saved"
grep -q '^Window Height.*=154' "$DIR/hvn.ini" || fail "the window height was not saved"
echo "1 passed, 0 failed"

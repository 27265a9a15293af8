#!/usr/bin/env bash
# The real program under Xvfb: the category chooser and the favourites toggle change the
# station list, and closing the window saves "hvn.ini" and ends the process with 0.
# Usage: app_window_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
start_program

eventually has_text 2 || fail "the three stations are not listed at start"
has_text 0 && has_text 1 || fail "the first stations are missing"

click 201 138 # favourites toggle: only Jazz One is a favourite
eventually no_text 1 || fail "favourites-only still lists the other stations"
has_text 0 || fail "favourites-only lost the favourite"
click 201 138 # back to all stations
eventually has_text 2 || fail "all stations are not listed again"

click 176 138 # the category chooser's menu; item 10 is "Blues & Love"
eventually menu_shown || fail "the category chooser opened no menu"
for _ in $(seq 11); do xdotool key Down; done
xdotool key Return
eventually no_text 1 || fail "the genre lists more than its one station"
has_text 0 || fail "the genre lists nothing"

close_and_wait
grep -q '^Stationlist.*=0' "$DIR/hvn.ini" || fail "hvn.ini does not hold the list mode"
echo "1 passed, 0 failed"

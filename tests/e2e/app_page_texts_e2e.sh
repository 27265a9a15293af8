#!/usr/bin/env bash
# Texts that the normal-size pages used to clip are drawn whole: on screen each spans as
# wide as the same text drawn unclipped in the same font by the test's own renderer.
# Catalan has the longest skin caption.
# Usage: app_page_texts_e2e.sh PATH_TO_HALVANE PATH_TO_RENDER_TEXT
set -u
BIN=$1
RENDER=$2
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
write_settings 0 0 "" 1 10 10 154
sed -i 's/^\(Language.*=\)4/\10/; s/^\(Buffersize.*=\)0/\13/' "$DIR/hvn.ini"

# Width of the dark strokes in a picture (a crop of it when GEOMETRY is given).
ink_width() { # PICTURE [GEOMETRY]
  convert "$1" ${2:+-crop "$2" +repage} -colorspace Gray -threshold 55% -trim -format '%w' info:
}
# whole SHOT GEOMETRY FONT SIZE BOLD TEXT
whole() {
  "$RENDER" "$DIR/want.ppm" "$3" "$4" "$5" "$6" || fail "could not draw \"$6\""
  local want got
  want=$(ink_width "$DIR/want.ppm")
  got=$(ink_width "$DIR/$1.png" "$2")
  [ "$got" -ge $((want - 1)) ] && [ "$got" -le $((want + 1)) ] ||
    fail "\"$6\" spans $got pixels on screen, $want drawn whole"
}

start_program
eventually has_text 2 || fail "the station list is not shown"
click 231 138 # options
shoot options
whole options 102x22+150+39 clean 12 0 "Canvia l'aparença"
whole options 36x20+4+74 clean 12 0 "64 KB" # the text area left of the arrow

click 261 138 # back to the list
click 261 138 # about
shoot about
whole about 186x16+5+55 clean 12 0 " 4.44.18 fmod ex              OpenGL"

click 60 27 # the maker line opens the credits
shoot credits
whole credits 256x16+3+50 clean 12 0 " Design and code: Halvane developers"

close_and_wait
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# A playlist named on the command line, relative to the directory the program was
# started from, opens in the station creator instead of the saved station; the window
# becomes 278 x 308 when no position is saved. A name without ".hvn", ".pls" or "m3u"
# is ignored.
# Usage: app_command_line_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
mkdir "$DIR/elsewhere"
printf '[playlist]\r\nNumberOfEntries=1\r\nFile1=http://127.0.0.1:9/a\r\nTitle1=Listed\r\n' \
  >"$DIR/elsewhere/list.pls"
cp "$DIR/elsewhere/list.pls" "$DIR/elsewhere/LIST.PLS"

# The list page has the now-playing button at the bottom left; the creator page nothing.
creator_shown() {
  import -window "$WID" "$DIR/shot.png" || return 1
  local spread height
  height=$(identify -format '%h' "$DIR/shot.png")
  spread=$(convert "$DIR/shot.png" -crop "26x24+4+$((height - 28))" -colorspace Gray \
    -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s < 0.01) }'
}
size_is() { xdotool getwindowgeometry "$WID" 2>/dev/null | grep -q "Geometry: 278x$1"; }

cd "$DIR/elsewhere"
start_program list.pls
eventually size_is 308 || fail "the window is not 278 x 308: $(xdotool getwindowgeometry "$WID")"
eventually creator_shown || fail "the playlist did not open in the creator"
close_and_wait

start_program LIST.PLS
eventually has_text 2 || fail "the station list is not shown"
size_is 154 || fail "the window is not 278 x 154"
creator_shown && fail "a name in capitals opened the creator"
close_and_wait
echo "1 passed, 0 failed"

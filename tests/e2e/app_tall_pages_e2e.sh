#!/usr/bin/env bash
# The scrolling pages keep their layout in a taller window: the station creator opened
# by a playlist on the command line (278 x 308 on a first start) and the options page
# show, unscrolled, exactly what the 154-high window shows at the top and, scrolled to
# the end, at the bottom. Window sizes are changed from outside, as a desktop does.
# Usage: app_tall_pages_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
printf '#EXTM3U\n#EXTINF:-1,Tall Radio\nhttp://127.0.0.1:9/live\n' >"$DIR/radio.m3u8"

size_is() { xdotool getwindowgeometry "$WID" 2>/dev/null | grep -q "Geometry: 278x$1"; }
resize() {
  xdotool windowsize "$WID" 278 "$1"
  eventually size_is "$1" || fail "the window did not become 278 x $1"
}
scroll_to_end() {
  for _ in $(seq 10); do xdotool mousemove --window "$WID" 120 60 click 5; done
  sleep 0.5
}
# same SHOT_A Y_A SHOT_B Y_B HEIGHT: a band of the client (left of the scroll bar) matches.
same() {
  local differ
  convert "$DIR/$1.png" -crop "260x$5+0+$2" +repage "$DIR/a.png"
  convert "$DIR/$3.png" -crop "260x$5+0+$4" +repage "$DIR/b.png"
  differ=$(compare -metric AE -fuzz 8% "$DIR/a.png" "$DIR/b.png" null: 2>&1)
  [ "$differ" = 0 ] || fail "$1 at y $2 and $3 at y $4 differ in $differ pixels (${5} rows)"
}

start_program radio.m3u8
eventually size_is 308 || fail "the first start is not 278 x 308"
shoot creator_tall
resize 154
shoot creator_top
scroll_to_end
shoot creator_end
# Creator client: 240 rows, 118 visible at 154, so the end shows rows 122 to 240.
same creator_tall 0 creator_top 0 118
same creator_tall 122 creator_end 0 118

click 261 138 # cancel: the station list
eventually not_creator || fail "cancel did not leave the creator"
shoot list
click 231 138 # options
left_list() {
  import -window "$WID" "$DIR/now.png" &&
    [ "$(compare -metric AE "$DIR/list.png" "$DIR/now.png" null: 2>&1)" != 0 ]
}
eventually left_list || fail "the options button did nothing"
shoot options_top
scroll_to_end
shoot options_end
resize 400
shoot options_tall
# Options client: 293 rows, 121 visible at 154, so the end shows rows 172 to 293.
same options_tall 0 options_top 0 121
same options_tall 172 options_end 0 121

close_and_wait
echo "1 passed, 0 failed"

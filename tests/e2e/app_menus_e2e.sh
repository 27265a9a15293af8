#!/usr/bin/env bash
# The real program under Xvfb, driven with real keys and presses:
# - the main menu opens with the Menu key and Shift+F10 on every page (also with the
#   keyboard in a text field) and with a right press on a page's free background;
# - a creator save that writes nothing (a 300-character file name) with no station
#   selected ends on the station list, not on an empty window;
# - the delete question and the now-playing tip show a station named "Radio @Home" whole.
# Usage: app_menus_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
python3 - "$DIR" <<'PY'
import sys, zipfile
for name, file in [("Radio @Home", "zat.hvn"), ("Radio OHome", "zoh.hvn")]:
    with zipfile.ZipFile(f"{sys.argv[1]}/stations/{file}", "w") as z:
        z.writestr("station_id.txt", f"{name}\r\nhttp://example.invalid\r\n20\r\n1\r\nhttp://127.0.0.1:9/x")
PY
start_program
eventually has_text 4 || fail "the stations are not listed at start"

# Each page is told by its row of buttons at the bottom and a patch of its middle. The
# pointer leaves the window first, so that no tooltip covers them.
page() {
  xdotool mousemove --window "$WID" 320 200
  import -window "$WID" "$DIR/page.png" || return 1
  convert "$DIR/page.png" \( +clone -crop 278x30+0+124 \) \( -clone 0 -crop 20x20+120+90 \) \
    -delete 0 +append rgb:- | md5sum | cut -c1-32
}
changed_from() { [ "$(page)" != "$1" ]; }
is_page() { [ "$(page)" = "$1" ]; }
expect_page() { # SIGNATURE WHAT
  eventually is_page "$1" || fail "$2"
}
# Picks an item of the main menu (mute, about, options, station list, credits, exit),
# counted from its end, once the menu is open.
pick() { # UPS
  eventually menu_shown || fail "no menu opened"
  for _ in $(seq "$1"); do xdotool key Up; done
  xdotool key Return
}
ABOUT=5 OPTIONS=4 STATIONS=3 CREDITS=2
key() { xdotool mousemove --window "$WID" 150 60 key "$1"; }

LIST=$(page)
click 261 138 # about
eventually changed_from "$LIST" || fail "the about button did nothing"
sleep 0.3
ABOUT_PAGE=$(page)

# A save that cannot write (the name is too long for the file system), nothing selected.
click 47 138 # the creator
eventually changed_from "$ABOUT_PAGE" || fail "the creator did not open"
sleep 0.3
CREATOR=$(page)
# The pointer enters the creator's panel first: entering it takes the keyboard, as a
# press on the field right after would otherwise race with.
xdotool mousemove --window "$WID" 100 61 sleep 0.5 click 1 key ctrl+a type "$(printf 'x%.0s' $(seq 300))"
click 231 138 # save
expect_page "$LIST" "a save that wrote nothing left no station list"
ls "$DIR/stations" | grep -q xxxx && fail "a station file was written"

# The Menu key on the list page, with the list focused.
key Menu
pick $ABOUT
expect_page "$ABOUT_PAGE" "the Menu key on the list page did not open the main menu"
# A right press on the about page's free background.
right_press 150 110
pick $OPTIONS
eventually changed_from "$ABOUT_PAGE" || fail "a right press on the about page opened no menu"
sleep 0.3
OPTIONS_PAGE=$(page)
# Shift+F10 on the options page, then a right press on its free background.
key shift+F10
pick $CREDITS
eventually changed_from "$OPTIONS_PAGE" || fail "Shift+F10 on the options page opened no menu"
right_press 100 60 # a credits line
pick $OPTIONS
expect_page "$OPTIONS_PAGE" "a right press on a credits line opened no menu"
right_press 150 140
pick $STATIONS
expect_page "$LIST" "a right press on the options page's free area opened no menu"

# The creator, with the keyboard in its name field.
key Menu
pick $ABOUT
expect_page "$ABOUT_PAGE" "the about page did not come back"
click 47 138
expect_page "$CREATOR" "the creator did not open again"
xdotool mousemove --window "$WID" 100 12 click 1
xdotool key shift+F10
pick $STATIONS
expect_page "$LIST" "Shift+F10 in the creator's name field opened no menu"
key Menu
pick $ABOUT
click 47 138
expect_page "$CREATOR" "the creator did not open a third time"
right_press 150 140
pick $STATIONS
expect_page "$LIST" "a right press on the creator's free area opened no menu"

# The player page, reached by stopping a connection; back on the list, the now-playing
# button's tip names that station as it is ("@" is not a symbol). Prints the tip's width.
is_player() { local p; p=$(page); [ "$p" != "$LIST" ] && [ "$p" != "$CREATOR" ]; }
tip_width() { # ROW
  xdotool mousemove --window "$WID" 40 $(($1 * 15 + 8)) click --repeat 2 1
  eventually changed_from "$LIST" || { echo "the station did not start connecting"; return 1; }
  click 151 138 # the connecting page's stop button
  eventually is_player || { echo "the player page did not show"; return 1; }
  sleep 0.5
  key Menu
  pick $STATIONS
  eventually is_page "$LIST" || { echo "the Menu key on the player page opened no menu"; return 1; }
  xdotool mousemove --window "$WID" 16 137 sleep 0.2 mousemove --window "$WID" 17 138
  sleep 2
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  # Below the window lies the bare root window: whatever is not black there is the tip.
  import -window root "$DIR/root.png" || return 1
  convert "$DIR/root.png" -crop "400x40+$((X - 60))+$((Y + 154))" +repage -threshold 10% -trim \
    -format '%w' info:
}
OH_TIP=$(tip_width 4) || fail "$OH_TIP"
AT_TIP=$(tip_width 3) || fail "$AT_TIP"
[ $((AT_TIP - OH_TIP)) -ge -8 ] && [ $((AT_TIP - OH_TIP)) -le 8 ] ||
  fail "the now-playing tip is cut: $AT_TIP pixels against $OH_TIP"

# The delete question names the station as it is: "@" is not a symbol.
question_width() { # ROW
  local before dialog
  before=$(xdotool search --class halvane 2>/dev/null | sort)
  xdotool mousemove --window "$WID" 40 $(($1 * 15 + 8)) click 3
  eventually menu_shown || fail "a right press on row $1 opened no menu"
  xdotool key Up Up Return # delete station
  for _ in $(seq 50); do
    dialog=$(xdotool search --onlyvisible --class halvane 2>/dev/null | sort | comm -13 <(echo "$before") - |
      head -1)
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || return 1
  sleep 0.3
  import -window "$dialog" "$DIR/question.png" || return 1
  xdotool key Escape # no
  # The name's line, from the text's left edge to the dialog's buttons.
  convert "$DIR/question.png" -crop 310x20+70+42 +repage -threshold 50% -negate -trim \
    -format '%w' info:
}
# The list is sorted by name: 3 "Radio @Home", 4 "Radio OHome".
AT=$(question_width 3) || fail "no delete question for Radio @Home"
OH=$(question_width 4) || fail "no delete question for Radio OHome"
[ $((AT - OH)) -ge -8 ] && [ $((AT - OH)) -le 8 ] ||
  fail "the name in the delete question is cut: $AT pixels against $OH"
[ -f "$DIR/stations/zat.hvn" ] || fail "answering no deleted the station"

close_and_wait
echo "1 passed, 0 failed"

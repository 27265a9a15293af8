#!/usr/bin/env bash
# How the real program meets a desktop, on the bare X server and again under openbox:
# - after the program sets its window's size itself (a saved height of 600, a playlist on
#   the command line at 278 x 308) the window stays resizable from 154 up to the screen's
#   height (not the 480 of a missing video mode), and a resize takes;
# - Shift+F10 and the Menu key open the main menu over the window, at the focused gadget
#   or at the window's top-left corner, wherever the pointer rests; a right press opens it
#   at the pointer;
# - the window's class is "halvane", "Halvane" with the program's two icons, and the
#   message boxes and the colour chooser are titled " Halvane".
# Usage: app_desktop_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

SCREEN_H=$(xwininfo -root | sed -n 's/.*Height: //p')
WM=
DESKTOP="without a window manager"
trap '[ -n "$WM" ] && kill "$WM" 2>/dev/null; e2e_cleanup' EXIT
fail_here() { fail "$DESKTOP: $1"; }

prepare_dir
printf '[playlist]\r\nNumberOfEntries=1\r\nFile1=http://127.0.0.1:9/a\r\nTitle1=Listed\r\n' \
  >"$DIR/list.pls"

size_is() { xdotool getwindowgeometry "$WID" 2>/dev/null | grep -q "Geometry: 278x$1\$"; }
# The size range the window manager is given.
resizable() {
  local hints
  hints=$(xprop -id "$WID" WM_NORMAL_HINTS 2>/dev/null)
  echo "$hints" | grep -q "minimum size: 278 by 154\$" &&
    echo "$hints" | grep -q "maximum size: 278 by $SCREEN_H\$"
}
hints() { xprop -id "$WID" WM_NORMAL_HINTS 2>/dev/null | grep size | tr -s '\t\n' ' '; }
resizes_to() { # HEIGHT
  xdotool windowsize "$WID" 278 "$1"
  eventually size_is "$1" || fail_here "a resize to 278 x $1 did not take: $(hints)"
  resizable || fail_here "a resize changed the size range: $(hints)"
}
give_keyboard() { # WINDOW
  if [ -n "$WM" ]; then xdotool windowactivate --sync "$1"; else xdotool windowfocus --sync "$1"; fi
}

# Absolute x, y of a window's client area.
origin() { xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }'; }
# Runs the command that opens the main menu and prints where the menu opened relative to
# the window's client area; the menu is closed again.
menu_place() {
  local menu mx my wx wy
  menu=$(new_window_after "$@") || return 1
  read -r mx my <<<"$(origin "$menu")"
  read -r wx wy <<<"$(origin "$WID")"
  xdotool key Escape
  closed() { ! top_windows | grep -qx "$menu"; }
  eventually closed || return 1
  echo "$((mx - wx)) $((my - wy))"
}
key_far_away() { # KEY: with the pointer in the screen's corner, 300 px from the window
  xdotool mousemove 5 5
  give_keyboard "$WID"
  xdotool key "$1"
}
near() { # X Y WANT_X WANT_Y
  [ $(($1 - $3)) -ge -4 ] && [ $(($1 - $3)) -le 4 ] && [ $(($2 - $4)) -ge -4 ] &&
    [ $(($2 - $4)) -le 4 ]
}

dismiss_dialog() {
  give_keyboard "$(dialog)"
  xdotool key Escape
  eventually no_dialog || fail_here "the dialog did not close"
}

run_checks() {
  # A saved height of 600 on a 768-high screen.
  write_settings 0 0 "" 1 40 50 600
  start_program
  eventually size_is 600 || fail_here "the saved height 600 is not kept: $(xdotool getwindowgeometry "$WID")"
  eventually resizable || fail_here "the window is not resizable from 154 to $SCREEN_H: $(hints)"
  xprop -id "$WID" WM_CLASS | grep -q '= "halvane", "Halvane"$' ||
    fail_here "the window's class: $(xprop -id "$WID" WM_CLASS)"
  icons=$(xprop -id "$WID" _NET_WM_ICON | grep -c -e 'Icon (16 x 16)' -e 'Icon (40 x 40)')
  [ "$icons" = 2 ] || fail_here "the window has not got its two icons: $(xprop -id "$WID" _NET_WM_ICON | head -3)"
  if [ -n "$WM" ]; then
    xprop -id "$WID" _OB_APP_CLASS | grep -q '"Halvane"' ||
      fail_here "openbox does not know the class: $(xprop -id "$WID" _OB_APP_CLASS)"
  fi
  shoot "desktop"
  # The colour chooser: the options page shows the swatches at this height.
  eventually has_text 2 || fail_here "the station list is not shown"
  click 231 584 # options
  options_shown() { [ "$(window_pixel 150 450)" != "srgb(255,255,255)" ]; } # not the list
  eventually options_shown || fail_here "the options page did not open"
  click 36 165 # the background colour swatch
  eventually dialog_shown || fail_here "no colour chooser titled \" Halvane\""
  dismiss_dialog
  click 261 584 # close the options page
  # The delete question, from the rating menu of the first station.
  eventually has_text 0 || fail_here "the station list did not come back"
  new_window_after right_press 40 8 >/dev/null || fail_here "the rating menu did not open"
  xdotool key Up Up Return # delete station
  eventually dialog_shown || fail_here "no delete question titled \" Halvane\""
  xprop -id "$(dialog)" WM_CLASS | grep -q '"Halvane"$' || fail_here "the question's class"
  dismiss_dialog
  [ -f "$DIR/stations/st0.hvn" ] || fail_here "closing the question deleted the station"
  resizes_to 400
  close_and_wait

  # A playlist on the command line opens the creator at 278 x 308.
  write_settings 0 0 "" 0 0 0 154
  start_program "$DIR/list.pls"
  eventually size_is 308 || fail_here "the creator did not open at 278 x 308"
  eventually resizable || fail_here "the creator's window is not resizable: $(hints)"
  resizes_to 200
  close_and_wait

  # The main menu from the keyboard and from a right press.
  start_program
  eventually has_text 2 || fail_here "the station list is not shown at start"
  local place
  place=$(menu_place key_far_away shift+F10) || fail_here "Shift+F10 opened no menu"
  near $place 0 0 || fail_here "Shift+F10 opened the menu at $place from the window, not over its corner"
  click 60 138 # the category field takes the keyboard
  place=$(menu_place key_far_away Menu) || fail_here "the Menu key opened no menu"
  near $place 35 126 || fail_here "the Menu key opened the menu at $place, not at the category field"
  place=$(menu_place right_press 100 122) || fail_here "a right press opened no menu"
  near $place 100 122 || fail_here "a right press at 100,122 opened the menu at $place"
  close_and_wait
}

run_checks

command -v openbox >/dev/null || skip_or_fail "openbox is not installed (tools/deps.sh test)"
mkdir "$DIR/xdg" "$DIR/cache"
XDG_CONFIG_HOME="$DIR/xdg" XDG_CACHE_HOME="$DIR/cache" openbox --sm-disable >"$DIR/openbox.log" 2>&1 &
WM=$!
DESKTOP="under openbox"
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
eventually wm_running || fail "openbox did not start: $(cat "$DIR/openbox.log")"
run_checks
kill "$WM"
wait "$WM" 2>/dev/null
WM=
echo "1 passed, 0 failed"

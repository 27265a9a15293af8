# Shared steps of the end-to-end scripts: a program directory with a copy of the binary
# and three stations, the window found by its title, list rows read from screenshots,
# and a window-manager close. Source it with BIN set; it sets DIR, PID and WID.
E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

skip_or_fail() {
  if [ "${HALVANE_TEST_SERVICES:-}" = 1 ]; then echo "FAIL: $1"; exit 1; fi
  echo "SKIP: $1"; exit 77
}
[ -n "${DISPLAY:-}" ] || skip_or_fail "DISPLAY is not set"
[ -n "${PULSE_SERVER:-}" ] || skip_or_fail "PULSE_SERVER is not set"

DIR=$(mktemp -d /tmp/hvn-e2e-app.XXXXXX)
PID=
WID=
e2e_cleanup() {
  if [ -n "$PID" ]; then
    kill "$PID" 2>/dev/null
    # A program stuck by a fault must not outlive its test: its windows would cover the
    # next test's.
    for _ in $(seq 30); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$PID" 2>/dev/null
  fi
  rm -rf "$DIR"
}
trap e2e_cleanup EXIT
fail() {
  echo "FAIL: $1"
  [ -s "$DIR/out.log" ] && sed "s/^/  program: /" "$DIR/out.log"
  exit 1
}

# The program changes into its own directory, so it runs from a copy beside its data.
# Stations: Jazz One (genre 17, favourite), Rock Two (20), Blues Three (7).
prepare_dir() {
  cp "$BIN" "$DIR/halvane"
  mkdir "$DIR/stations" "$DIR/db"
  python3 - "$DIR" <<'PY'
import sys, zipfile
base = sys.argv[1]
for i, (name, genre) in enumerate([("Jazz One", 17), ("Rock Two", 20), ("Blues Three", 7)]):
    with zipfile.ZipFile(f"{base}/stations/st{i}.hvn", "w") as z:
        z.writestr("station_id.txt",
                   f"{name}\r\nhttp://example.invalid\r\n{genre}\r\n1\r\nhttp://127.0.0.1:9/none")
with open(f"{base}/db/st0.db", "wb") as f:
    f.write(b"0\r\n1\r\n")
PY
}

# Other tests may show a window of the same title on this display: ours is the new one.
start_program() {
  local before
  before=$(xdotool search --name "^ Halvane$" 2>/dev/null | sort)
  # PROGRAM_PRELOAD: libraries preloaded into the program alone, not into the tools here.
  LD_PRELOAD=${PROGRAM_PRELOAD:-${LD_PRELOAD:-}} "$DIR/halvane" "$@" >"$DIR/out.log" 2>&1 &
  PID=$!
  for _ in $(seq 300); do
    WID=$(xdotool search --name "^ Halvane$" 2>/dev/null | sort | comm -13 <(echo "$before") - |
      head -1)
    [ -n "$WID" ] && break
    sleep 0.1
  done
  [ -n "$WID" ] || fail "no window appeared"
}

# Mean and highest brightness (0..1) of one item row of the station list; a row without
# text is 1 1.
row() {
  import -window "$WID" "$DIR/shot.png" || return 1
  convert "$DIR/shot.png" -crop "200x12+4+$(($1 * 15 + 2))" -colorspace Gray \
    -format '%[fx:mean] %[fx:maxima]' info:
}
# The player page's canvas is a window of its own, mapped only while that page shows.
player_canvas_shown() {
  local id
  id=$(xwininfo -children -id "$WID" 2>/dev/null | awk '/ 274x87\+2\+33 / { print $1; exit }')
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'
}
# ROW LIMIT WANT: true when the row's brightness is below LIMIT (WANT 1) or not (WANT 0).
# Only a row of the list counts, which holds white (its ground, or a selected row's text):
# not the window's grey "Please wait..." page while the stations load, nor the player page,
# nor a window not mapped yet, which gives no screenshot. These are false either way, so
# that no check, "empty" included, passes before the list shows.
row_below() {
  local m
  ! player_canvas_shown || return 1
  m=$(row "$1") && [ -n "$m" ] || return 1
  awk -v m="${m% *}" -v top="${m#* }" -v b="$2" -v want="$3" \
    'BEGIN { exit !(top + 0 == 1 && (m + 0 < b + 0) == want) }'
}
has_text() { row_below "$1" 0.99 1; }
no_text() { row_below "$1" 0.99 0; }
# A selected row is drawn with a dark background.
selected() { row_below "$1" 0.6 1; }
# The program redraws when it gets to it (a loaded machine may be slow): retry the check
# for up to 10 seconds.
eventually() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
click() { xdotool mousemove --window "$WID" "$1" "$2" click 1; }

# The list page has the now-playing button at the bottom left; the creator page nothing,
# and a white name field at the top, where the "Please wait..." page is grey.
creator_shown() {
  import -window "$WID" "$DIR/shot.png" || return 1
  local spread field height
  height=$(identify -format '%h' "$DIR/shot.png")
  spread=$(convert "$DIR/shot.png" -crop "26x24+4+$((height - 28))" -colorspace Gray \
    -format '%[fx:standard_deviation]' info:)
  field=$(convert "$DIR/shot.png" -crop 10x4+240+8 -colorspace Gray -format '%[fx:minima]' info:)
  awk -v s="$spread" -v f="$field" 'BEGIN { exit !(s < 0.01 && f + 0 == 1) }'
}
not_creator() { ! creator_shown; }
# The colour of the window's pixel X, Y, as "srgb(R,G,B)".
window_pixel() {
  import -window "$WID" "$DIR/pixel.png" 2>/dev/null &&
    convert "$DIR/pixel.png" -format "%[pixel:p{$1,$2}]" info:
}

top_windows() { xdotool search --onlyvisible --maxdepth 1 --name "" 2>/dev/null | sort; }
# Runs the command, waits for a new top-level window (a menu, a dialog) and prints it;
# fails when none comes within 5 seconds.
new_window_after() {
  local before found
  before=$(top_windows)
  "$@" >/dev/null
  for _ in $(seq 50); do
    found=$(comm -13 <(echo "$before") <(top_windows) | head -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}
right_press() { xdotool mousemove --window "$WID" "$1" "$2" click 3; }
# Another top-level window of the program is shown: an open menu (or a dialog).
menu_shown() {
  xdotool search --all --onlyvisible --maxdepth 1 --pid "$PID" 2>/dev/null | grep -qvx "$WID"
}

# A dialog of the program (a message box, the colour chooser): another of its windows
# titled " Halvane".
dialog() {
  xdotool search --all --onlyvisible --pid "$PID" --name "^ Halvane\$" 2>/dev/null |
    grep -vx "$WID" | head -1
}
dialog_shown() { [ -n "$(dialog)" ]; }
no_dialog() { [ -z "$(dialog)" ]; }
# Answers the open dialog with KEY: Return its default button, Escape "No" or cancel.
answer_dialog() { # KEY
  xdotool windowfocus --sync "$(dialog)" key "$1"
  eventually no_dialog || fail "the dialog did not close"
}

# The orderly end after WHAT: the program exits with 0 and has written "hvn.ini".
ended_cleanly() { # WHAT
  local status=
  for _ in $(seq 300); do
    if ! kill -0 "$PID" 2>/dev/null; then wait "$PID"; status=$?; PID=; break; fi
    sleep 0.1
  done
  [ -z "$PID" ] || fail "the program did not end after $1"
  [ "$status" = 0 ] || fail "exit status $status after $1"
  [ -f "$DIR/hvn.ini" ] || fail "hvn.ini was not written after $1"
}

# Closes the window as a window manager would and checks the orderly end.
close_and_wait() {
  python3 "$E2E_HERE/wm_close.py" "$WID" || fail "could not send the close request"
  ended_cleanly "the window was closed"
}

# Writes hvn.ini with the given values for the lines that differ from the defaults.
write_settings() { # STATIONLIST SAVESTATION LASTSTATION SAVEPOS X Y HEIGHT
  printf '%s\r\n' "Halvane" $'Release\t\t\t  =50' $'Build\t\t\t  =060813 (Linux TEST BUILD)' \
    $'Stationlist \t\t  ='"$1" $'Language      \t\t  =4' $'Skin      \t\t  =' \
    $'Buffersize     \t\t  =0' $'Volume        \t\t  =100' $'Save Station\t\t  ='"$2" \
    $'Last Station\t\t  ='"$3" $'Save Window Position\t  ='"$4" $'Window PositionX\t  ='"$5" \
    $'Window PositionY\t  ='"$6" $'Start Minimized  \t  =0' $'Force OpenGL Driver \t  =1' \
    $'Show Errors\t\t  =1' $'Show Spectrum Analyser\t  =1' $'Window Height\t\t  ='"$7" \
    $'Update Server\t\t  =http://127.0.0.1:9/hvn/' $'Update Homepage\t\t  =http://127.0.0.1:9/' \
    $'Auto Update \t\t  =0' $'Last Update \t\t  =' $'Custom Window Color\t  =0' \
    $'Background Color    \t  =192;192;192;' $'Label Color     \t  =-1;-1;-1;' >"$DIR/hvn.ini"
}

# Screenshot NAME.png of the window once drawing has settled (two shots alike), with the
# pointer away from it so that no tooltip covers it.
shoot() {
  xdotool mousemove 1000 760
  for _ in $(seq 30); do
    sleep 0.3
    import -window "$WID" "$DIR/$1.png" || fail "no screenshot $1"
    [ -f "$DIR/$1.last.png" ] &&
      [ "$(compare -metric AE "$DIR/$1.png" "$DIR/$1.last.png" null: 2>&1)" = 0 ] && break
    cp "$DIR/$1.png" "$DIR/$1.last.png"
  done
  rm -f "$DIR/$1.last.png"
}

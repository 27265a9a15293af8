#!/usr/bin/env bash
# The real program under Xvfb: the category chooser and the favourites toggle change the
# station list, and closing the window saves "hvn.ini" and ends the process with 0.
# Usage: app_window_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)

skip_or_fail() {
  if [ "${HALVANE_TEST_SERVICES:-}" = 1 ]; then echo "FAIL: $1"; exit 1; fi
  echo "SKIP: $1"; exit 77
}
[ -n "${DISPLAY:-}" ] || skip_or_fail "DISPLAY is not set"
[ -n "${PULSE_SERVER:-}" ] || skip_or_fail "PULSE_SERVER is not set"

DIR=$(mktemp -d /tmp/hvn-e2e-app.XXXXXX)
PID=
cleanup() {
  [ -n "$PID" ] && kill "$PID" 2>/dev/null
  rm -rf "$DIR"
}
trap cleanup EXIT
fail() { echo "FAIL: $1"; exit 1; }

# The program changes into its own directory, so it runs from a copy beside its data.
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

"$DIR/halvane" >"$DIR/out.log" 2>&1 &
PID=$!

WID=
for _ in $(seq 100); do
  WID=$(xdotool search --name "^ Halvane$" 2>/dev/null | head -1)
  [ -n "$WID" ] && break
  sleep 0.1
done
[ -n "$WID" ] || fail "no window appeared"
sleep 0.5

# Mean brightness (0..1) of one item row of the station list; a row without text is 1.
row() {
  import -window "$WID" "$DIR/shot.png" || return 1
  convert "$DIR/shot.png" -crop "200x12+4+$(($1 * 15 + 2))" -colorspace Gray \
    -format '%[fx:mean]' info:
}
has_text() { awk -v m="$(row "$1")" 'BEGIN { exit !(m < 0.99) }'; }
click() { xdotool mousemove --window "$WID" "$1" "$2" click 1; sleep 0.4; }

has_text 0 && has_text 1 && has_text 2 || fail "the three stations are not listed at start"

click 201 138 # favourites toggle: only Jazz One is a favourite
has_text 0 || fail "favourites-only lost the favourite"
has_text 1 && fail "favourites-only still lists the other stations"
click 201 138 # back to all stations
has_text 2 || fail "all stations are not listed again"

click 176 138 # the category chooser's menu; item 10 is "Blues & Love"
for _ in $(seq 11); do xdotool key Down; done
xdotool key Return
sleep 0.4
has_text 0 || fail "the genre lists nothing"
has_text 1 && fail "the genre lists more than its one station"

python3 "$HERE/wm_close.py" "$WID" || fail "could not send the close request"
STATUS=
for _ in $(seq 100); do
  if ! kill -0 "$PID" 2>/dev/null; then wait "$PID"; STATUS=$?; PID=; break; fi
  sleep 0.1
done
[ -z "$PID" ] || fail "the program did not end after the window was closed"
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
[ -f "$DIR/hvn.ini" ] || fail "hvn.ini was not written"
grep -q '^Stationlist.*=0' "$DIR/hvn.ini" || fail "hvn.ini does not hold the list mode"
echo "1 passed, 0 failed"

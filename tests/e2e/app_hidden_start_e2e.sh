#!/usr/bin/env bash
# "Start Minimized" with real timers. With nothing to play and no update due, the program
# starts minimised, waits without using the processor (under 0.1 s of CPU time in 10 s),
# shows its page when it is mapped again, and a window close saves and exits with 0.
# Under a window manager that iconifies (a test one of our own), a hidden start with a
# station playing is iconified, and restoring it brings back the spectrum frames and the
# now-playing poll; SIGTERM then saves and exits with 0.
# Usage: app_hidden_start_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"
[ -n "${HALVANE_ICECAST_PORT:-}" ] || skip_or_fail "HALVANE_ICECAST_PORT is not set"

set_setting() { # KEY VALUE: the line starting with KEY gets the value
  sed -i "s/^\($1[^=]*=\).*\r\$/\1$2\r/" "$DIR/hvn.ini"
}
map_state() { xwininfo -id "$WID" 2>/dev/null | sed -n 's/.*Map State: //p'; }
mapped() { [ "$(map_state)" = IsViewable ]; }
unmapped() { [ "$(map_state)" = IsUnMapped ]; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$PID/stat"; }

prepare_dir
write_settings 0 0 "" 0 0 0 154
set_setting "Start Minimized" 1
set_setting "Auto Update" 1
set_setting "Last Update" "$(date +'%Y %m')"
start_program
eventually unmapped || fail "the window was not minimised: $(map_state)"
sleep 1
before=$(cpu_ticks)
sleep 10
used=$(($(cpu_ticks) - before))
hz=$(getconf CLK_TCK)
echo "CPU time of the hidden start over 10 s: $((used * 1000 / hz)) ms"
[ $((used * 10)) -lt "$hz" ] || fail "the hidden start used $((used * 1000 / hz)) ms in 10 s"

xdotool windowmap "$WID"
eventually mapped || fail "the window did not come back"
eventually has_text 2 || fail "the restored window does not show the station list"
close_and_wait
grep -q "^Last Update.*=$(date +'%Y %m')" "$DIR/hvn.ini" || fail "Last Update was changed"

# A station on the local icecast server, played during the hidden start.
python3 - "$DIR" "$HALVANE_ICECAST_PORT" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/live.hvn", "w") as z:
    z.writestr("station_id.txt", "Live Tone\r\nhttp://example.invalid\r\n17\r\n1\r\n"
               f"http://127.0.0.1:{sys.argv[2]}/live.mp3")
PY
write_settings 0 1 "Live Tone" 0 0 0 154
set_setting "Start Minimized" 1
python3 "$E2E_HERE/iconify_wm.py" >"$DIR/wm.log" 2>&1 &
WM=$!
trap 'kill "$WM" 2>/dev/null; e2e_cleanup' EXIT
wm_ready() { grep -q ready "$DIR/wm.log"; }
eventually wm_ready || fail "the test window manager did not start: $(cat "$DIR/wm.log")"
start_program
iconic() { unmapped && xprop -id "$WID" WM_STATE | grep -q 'window state: Iconic'; }
eventually iconic || fail "the window was not iconified: $(map_state)"
sleep 4 # connecting and buffering while minimised
xdotool mousemove 0 0 # no tooltip over the canvas
xdotool windowmap "$WID"
eventually mapped || fail "the window did not come back"
# Only the 30 Hz frame draws the canvas: the station logo shows once the frames go on.
canvas_drawn() {
  import -window "$WID" "$DIR/shot.png" || return 1
  awk -v m="$(convert "$DIR/shot.png" -crop 274x87+2+33 -colorspace Gray -format '%[fx:mean]' info:)" \
    'BEGIN { exit !(m > 0.1) }'
}
# The poll's status view adds the bitrate and buffer fill to the genre left by playing.
status_polled() {
  import -window "$WID" "$DIR/shot.png" || return 1
  local width
  width=$(convert "$DIR/shot.png" -crop 278x14+0+20 +repage -colorspace Gray -threshold 50% \
    -negate -trim -format '%w' info: 2>/dev/null)
  [ "${width:-0}" -gt 120 ]
}
eventually canvas_drawn || fail "the spectrum canvas is not drawn after the restore"
eventually status_polled || fail "the now-playing poll did not resume after the restore"
rm -f "$DIR/hvn.ini"
kill -TERM "$PID"
ended_cleanly SIGTERM
grep -q '^Last Station.*=Live Tone' "$DIR/hvn.ini" || fail "the station played is not saved"
echo "1 passed, 0 failed"

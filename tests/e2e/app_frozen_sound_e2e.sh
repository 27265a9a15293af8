#!/usr/bin/env bash
# A sound server that stops answering while a station plays (SIGSTOP to the PulseAudio
# server) does not hold the exit: a window close ends the real program within 1 s, with
# "hvn.ini" saved. Once through PulseAudio, once through ALSA's pulse plugin (PulseAudio
# itself unreachable), each on a PulseAudio server of this test's own, so that freezing it
# leaves other tests' server alone.
# Usage: app_frozen_sound_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"
[ -n "${HALVANE_ICECAST_PORT:-}" ] || skip_or_fail "HALVANE_ICECAST_PORT is not set"

SVC_DIR=$DIR/svc
mkdir "$SVC_DIR"
. "$E2E_HERE/../../tools/test-services.sh"
# The server is thawed whatever happens, or stop_all could not end it.
trap 'kill -CONT "${SVC_PIDS[@]}" 2>/dev/null; stop_all; e2e_cleanup' EXIT
start_pulse || fail "the test's PulseAudio did not start"
PULSE_PID=${SVC_PIDS[-1]}
OWN_SERVER=$PULSE_SERVER

prepare_dir
python3 - "$DIR" "$HALVANE_ICECAST_PORT" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/live.hvn", "w") as z:
    z.writestr("station_id.txt", "Live Tone\r\nhttp://example.invalid\r\n17\r\n1\r\n"
               f"http://127.0.0.1:{sys.argv[2]}/live.mp3")
PY
printf 'pcm.!default { type pulse; server "%s" }\nctl.!default { type pulse; server "%s" }\n' \
  "$OWN_SERVER" "$OWN_SERVER" >"$DIR/asound.conf"

# The name under which the program's sound stream shows at the server, "" while it has none.
stream_name() {
  PULSE_SERVER=$OWN_SERVER pactl list sink-inputs 2>/dev/null | awk -v pid="$PID" '
    /application.name = / { name = $0 }
    $0 ~ "application.process.id = \"" pid "\"" { sub(/.*= "/, "", name); sub(/"$/, "", name); print name }'
}
plays() { [ -n "$(stream_name)" ]; }

round() { # HOW EXPECTED_STREAM_NAME
  write_settings 0 1 "Live Tone" 0 0 0 154
  start_program
  eventually plays || fail "$1: the station did not play"
  [ "$(stream_name)" = "$2" ] || fail "$1: the sound went through \"$(stream_name)\", not \"$2\""
  rm "$DIR/hvn.ini"
  kill -STOP "$PULSE_PID"
  python3 "$E2E_HERE/wm_close.py" "$WID" || fail "$1: could not send the close request"
  local start=$(date +%s%N) gone=
  while [ $(($(date +%s%N) - start)) -lt 1000000000 ]; do
    kill -0 "$PID" 2>/dev/null || { gone=1; break; }
    sleep 0.05
  done
  [ -n "$gone" ] || fail "$1: the program was still running 1 s after the close"
  kill -CONT "$PULSE_PID"
  ended_cleanly "$1: a close with the sound server frozen"
}

round "PulseAudio" "Halvane"
PULSE_SERVER=unix:$DIR/no-server ALSA_CONFIG_PATH=$DIR/asound.conf round "ALSA" "ALSA plug-in [halvane]"
echo "1 passed, 0 failed"

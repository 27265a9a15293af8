#!/usr/bin/env bash
# A sound server that stops answering while a station plays (SIGSTOP to the PulseAudio
# server) does not hold the exit: a window close ends the real program within 1 s, with
# "hvn.ini" saved. Once through PulseAudio, once through ALSA's pulse plugin (PulseAudio
# itself unreachable), and once with the server frozen before the station starts, so that the
# close comes while the program connects to it. Each on a PulseAudio server of this test's
# own, so that freezing it leaves other tests' server alone.
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

# A sanitizer's instrumentation and its check at exit slow the exit several times over
# (ALSA's about 1.3 s under ThreadSanitizer against 0.3 s; AddressSanitizer's leak check
# on a loaded machine over 1 s): their builds get 3 s. A held exit lasts about 30 s.
limit=1
ldd "$BIN" | grep -Eq 'lib[at]san' && limit=3

# Waits for the close to end the program within the limit; thaws the server afterwards.
gone_within_1s() { # HOW
  local start=$(date +%s%N) gone=
  python3 "$E2E_HERE/wm_close.py" "$WID" || fail "$1: could not send the close request"
  while [ $(($(date +%s%N) - start)) -lt $((limit * 1000000000)) ]; do
    kill -0 "$PID" 2>/dev/null || { gone=1; break; }
    sleep 0.05
  done
  [ -n "$gone" ] || fail "$1: the program was still running $limit s after the close"
  kill -CONT "$PULSE_PID"
  ended_cleanly "$1: a close with the sound server frozen"
}

round() { # HOW EXPECTED_STREAM_NAME
  write_settings 0 1 "Live Tone" 0 0 0 154
  start_program
  eventually plays || fail "$1: the station did not play"
  [ "$(stream_name)" = "$2" ] || fail "$1: the sound went through \"$(stream_name)\", not \"$2\""
  rm "$DIR/hvn.ini"
  kill -STOP "$PULSE_PID"
  gone_within_1s "$1"
}

round "PulseAudio" "Halvane"
PULSE_SERVER=unix:$DIR/no-server ALSA_CONFIG_PATH=$DIR/asound.conf round "ALSA" "ALSA plug-in [halvane]"

# A station that answers once the file "go" exists, so that the server can be frozen between
# the program's start (which opens the output once) and the station's first sound.
ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=440:d=20 -c:a libmp3lame -b:a 128k \
  -f mp3 "$DIR/tone.mp3" || fail "ffmpeg could not make the tone"
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 - "$PORT" "$DIR" <<'PY' &
import http.server, os, socketserver, sys, time
port, base = int(sys.argv[1]), sys.argv[2]
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def log_message(self, *args): pass
    def do_GET(self):
        end = time.time() + 60
        while not os.path.exists(f"{base}/go") and time.time() < end:
            time.sleep(0.05)
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.end_headers()
        try:
            self.wfile.write(open(f"{base}/tone.mp3", "rb").read())
        except (BrokenPipeError, ConnectionResetError):
            pass
class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    daemon_threads = True
Server(("127.0.0.1", port), Handler).serve_forever()
PY
GATED=$!
trap 'kill -CONT "${SVC_PIDS[@]}" 2>/dev/null; kill "$GATED" 2>/dev/null; stop_all; e2e_cleanup' EXIT
python3 - "$DIR" "$PORT" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/gated.hvn", "w") as z:
    z.writestr("station_id.txt", "Gated Tone\r\nhttp://example.invalid\r\n17\r\n1\r\n"
               f"http://127.0.0.1:{sys.argv[2]}/live.mp3")
PY
# Connections the frozen server has not taken yet: the program's, once it opens its output.
waiting_connections() {
  ss -xlH src "${OWN_SERVER#unix:}" | awk '{ print $3 }'
}
write_settings 0 1 "Gated Tone" 0 0 0 154
start_program
kill -STOP "$PULSE_PID"
touch "$DIR/go"
connecting() { [ "$(waiting_connections)" -ge 1 ]; }
eventually connecting || fail "the program did not connect to the sound server"
rm "$DIR/hvn.ini"
gone_within_1s "a close while connecting"
echo "1 passed, 0 failed"

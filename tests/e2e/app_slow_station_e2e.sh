#!/usr/bin/env bash
# A slow station the way real ones are: 32 kb/s sent at real-time pace from the first byte,
# its URL a .pls playlist, "Buffer Size" at 64 KB. The real program plays it at start-up
# (heard within 8 s, well inside the 13.75 s connecting wait); when the server dies and is
# back 4 s later, it is heard again without any action, and stderr says once why it dropped.
# Usage: app_slow_station_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

SERVER=
stop_server() { [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null && wait "$SERVER" 2>/dev/null; SERVER=; }
trap 'stop_server; e2e_cleanup' EXIT

ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=440:sample_rate=22050:d=90 -ac 1 \
  -c:a libmp3lame -b:a 32k -f mp3 "$DIR/tone.mp3" || fail "ffmpeg could not make the tone"
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# /radio.pls names a dead URL, then /live.mp3, which goes out at 4000 bytes a second.
start_server() {
  python3 - "$PORT" "$DIR/tone.mp3" <<'PY' &
import http.server, socketserver, sys, time
port, tone = int(sys.argv[1]), open(sys.argv[2], "rb").read()
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def log_message(self, *args): pass
    def do_GET(self):
        if self.path == "/radio.pls":
            body = (f"[playlist]\nFile1=http://127.0.0.1:9/gone\n"
                    f"File2=http://127.0.0.1:{port}/live.mp3\nNumberOfEntries=2\n").encode()
            self.send_response(200)
            self.send_header("Content-Type", "audio/x-scpls")
            self.end_headers()
            self.wfile.write(body)
            return
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.send_header("icy-br", "32")
        self.end_headers()
        start, sent = time.monotonic(), 0
        try:
            while sent < len(tone):
                due = min(len(tone), int((time.monotonic() - start) * 4000) + 1)
                self.wfile.write(tone[sent:due]); self.wfile.flush()
                sent = due
                time.sleep(0.02)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the listener left
# Not HTTPServer: its bind looks up the host's name, which hangs without a network.
class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    daemon_threads = True
Server(("127.0.0.1", port), Handler).serve_forever()
PY
  SERVER=$!
  for _ in $(seq 50); do
    curl -sf --max-time 1 -o /dev/null "http://127.0.0.1:$PORT/radio.pls" && return 0
    sleep 0.1
  done
  fail "the station server did not start"
}

# RMS (0..1) of the left channel over a short recording of the null sink's monitor.
level() {
  timeout 0.7 parec -d test_sink.monitor --format=s16le --rate=44100 --channels=2 --raw \
    >"$DIR/rec.raw" 2>/dev/null
  sox -t raw -r 44100 -e signed -b 16 -c 2 "$DIR/rec.raw" -n remix 1 stat 2>&1 |
    awk '/RMS +amplitude/ { print $3 }'
}
heard() { awk -v l="$(level)" 'BEGIN { exit !(l > 0.02) }'; }
# Waits up to $1 seconds for the tone.
heard_within() {
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt "$end" ]; do heard && return 0; done
  return 1
}
# Waits up to $1 seconds for silence.
silent_within() {
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt "$end" ]; do heard || return 0; done
  return 1
}

prepare_dir
python3 - "$DIR" "$PORT" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/st0.hvn", "w") as z:
    z.writestr("station_id.txt",
               f"Jazz One\r\nhttp://example.invalid\r\n17\r\n1\r\nhttp://127.0.0.1:{sys.argv[2]}/radio.pls")
PY
write_settings 0 1 "Jazz One" 0 0 0 300
sed -i 's/^\(Buffersize[^=]*=\)0/\13/' "$DIR/hvn.ini"
start_server
start_program
heard_within 8 || fail "the slow station was not heard within 8 s of the start"

stop_server
KILLED=$SECONDS
# What was buffered plays out first: up to the time the program took to start the sound.
silent_within 8 || fail "still heard 8 s after the server died"
[ $((KILLED + 4 - SECONDS)) -gt 0 ] && sleep $((KILLED + 4 - SECONDS))
start_server
heard_within 14 || fail "not heard again within 14 s of the server coming back"
# The drop says why once, however many tries it took; the dead first playlist entry and the
# tries themselves say nothing.
drop="halvane: connection lost, reconnecting: http://127.0.0.1:$PORT/radio.pls: "
[ "$(grep -c "^halvane: " "$DIR/out.log")" = 1 ] && grep -q "^$drop" "$DIR/out.log" ||
  fail "stderr does not hold just one line \"$drop...\""

close_and_wait
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# A station that fails says why on stderr, one line in the program's format with the
# library's own words (or the HTTP status): a refused connection, a server answering 404, a
# server sending what is not sound, a settings file that is write-protected at the exit, and
# a station saved by the creator over a directory of the same name.
# Usage: app_failure_reasons_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# /missing.mp3 answers 404; /noise.mp3 sends text labelled as MP3.
python3 - "$PORT" <<'PY' &
import http.server, socketserver, sys
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def log_message(self, *args): pass
    def do_GET(self):
        if self.path != "/noise.mp3":
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.end_headers()
        self.wfile.write(b"this is not sound at all\n" * 4000)
# Not HTTPServer: its bind looks up the host's name, which hangs without a network.
class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    daemon_threads = True
Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
PY
SERVER=$!
trap 'kill "$SERVER" 2>/dev/null; e2e_cleanup' EXIT
server_up() { curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$PORT/"; }
eventually server_up || fail "the test server did not start"

prepare_dir
python3 - "$DIR" "$PORT" <<'PY'
import sys, zipfile
base, port = sys.argv[1], sys.argv[2]
for name, url in [("Refused", "http://127.0.0.1:9/live"),
                  ("Missing", f"http://127.0.0.1:{port}/missing.mp3"),
                  ("Noise", f"http://127.0.0.1:{port}/noise.mp3")]:
    with zipfile.ZipFile(f"{base}/stations/{name.lower()}.hvn", "w") as z:
        z.writestr("station_id.txt", f"{name}\r\nhttp://example.invalid\r\n17\r\n1\r\n{url}")
PY

said() { grep -qF "$1" "$DIR/out.log"; }
# Each station is played at start-up; its line must come while it connects.
for station in "Refused|cannot play http://127.0.0.1:9/live: Connection refused" \
  "Missing|cannot play http://127.0.0.1:$PORT/missing.mp3: HTTP status 404" \
  "Noise|cannot play http://127.0.0.1:$PORT/noise.mp3: Stream not found"; do
  name=${station%%|*} line="halvane: ${station#*|}"
  write_settings 0 1 "$name" 0 0 0 154
  start_program
  eventually said "$line" || fail "$name: no line \"$line\" on stderr"
  [ "$(grep -c "^halvane: " "$DIR/out.log")" = 1 ] || fail "$name: more than one line on stderr"
  close_and_wait
done

write_settings 0 0 "" 0 0 0 154
chmod 444 "$DIR/hvn.ini"
start_program
eventually has_text 2 || fail "the station list is not shown"
close_and_wait
said "halvane: cannot save hvn.ini: Permission denied" || fail "no line for the unsaved hvn.ini"
chmod 644 "$DIR/hvn.ini"

# A playlist on the command line opens in the creator, whose save button is at the bottom
# of the 278 x 308 window; the station's file name is taken by a directory.
printf '[playlist]\r\nNumberOfEntries=1\r\nFile1=http://127.0.0.1:9/a\r\n' >"$DIR/list.pls"
mkdir "$DIR/stations/!!!_hvn_station.hvn"
cd "$DIR"
start_program list.pls
creator_up() { xdotool getwindowgeometry "$WID" | grep -q 278x308; }
eventually creator_up || fail "the playlist did not open in the creator"
click 231 292
line="halvane: cannot save stations/!!!_hvn_station.hvn: Is a directory"
eventually said "$line" || fail "no line \"$line\" after the creator's save"
close_and_wait
echo "1 passed, 0 failed"

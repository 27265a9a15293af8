#!/usr/bin/env bash
# The automatic station-list update of the real program against a server of our own on
# 127.0.0.1 (an "Update Server" with a port):
# - a server that trickles the archive a byte a second, and a name lookup of the server
#   that never answers: the window still closes within 15 s and the archive kept from the
#   last update stays byte for byte;
# - an error page in place of the archive: the kept archive stays;
# - a good archive whose list also names temporary-looking keys: the archive is
#   replaced, every good station holds the server's bytes and the hostile keys fetch
#   nothing.
# Usage: update_archive_e2e.sh PATH_TO_HALVANE XDND_DROP SLOW_LOOKUP_SO
set -u
BIN=$1
SHIM=$3 # tests/e2e/slow_lookup.c
. "$(dirname "$0")/e2e_lib.sh"

SERVER=
stop_server() {
  [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null && wait "$SERVER" 2>/dev/null
  SERVER=
}
trap 'stop_server; e2e_cleanup' EXIT

prepare_dir
mkdir "$DIR/srv"
python3 - "$DIR" <<'PY'
import os, sys, zipfile
base = sys.argv[1]
def station(path, name):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("station_id.txt", f"{name}\r\nhttp://example.invalid\r\n3\r\n1\r\nhttp://127.0.0.1:9/x")
def archive(path, lines):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("hvn_stationlist.txt", "".join(f"{k}={v}\r\n" for k, v in lines))
# The kept archive lists the three local stations as they are: nothing to fetch.
local = [(f"st{i}.hvn", os.path.getsize(f"{base}/stations/st{i}.hvn")) for i in range(3)]
archive(f"{base}/hvn_stationlist.zip", local)
# The server's stations, each with bytes of its own; hostile keys sit among them so that
# the four download slots are reused for them.
names = ["a.hvn", ".download-1.part", "b.hvn", ".download-0.part", "c.hvn", ".hvn-tmp",
         "d.hvn", ".hvn-zip-Ab12Cd", "e.hvn", "f.hvn", ".download-2.part", "g.hvn"]
os.mkdir(f"{base}/srv/stations")
for i, n in enumerate(names):
    station(f"{base}/srv/stations/{n}", f"Served {i} {n}")
archive(f"{base}/srv/good.zip",
        [(n, os.path.getsize(f"{base}/srv/stations/{n}")) for n in names] + local)
PY
cp "$DIR/hvn_stationlist.zip" "$DIR/kept.zip"

cat >"$DIR/srv/server.py" <<'PY'
# mode trickle: the archive a byte a second; error: a 404 page; good: good.zip.
# Station files are served from stations/. Ends by itself after 90 s.
import http.server, os, socketserver, sys, threading, time
root, mode = sys.argv[1], sys.argv[2]
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def log_message(self, *args): pass
    def do_GET(self):
        if self.path.endswith("/hvn_stationlist.zip"):
            if mode == "trickle":
                self.send_response(200); self.end_headers()
                for b in open(f"{root}/good.zip", "rb").read():
                    self.wfile.write(bytes([b])); self.wfile.flush(); time.sleep(1)
                return
            if mode == "error":
                body = b"<html><body>404 Not Found</body></html>"
                self.send_response(404)
            else:
                body = open(f"{root}/good.zip", "rb").read()
                self.send_response(200)
        else:
            name = self.path.rsplit("/", 1)[-1]
            path = f"{root}/stations/{name}"
            if not self.path.startswith("/hvn/stations/") or not os.path.isfile(path):
                self.send_error(404); return
            body = open(path, "rb").read()
            self.send_response(200)
        self.send_header("Content-Length", str(len(body))); self.end_headers()
        self.wfile.write(body)
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
server = Server(("127.0.0.1", 0), Handler)
open(f"{root}/port", "w").write(str(server.server_address[1]))
threading.Timer(90, lambda: os._exit(0)).start()
server.serve_forever()
PY

start_server() {
  rm -f "$DIR/srv/port"
  python3 "$DIR/srv/server.py" "$DIR/srv" "$1" &
  SERVER=$!
  for _ in $(seq 50); do [ -s "$DIR/srv/port" ] && break; sleep 0.1; done
  [ -s "$DIR/srv/port" ] || fail "the test server did not start"
  update_from "http://127.0.0.1:$(cat "$DIR/srv/port")/hvn/"
}
update_from() { # UPDATE_SERVER: settings with the automatic update due
  write_settings 0 0 "" 0 0 0 154
  sed -i -e "s|=http://127.0.0.1:9/hvn/|=$1|" \
    -e 's/^Auto Update \t\t  =0/Auto Update \t\t  =1/' "$DIR/hvn.ini"
}

# A close request: the program must end within SECONDS, its archive kept.
close_within() { # WHAT SECONDS KEPT_ARCHIVE
  local t0 t1
  t0=$(date +%s.%N)
  python3 "$E2E_HERE/wm_close.py" "$WID" || fail "could not send the close request"
  for _ in $(seq 200); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
  t1=$(date +%s.%N)
  kill -0 "$PID" 2>/dev/null && fail "$1: the window did not close within 20 s of the request"
  wait "$PID"
  PID=
  awk -v a="$t0" -v b="$t1" -v s="$2" 'BEGIN { exit !(b - a < s) }' ||
    fail "$1: closing took $(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }') s"
  echo "$1: closed $(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }') s after the request"
  cmp -s "$DIR/hvn_stationlist.zip" "$3" || fail "$1: the kept archive was replaced"
}

# A server that trickles the archive: closed as soon as the window shows.
start_server trickle
start_program
close_within trickle 15 "$DIR/kept.zip"
stop_server

# A name lookup that never answers (a preloaded getaddrinfo that sleeps for a minute): the
# archive fetch gives up at its deadline and the kept archive is used; it names stations to
# fetch, whose lookups hang as well, and the window still closes at once.
cp "$DIR/srv/good.zip" "$DIR/hvn_stationlist.zip"
update_from http://slow-lookup.invalid/hvn/
# A sanitizer build's runtime must come first among the preloaded libraries.
preload="$(ldd "$BIN" | awk '/lib[at]san/ { printf "%s ", $3 }')$SHIM"
HVN_SLOW_LOOKUP_HOST=slow-lookup.invalid HVN_SLOW_LOOKUP_MARK=$DIR/asked \
  PROGRAM_PRELOAD=$preload start_program
lookups() { [ -s "$DIR/asked" ] && [ "$(wc -l <"$DIR/asked")" -ge "$1" ]; }
eventually lookups 1 || fail "the program never looked the update server's name up"
t0=$(date +%s.%N)
for _ in $(seq 200); do lookups 2 && break; sleep 0.1; done
lookups 2 || fail "the archive's name lookup held the program for more than 20 s"
gave_up=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
echo "lookup: the archive fetch gave up after $gave_up s"
awk -v s="$gave_up" 'BEGIN { exit !(s < 12) }' || fail "the fetch gave up only after $gave_up s"
grep -q "^halvane: station list http://slow-lookup.invalid/hvn/hvn_stationlist.zip: ." \
  "$DIR/out.log" || fail "no line on stderr says why the archive was not fetched"
close_within lookup 3 "$DIR/srv/good.zip"
cp "$DIR/kept.zip" "$DIR/hvn_stationlist.zip"

# An error page is no archive: the kept one stays, the update still uses it.
start_server error
start_program
eventually has_text 2 || fail "no list after an error page"
close_and_wait
cmp -s "$DIR/hvn_stationlist.zip" "$DIR/kept.zip" || fail "an error page replaced the kept archive"
grep -q $'^Last Update \t\t  =[0-9]' "$DIR/hvn.ini" || fail "the update did not run"
stop_server

# A good archive on the server's port, hostile keys among the stations.
start_server good
start_program
done_fetching() { [ -f "$DIR/stations/g.hvn" ] && has_text 7; }
eventually done_fetching || fail "the served stations did not arrive"
close_and_wait
cmp -s "$DIR/hvn_stationlist.zip" "$DIR/srv/good.zip" || fail "the served archive was not kept"
for n in a b c d e f g; do
  cmp -s "$DIR/stations/$n.hvn" "$DIR/srv/stations/$n.hvn" || fail "$n.hvn lost the server's bytes"
done
for n in .download-0.part .download-1.part .download-2.part .hvn-zip-Ab12Cd; do
  [ ! -e "$DIR/stations/$n" ] || fail "the hostile key $n was fetched"
done
[ ! -e "$DIR/stations/.hvn-tmp" ] || fail "the temporary folder was left in stations/"
echo "1 passed, 0 failed"

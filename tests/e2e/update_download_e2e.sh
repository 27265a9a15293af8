#!/usr/bin/env bash
# The monthly update at start-up fetching 1,500 station files from a local server: never
# more than four transfers reach the server at once, and the window answers a press on
# the back button while they run: the downloads end there, every file fetched is a whole
# station file, no temporary file is left and the list shows the rebuilt catalogue.
# Usage: update_download_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"
FILES=1500
SERVER=
trap '[ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; e2e_cleanup' EXIT

prepare_dir
python3 - "$DIR" "$FILES" <<'PY'
import os, shutil, sys, zipfile
base, count = sys.argv[1], int(sys.argv[2])
root = f"{base}/www/hvn"
os.makedirs(f"{root}/stations")
for i in range(count):
    with zipfile.ZipFile(f"{root}/stations/s{i}.hvn", "w") as z:
        z.writestr("station_id.txt", f"Fetched {i}\r\nhttp://example.invalid\r\n{i % 25}\r\n"
                   "1\r\nhttp://127.0.0.1:9/none")
        z.writestr("logo.png", os.urandom(3000))
# The three local stations are current: the list names them with their sizes.
lines = [f"st{i}.hvn={os.path.getsize(f'{base}/stations/st{i}.hvn')}" for i in range(3)]
lines += [f"s{i}.hvn={os.path.getsize(f'{root}/stations/s{i}.hvn')}" for i in range(count)]
with zipfile.ZipFile(f"{root}/hvn_stationlist.zip", "w") as z:
    z.writestr("hvn_stationlist.txt", "\n".join(lines) + "\n")
PY
# Answers 20 ms late: the transfers overlap at the server and each of them is counted.
python3 "$E2E_HERE/update_server.py" "$DIR/www" "$DIR/port" 110 127.0.0.1 0 20 &
SERVER=$!
eventually test -s "$DIR/port" || fail "the server did not start"
BASE=http://127.0.0.1:$(cat "$DIR/port")
served() { curl -s "$BASE/_stats" | python3 -c "import json,sys; print(json.load(sys.stdin)['$1'])"; }
write_settings 0 0 "" 0 0 0 154
sed -i -e "s#^Update Server.*#Update Server\t\t  =$BASE/hvn/\r#" \
  -e "s#^Auto Update .*#Auto Update \t\t  =1\r#" "$DIR/hvn.ini"
start_program

started() { [ "$(served served)" -ge 100 ]; }
eventually started || fail "the downloads did not start ($(served served) files)"
click 261 138
ended() {
  local before
  before=$(served served)
  sleep 0.5
  [ "$(served served)" = "$before" ]
}
eventually ended || fail "the downloads went on after the back button"
fetched=$(served served)
[ "$fetched" -lt "$FILES" ] || fail "the press was answered only after all $FILES files"
[ "$(served max_in_flight)" -le 4 ] || fail "$(served max_in_flight) transfers at the server at once"
eventually has_text 0 || fail "the list does not show the catalogue after the update"

ls -A "$DIR/stations" | grep -v '^s[t]*[0-9]*\.hvn$' && fail "a temporary file was left"
on_disk=$(ls "$DIR/stations" | grep -c '^s[0-9]*\.hvn$')
# A transfer under way at the press is cut off, its file not written.
[ "$on_disk" -le "$fetched" ] && [ "$on_disk" -ge $((fetched - 4)) ] ||
  fail "$on_disk files on disk for $fetched answered"
modes=$(stat -c %a "$DIR"/stations/s[0-9]*.hvn | sort -u)
[ "$modes" = "$(printf '%o' $((0666 & ~$(umask))))" ] || fail "fetched files have modes $modes"
python3 - "$DIR/stations" "$DIR/www/hvn/stations" <<'PY' || fail "a fetched file differs from the server's"
import filecmp, os, sys
local, remote = sys.argv[1], sys.argv[2]
bad = [n for n in os.listdir(local) if n.startswith("s") and not n.startswith("st")
       and not filecmp.cmp(f"{local}/{n}", f"{remote}/{n}", shallow=False)]
sys.exit(1 if bad else 0)
PY
close_and_wait
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# The program's station-file downloads against curl --parallel --parallel-max 4, in one run
# from two local servers (tests/e2e/update_server.py: the standard library's plain threaded
# http.server, then our own): the same 1,000 station files of about 5 KB. Throughput is
# taken at the server, from the first station request to the last answer, and so is the
# most transfers in flight at once; the program updates at start-up. Then a press on the
# back button during a 20,000-file update: the time from the press until the program has
# dropped its connections (the server sees the last one close).
# Run by tools/bench.sh (needs HALVANE_BUILD_DIR, DISPLAY and PULSE_SERVER).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
BIN=${HALVANE_BUILD_DIR:?}/src/halvane
[ -x "$BIN" ] || BIN=$HALVANE_BUILD_DIR/halvane
FILES=${HALVANE_BENCH_FILES:-1000}
PRESS_FILES=$((FILES * 20))
# HVN_UPDATE_DIR=/dev/shm takes the disk out of the comparison (ext4's cost of new files
# swings with what was deleted in the last minute), leaving the network and each side's own work.
work=$(mktemp -d "${HVN_UPDATE_DIR:-/tmp}/hvn-bench-update.XXXXXX")
servers=()
prog=
cleanup() {
  [ -n "$prog" ] && kill "$prog" 2>/dev/null
  for server in "${servers[@]}"; do kill "$server" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# Station files of about 5 KB (a description and an incompressible logo) and the list
# archive naming the first N of them.
python3 - "$work/www/hvn" "$PRESS_FILES" <<'PY'
import io, os, sys, zipfile
root, count = sys.argv[1], int(sys.argv[2])
os.makedirs(root + "/stations")
def station(i):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("station_id.txt", f"Bench {i}\r\nhttp://example.invalid\r\n{i % 25}\r\n"
                   "1\r\nhttp://127.0.0.1:9/none")
        z.writestr("logo.png", os.urandom(4800))
    return out.getvalue()
for i in range(count):
    with open(f"{root}/stations/s{i}.hvn", "wb") as f:
        f.write(station(i))
for n in sorted({count, count // 20}):
    lines = "".join(f"s{i}.hvn={os.path.getsize(f'{root}/stations/s{i}.hvn')}\n"
                    for i in range(n))
    with zipfile.ZipFile(f"{root}/list{n}.zip", "w") as z:
        z.writestr("hvn_stationlist.txt", lines)
PY
# Two servers: our own (HTTP/1.1, keep-alive, files from memory) and the standard
# library's plain threaded file server (HTTP/1.0: a connection per file).
start_server() { # MODE: sets base
  python3 "$here/../../tests/e2e/update_server.py" "$work/www" "$work/port.$1" 1800 \
    127.0.0.1 0 0 "$1" &
  servers+=($!)
  for _ in $(seq 100); do [ -s "$work/port.$1" ] && break; sleep 0.1; done
  [ -s "$work/port.$1" ] || { echo "update: the $1 server did not start"; exit 1; }
  base=http://127.0.0.1:$(cat "$work/port.$1")
}
sv() { curl -s "$base/_stats" | python3 -c "import json,sys; print(json.load(sys.stdin)['$1'])"; }
rate() { python3 -c "print(f'{$1 / ($(sv last) - $(sv first)):.0f}')"; }
cpu() { awk '{ printf "%.2f", ($14 + $15) / 100 }' "/proc/$1/stat"; }

# curl: the same files, four at a time. Every run writes into a folder of its own and
# nothing is deleted until the end: ext4 makes new files slow for a while after many were
# deleted, which would count against whichever side ran next.
run_curl() { # RUN
  curl -s "$base/_reset" >/dev/null
  mkdir "$work/curl$1"
  /usr/bin/time -f "%U %S" -o "$work/curl.time" curl --parallel --parallel-max 4 -s \
    "$base/hvn/stations/s[0-$((FILES - 1))].hvn" -o "$work/curl$1/s#1.hvn" 2>/dev/null
  curl_rate=$(rate "$FILES")
  curl_max="$(sv max_in_flight) requests, $(sv max_open) connections"
  curl_cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/curl.time")
}

# The program at start-up with a monthly update due, an empty "stations/" and the list.
run_program() { # LISTFILES RUN SECONDS COUNT: watches for COUNT files served within SECONDS
  local at=$work/prog$2
  mkdir -p "$at/stations" "$at/db"
  cp "$BIN" "$at/halvane"
  cp "$work/www/hvn/list$1.zip" "$work/www/hvn/hvn_stationlist.zip"
  printf '%s\r\n' "Halvane" $'Release\t\t\t  =50' $'Build\t\t\t  =060813 (Linux TEST BUILD)' \
    $'Stationlist \t\t  =0' $'Language      \t\t  =4' $'Skin      \t\t  =' \
    $'Buffersize     \t\t  =0' $'Volume        \t\t  =100' $'Save Station\t\t  =0' \
    $'Last Station\t\t  =' $'Save Window Position\t  =0' $'Window PositionX\t  =0' \
    $'Window PositionY\t  =0' $'Start Minimized  \t  =0' $'Force OpenGL Driver \t  =1' \
    $'Show Errors\t\t  =1' $'Show Spectrum Analyser\t  =1' $'Window Height\t\t  =154' \
    $'Update Server\t\t  ='"$base/hvn/" $'Update Homepage\t\t  =http://127.0.0.1:9/' \
    $'Auto Update \t\t  =1' $'Last Update \t\t  =' $'Custom Window Color\t  =0' \
    $'Background Color    \t  =192;192;192;' $'Label Color     \t  =-1;-1;-1;' \
    >"$at/hvn.ini"
  curl -s "$base/_reset" >/dev/null
  # The watch is in place before the program starts, and nothing else is started until
  # the files are in: curl's runs have no command beside them, and a poll of the server or
  # a search for the window every 50 to 100 ms slowed this server to about 0.6 of its pace.
  curl -s -m $(($3 + 5)) "$base/_wait?served=$4&timeout=$3" -o "$work/served.json" &
  watch=$!
  "$at/halvane" >"$at.log" 2>&1 &
  prog=$!
}
served() { # COUNT: waits for the watch started with the program
  wait "$watch" || true
  [ "$(python3 -c "import json; print(json.load(open('$work/served.json'))['served'])" \
    2>/dev/null || echo 0)" -ge "$1" ]
}
find_window() {
  wid=
  for _ in $(seq 300); do
    wid=$(xdotool search --name "^ Halvane$" 2>/dev/null | sort | head -1 || true)
    [ -n "$wid" ] && return 0
    sleep 0.1
  done
  return 1
}
stop_program() {
  kill "$prog" 2>/dev/null || true
  wait "$prog" 2>/dev/null || true
  prog=
}

# Three rounds of curl, then the program; each figure is the median of its three runs.
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
compare() { # MODE TITLE
  local run ratio curl_median prog_median
  start_server "$1"
  for run in $(seq "$ROUNDS"); do
    run_curl "$1$run"
    curl_rates[$run]=$curl_rate
    curl_cpus[$run]=$curl_cpu
    run_program "$FILES" "$1$run" 300 "$FILES"
    served "$FILES" || echo "update: the program fetched only $(sv served) files"
    sleep 0.3
    prog_cpu[$run]=$(cpu "$prog")
    prog_rate[$run]=$(rate "$FILES")
    prog_max="$(sv max_in_flight) requests, $(sv max_open) connections"
    prog_files[$run]=$(ls "$work/prog$1$run/stations" | grep -c '\.hvn$' || true)
    stop_program
  done
  curl_median=$(median "${curl_rates[@]}")
  prog_median=$(median "${prog_rate[@]}")
  ratio=$(python3 -c "print(f'{$prog_median / $curl_median:.2f}')")
  printf '%s:\n' "$2"
  printf '  curl --parallel-max 4: %6s files/s median (%s), at most %s at the server, CPU %s s\n' \
    "$curl_median" "${curl_rates[*]}" "$curl_max" "${curl_cpus[*]}"
  printf '  halvane update:        %6s files/s median (%s), at most %s at the server, CPU %s s (whole process), %s files on disk\n' \
    "$prog_median" "${prog_rate[*]}" "$prog_max" "${prog_cpu[*]}" "${prog_files[*]}"
  printf '  ratio halvane / curl: %s (goal >= 0.9); at most 4 at the server\n' "$ratio"
}
ROUNDS=3
printf 'update: %d station files of %d bytes from local servers, %d rounds\n' "$FILES" \
  "$(wc -c <"$work/www/hvn/stations/s0.hvn")" "$ROUNDS"
compare plain "plain threaded server (http.server, HTTP/1.0)"
compare own "own server (HTTP/1.1, keep-alive, files in memory)"

# A press on the back button while 20,000 files download.
run_program "$PRESS_FILES" press 120 200
if served 200 && find_window; then
  at_press=$(sv served)
  pressed=$(python3 -c 'import time; print(time.time())')
  xdotool mousemove --window "$wid" 261 138 click 1
  sleep 2
  latency=$(python3 -c "print(f'{($(sv last_close) - $pressed) * 1000:.0f}')")
  printf '  back pressed after %s of %d files: connections dropped %s ms later (goal < 100 ms), %s files answered in all\n' \
    "$at_press" "$PRESS_FILES" "$latency" "$(sv served)"
else
  echo "  press: the update did not start"
fi
stop_program

#!/usr/bin/env bash
# Start-up with hostile station files beside good ones: peak memory and CPU time of the
# real program until its list is loaded, with 200 good stations alone (the reference)
# and with the same 200 plus three ZIP bombs (descriptions inflating to 256 MB).
# Needs DISPLAY and PULSE_SERVER (tools/bench.sh starts them) and HALVANE_BUILD_DIR.
set -euo pipefail
BIN=${HALVANE_BUILD_DIR:-build-release}/halvane
WORK=$(mktemp -d /tmp/hvn-bench-files.XXXXXX)
PID=
trap '[ -n "$PID" ] && kill "$PID" 2>/dev/null; rm -rf "$WORK"' EXIT

setup() { # DIR BOMBS
  mkdir -p "$1/stations" "$1/db"
  cp "$BIN" "$1/halvane"
  python3 - "$1" "$2" <<'PY'
import sys, zipfile
base, bombs = sys.argv[1], int(sys.argv[2])
for i in range(200):
    with zipfile.ZipFile(f"{base}/stations/s{i:03}.hvn", "w") as z:
        z.writestr("station_id.txt", f"Station {i}\r\nhttp://h\r\n{i % 25}\r\n1\r\nhttp://127.0.0.1:9/")
for i in range(bombs):
    with zipfile.ZipFile(f"{base}/stations/bomb{i}.hvn", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("station_id.txt", b"Bomb\r\nhttp://h\r\n1\r\n" + bytes(256 << 20))
PY
}

# Prints "peak_kB cpu_ms" once the program has run its start-up for 4 s.
measure() {
  "$1/halvane" >/dev/null 2>&1 &
  PID=$!
  sleep 4
  local peak ticks
  peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$PID/status")
  ticks=$(awk '{ print $14 + $15 }' "/proc/$PID/stat")
  kill "$PID"
  wait "$PID" 2>/dev/null || true
  PID=
  echo "$peak $((ticks * 1000 / $(getconf CLK_TCK)))"
}

setup "$WORK/ref" 0
setup "$WORK/bombs" 3
read -r ref_peak ref_cpu < <(measure "$WORK/ref")
read -r peak cpu < <(measure "$WORK/bombs")
awk -v a="$peak" -v b="$ref_peak" 'BEGIN { printf "start-up peak memory: %d kB with bombs, reference %d kB, ratio %.2f\n", a, b, a / b }'
awk -v a="$cpu" -v b="$ref_cpu" 'BEGIN { printf "start-up CPU time: %d ms with bombs, reference %d ms, ratio %.2f\n", a, b, (b > 0 ? a / b : 0) }'

#!/usr/bin/env bash
# Idle cost and long-listening memory, run through tools/bench.sh (services up, release build).
#  - the engine by itself: CPU with nothing played and after a stop, and the time from
#    PlaySound to the first sound after idle (tests/bench/audio_idle_bench.cpp);
#  - the whole player under Xvfb: CPU per thread with nothing played and after a stop, read
#    from /proc, and the resident size while a station plays (slope by least squares).
# HVN_IDLE_SECONDS (default 20) is each CPU window; HVN_RSS_SECONDS (default 300; 1800 for the
# half-hour figure) is how long the resident size is followed.
set -uo pipefail # no -e: the shared e2e steps test with commands that may fail
B=${HALVANE_BUILD_DIR:?run it through tools/bench.sh}
SECS=${HVN_IDLE_SECONDS:-20}
RSS_SECS=${HVN_RSS_SECONDS:-300}
HERE=$(cd "$(dirname "$0")/../.." && pwd)

echo "-- engine"
"$B/tests/audio_idle_bench" idle "$SECS"
"$B/tests/audio_idle_bench" first-sound

echo "-- player"
BIN=$B/halvane
. "$HERE/tests/e2e/e2e_lib.sh"
prepare_dir
# Jazz One plays the local MP3 mount (no song titles are ever set on it).
python3 - "$DIR" "$HALVANE_ICECAST_PORT" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/st0.hvn", "w") as z:
    z.writestr("station_id.txt",
               f"Jazz One\r\nhttp://example.invalid\r\n17\r\n1\r\nhttp://127.0.0.1:{sys.argv[2]}/live.mp3")
PY

# CPU seconds (all threads) of $PID over $1 seconds, with the busiest threads.
cpu_window() {
  python3 - "$PID" "$1" <<'PY'
import os, sys, time
pid, secs = sys.argv[1], float(sys.argv[2])
def sample():  # thread id -> (name, seconds on a CPU), from the scheduler's nanoseconds
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            name = open(f"/proc/{pid}/task/{tid}/comm").read().strip()
            out[tid] = (name, int(open(f"/proc/{pid}/task/{tid}/schedstat").read().split()[0]) / 1e9)
        except OSError:
            continue
    return out
a = sample(); time.sleep(secs); b = sample()
used = {t: (b[t][0], b[t][1] - a.get(t, (None, 0))[1]) for t in b}
total = sum(c for _, c in used.values())  # threads that ended meanwhile are not counted
main = used.get(pid, ("main", 0))[1]
engine = [c for n, c in used.values() if n.startswith("hvn-")]
print(f"{total:.3f} {main:.3f} {len(b)} {sum(engine):.3f} {len(engine)}",
      " ".join(f"{n}:{c:.3f}" for _, (n, c) in
               sorted(used.items(), key=lambda x: -x[1][1])[:4] if c > 0))
PY
}

report_cpu() { # LABEL REFERENCE_PER_20S
  local line total main threads engine engineThreads rest ref
  line=$(cpu_window "$SECS")
  read -r total main threads engine engineThreads rest <<<"$line"
  ref=$(awk -v r="$2" -v s="$SECS" 'BEGIN { printf "%.3f", r * s / 20 }')
  printf '%-28s %.3f s CPU in %s s (reference %s, ratio %.2f); main thread %.3f, engine %.3f (%s threads), other %.3f; %s threads; busiest: %s\n' \
    "$1" "$total" "$SECS" "$ref" "$(awk -v a="$total" -v b="$ref" 'BEGIN { print a / b }')" \
    "$main" "$engine" "$engineThreads" \
    "$(awk -v a="$total" -v b="$main" -v c="$engine" 'BEGIN { print a - b - c }')" "$threads" \
    "${rest:-none}"
}

stop_program() {
  kill "$PID" 2>/dev/null || true
  wait "$PID" 2>/dev/null || true
  PID=
}

# Nothing played: no saved station.
write_settings 0 0 "" 0 0 0 154
start_program
sleep 3
report_cpu "player, nothing played:" 0.05
stop_program

# After a stop: the saved station plays at start, then the stop button is pressed.
write_settings 0 1 "Jazz One" 0 0 0 154
start_program
sleep 6
click 121 138
sleep 2
report_cpu "player, after a stop:" 0.10
stop_program

# Long listening: the saved station plays; the resident size every 10 s after a 30 s start.
start_program
sleep 30
python3 - "$PID" "$RSS_SECS" <<'PY'
import sys, time
pid, secs = sys.argv[1], int(sys.argv[2])
def rss():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
t0 = time.monotonic(); xs, ys = [], []
while True:
    t = time.monotonic() - t0
    xs.append(t / 60); ys.append(rss())
    if t >= secs:
        break
    time.sleep(10)
n = len(xs); mx = sum(xs) / n; my = sum(ys) / n
slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
ref = 1024 / 30  # within 1 MB over 30 minutes
# Steady growth, with sudden steps counted apart: the steps seen so far came at the same
# moment in every running player, when other clients of the sound server started.
steps = [b - a for a, b in zip(ys, ys[1:])]
drift = sum(d for d in steps if abs(d) <= 100)
print(f"player, playing {secs} s:       RSS {ys[0]} -> {ys[-1]} kB, slope {slope:.1f} kB/min "
      f"({slope * 30 / 1024:.2f} MB per 30 min; reference {ref:.1f} kB/min, ratio {slope / ref:.2f}); "
      f"steady drift {drift * 60 / secs:.1f} kB/min, steps {sum(steps) - drift} kB")
PY
stop_program

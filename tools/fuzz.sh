#!/usr/bin/env bash
# libFuzzer targets of tests/fuzz (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
#   tools/fuzz.sh build             builds them into $FUZZ_DIR (default build/fuzz)
#   tools/fuzz.sh run NAME SECONDS  runs one target from its seed corpus for SECONDS
#   tools/fuzz.sh all SECONDS       builds, then runs every target in turn (the long run:
#                                   tools/fuzz.sh all 600)
# Without clang it says so and exits 77 (the test command counts that as skipped).
# A target that crashes leaves its input in $FUZZ_DIR/crashes and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_DIR=${FUZZ_DIR:-$PWD/build/fuzz}

# The targets write their input to a file on every run: memory-backed when there is one.
scratch_root() { if [ -d /dev/shm ] && [ -w /dev/shm ]; then echo /dev/shm; else echo /tmp; fi; }

have_clang() { command -v clang++ >/dev/null 2>&1 && command -v clang >/dev/null 2>&1; }

build() {
  have_clang || { echo "fuzz: clang not found, fuzz targets not built"; return 77; }
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_DIR" -DHALVANE_FUZZ=ON -DHALVANE_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$FUZZ_DIR" -j"$(nproc)" --target fuzz_targets >/dev/null
}

run() { # run NAME SECONDS
  local name=$1 seconds=$2 bin="$FUZZ_DIR/tests/fuzz/$1_fuzz"
  if ! have_clang || [ ! -x "$bin" ]; then
    echo "fuzz: $name not built (clang missing or tools/fuzz.sh build not run): skipped"
    return 77
  fi
  local seeds="$PWD/tests/fuzz/corpus/$name" work; work=$(mktemp -d "$(scratch_root)/hvn-fuzz-run.XXXXXX")
  mkdir -p "$work/corpus" "$FUZZ_DIR/crashes"
  # New inputs go to the scratch corpus (the first folder); the seeds are only read.
  local rc=0
  (cd "$work" && TMPDIR="$work" "$bin" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
     -max_len=65536 -close_fd_mask=1 -print_final_stats=1 \
     -artifact_prefix="$FUZZ_DIR/crashes/$name-" \
     "$work/corpus" "$seeds" >"$work/log" 2>&1) || rc=$?
  # The closing figures: executions, coverage, corpus.
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$work/log" |
    sed "s/^/fuzz $name: /" || true
  if [ $rc -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz $name: FAILED (input kept in $FUZZ_DIR/crashes)"
  fi
  rm -rf "$work"
  return $rc
}

case "${1:-}" in
  build) build ;;
  run) [ $# -eq 3 ] || { echo "usage: tools/fuzz.sh run NAME SECONDS" >&2; exit 2; }
       run "$2" "$3" ;;
  all) build
       failed=0
       for src in tests/fuzz/*_fuzz.cpp; do
         name=$(basename "$src" _fuzz.cpp)
         run "$name" "${2:-20}" || failed=$((failed + 1))
       done
       [ $failed -eq 0 ] ;;
  *) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac

#!/usr/bin/env bash
# Time to ready per bitrate and stream buffer size, against stations of the benchmark's own
# that send at real-time pace with no burst (run by tools/bench.sh ready).
set -euo pipefail
"${HALVANE_BUILD_DIR:-build-release}/tests/ready_bench" "$@"

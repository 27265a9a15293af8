#!/usr/bin/env bash
# Benchmarks, side by side with their references in one run: builds in release mode into
# build-release/ (or $BUILD_DIR), installs what the comparisons need, starts the local services
# and runs every tools/bench/*.sh (or only those named: tools/bench.sh player update).
# Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench
export BUILD_DIR=${BUILD_DIR:-build-release}
tools/build.sh -DCMAKE_BUILD_TYPE=Release
. tools/test-services.sh
trap stop_all EXIT
start_all
export HALVANE_BUILD_DIR=$PWD/$BUILD_DIR
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=($(ls tools/bench/*.sh 2>/dev/null | xargs -rn1 basename | sed 's/\.sh$//'))
for part in "${parts[@]}"; do
  echo "== $part"
  bash "tools/bench/$part.sh"
done

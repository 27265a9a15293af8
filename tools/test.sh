#!/usr/bin/env bash
# Installs what is missing, builds, starts the test services and runs every test.
# Extra arguments go to ctest (for example -L core, -R Settings).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
BUILD_DIR=${BUILD_DIR:-build} tools/build.sh ${HALVANE_CMAKE_ARGS:-}
# The fuzz targets (clang) run as tests too; without clang they are reported as skipped.
export FUZZ_DIR=$PWD/${BUILD_DIR:-build}/fuzz
tools/fuzz.sh build || [ $? -eq 77 ]
. tools/test-services.sh
trap stop_all EXIT
start_all
export HALVANE_TEST_SERVICES=1
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"${CTEST_JOBS:-4}" --timeout 300 "$@"

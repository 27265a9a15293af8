#!/usr/bin/env bash
# Installs what is missing, builds, starts the test services and runs every test.
# Extra arguments go to ctest (for example -L core, -R Settings).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
BUILD_DIR=${BUILD_DIR:-build} tools/build.sh ${HALVANE_CMAKE_ARGS:-}
# The fuzz targets (clang) run as tests too; without clang they are reported as skipped.
# A sanitizer build leaves them out: they are sanitized builds of their own already.
export FUZZ_DIR=$PWD/${BUILD_DIR:-build}/fuzz
case "${HALVANE_CMAKE_ARGS:-}" in
  *HALVANE_SANITIZE*) echo "fuzz targets not built for a sanitizer build" ;;
  *) tools/fuzz.sh build || [ $? -eq 77 ] ;;
esac
# Sanitizer reports fail the test that made them; the suppressions name library caches
# and a race inside libpulse only.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-suppressions=$PWD/tools/tsan.supp:halt_on_error=1:second_deadlock_stack=1}
# Mesa's software renderer draws with worker threads of its own, uninstrumented, whose
# hand-over ThreadSanitizer cannot see: under it the renderer draws on the calling thread.
case "${HALVANE_CMAKE_ARGS:-}" in *HALVANE_SANITIZE=thread*) export LP_NUM_THREADS=0 ;; esac
. tools/test-services.sh
trap stop_all EXIT
start_all
export HALVANE_TEST_SERVICES=1
cd "${BUILD_DIR:-build}"
rc=0
ctest --output-on-failure -j"${CTEST_JOBS:-4}" --timeout 300 "$@" || rc=$?
# ctest shows nothing of a skipped test: its reason ("SKIP: ...") is in the log.
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 } /^SKIP: / { print "skipped " name ": " substr($0, 7) }' \
  Testing/Temporary/LastTest.log 2>/dev/null || true
exit $rc

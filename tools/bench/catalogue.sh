#!/usr/bin/env bash
# A 10,000-station catalogue: LoadStationCatalogue with 2,000 rating files, FillStationList
# in every category, and the time from the real program's start until that list is shown.
# Run by tools/bench.sh (needs HALVANE_BUILD_DIR, DISPLAY and PULSE_SERVER).
set -euo pipefail
B=${HALVANE_BUILD_DIR:?}
status=0
"$B/tests/catalogue_bench" || status=$?
"$B/tests/app_bench" || status=$?
exit $status

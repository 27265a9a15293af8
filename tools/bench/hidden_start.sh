#!/usr/bin/env bash
# CPU time of a hidden start ("Start Minimized" on, "Auto Update" on, updated this month,
# nothing to play) over 10 s, beside an idle X client (xmessage) over the same 10 s and
# the 100 ms the hidden start may use. Run by tools/bench.sh (services and DISPLAY set).
set -euo pipefail
BIN=${HALVANE_BUILD_DIR:-build-release}/halvane
DIR=$(mktemp -d /tmp/hvn-bench-hidden.XXXXXX)
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$DIR"' EXIT
cp "$BIN" "$DIR/halvane"
mkdir "$DIR/stations" "$DIR/db"
# The settings are read by line position: every other line at its default.
printf '%s\r\n' "Halvane" $'Release\t\t\t  =50' $'Build\t\t\t  =060813 (Linux TEST BUILD)' \
  $'Stationlist \t\t  =0' $'Language      \t\t  =4' $'Skin      \t\t  =' \
  $'Buffersize     \t\t  =0' $'Volume        \t\t  =100' $'Save Station\t\t  =0' \
  $'Last Station\t\t  =' $'Save Window Position\t  =0' $'Window PositionX\t  =0' \
  $'Window PositionY\t  =0' $'Start Minimized  \t  =1' $'Force OpenGL Driver \t  =1' \
  $'Show Errors\t\t  =1' $'Show Spectrum Analyser\t  =1' $'Window Height\t\t  =154' \
  $'Update Server\t\t  =http://127.0.0.1:9/hvn/' $'Update Homepage\t\t  =http://127.0.0.1:9/' \
  $'Auto Update \t\t  =1' $'Last Update \t\t  ='"$(date +'%Y %m')" $'Custom Window Color\t  =0' \
  $'Background Color    \t  =192;192;192;' $'Label Color     \t  =-1;-1;-1;' >"$DIR/hvn.ini"

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
"$DIR/halvane" >/dev/null 2>&1 &
PIDS+=($!)
xmessage -name hvn-bench-idle idle >/dev/null 2>&1 &
PIDS+=($!)
sleep 3 # start-up
a0=$(ticks "${PIDS[0]}")
b0=$(ticks "${PIDS[1]}")
sleep 10
hz=$(getconf CLK_TCK)
a=$((($(ticks "${PIDS[0]}") - a0) * 1000 / hz))
b=$((($(ticks "${PIDS[1]}") - b0) * 1000 / hz))
echo "hidden start, CPU time over 10 s: $a ms (limit 100 ms, ratio $(awk -v a="$a" 'BEGIN { printf "%.2f", a / 100 }'))"
echo "idle X client (xmessage), CPU time over 10 s: $b ms"

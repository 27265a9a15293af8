#!/usr/bin/env bash
# The whole player beside `mpv --no-video` on the same local 128 kb/s MP3 stream, in one
# run on the same PulseAudio server: bars and meters, graph, logo only, the station list
# shown, and stopped. CPU (utime + stime of all threads) and peak memory, with ratios.
# Run by tools/bench.sh (release build, services started); PLAYER=path measures another
# build of the program in its place.
set -euo pipefail
"$HALVANE_BUILD_DIR/tests/playback_bench" ${PLAYER:+"$PLAYER"}

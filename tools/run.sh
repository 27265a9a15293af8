#!/usr/bin/env bash
# Installs what is missing, builds, installs into out/ and starts the player.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh run
tools/build.sh
cmake --install build --prefix out >/dev/null
exec out/halvane "$@"

#!/usr/bin/env bash
# Installs the Debian packages that are missing; does nothing when all are there.
# Usage: tools/deps.sh [build|run|test|bench]...   (build is always included)
#        tools/deps.sh --list SET...   prints the sets' packages, one a line, and installs nothing
set -euo pipefail
list=0
[ "${1:-}" = --list ] && { list=1; shift; }
build=(cmake g++ make pkg-config libfltk1.3-dev libcurl4-openssl-dev libminizip-dev zlib1g-dev
       libpng-dev libjpeg-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
       libpulse-dev libasound2-dev libfftw3-dev libgtest-dev libgl-dev libx11-dev libxxf86vm-dev libxext-dev
       libopengl-dev libxft-dev)
run=(libasound2-plugins fonts-dejavu-extra)
test=(xvfb xdotool x11-utils openssl mesa-utils imagemagick pulseaudio pulseaudio-utils alsa-utils
      libasound2-plugins fonts-dejavu-extra icecast2 ffmpeg sox curl procps python3 clang
      libclang-rt-14-dev openbox iproute2 unzip)
bench=(mpv time)
want=("${build[@]}")
for set in "$@"; do
  case "$set" in
    build) ;;
    run) want+=("${run[@]}") ;;
    test) want+=("${test[@]}") ;;
    bench) want+=("${test[@]}" "${bench[@]}") ;;
    *) echo "deps.sh: unknown set $set" >&2; exit 2 ;;
  esac
done
if [ $list = 1 ]; then
  printf '%s\n' "${want[@]}" | sort -u
  exit 0
fi
missing=()
for p in "${want[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

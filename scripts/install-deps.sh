#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the demo need.
# Idempotent: packages already present are left as they are. Further package
# names given as arguments are installed the same way (the benchmark's).
set -euo pipefail

packages=(
  build-essential cmake pkg-config libgtest-dev
  libsdl2-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  ffmpeg xvfb xauth x11-apps xdotool imagemagick
  mutter openbox
  clang libclang-rt-14-dev
  libjpeg-turbo-progs
  libjpeg62-turbo-dev
  libx11-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

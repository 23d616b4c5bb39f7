#!/usr/bin/env bash
# Installs what the benchmark needs: the project's own build dependencies and
# the comparison viewers with the X tools the harness drives them with.
# Idempotent: packages already present are left as they are.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bash "$here/../scripts/install-deps.sh"

packages=(
  feh mpv
  xvfb xauth x11-apps xdotool imagemagick libjpeg-turbo-progs
  libx11-dev libxtst-dev
  ffmpeg python3 g++
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

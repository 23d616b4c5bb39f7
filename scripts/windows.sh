#!/usr/bin/env bash
# The Windows x86 build: installs the cross compiler and Wine, cross-builds
# tarnplayer.exe and the display-free unit suites, and runs them under Wine.
#
#   scripts/windows.sh install   only the Debian packages (idempotent)
#   scripts/windows.sh build     install, then cross-build into build-win/
#   scripts/windows.sh test      build, then the unit suites and the smoke
#                                test under Wine (the default)
set -euo pipefail
cd "$(dirname "$0")/.."

step="${1:-test}"
build_dir="${TARN_WINDOWS_BUILD_DIR:-build-win}"
jobs="${TARN_JOBS:-2}"

install_packages() {
  local packages=(g++-mingw-w64-i686-posix mingw-w64-tools wine wine32 libgtest-dev
                  xvfb xauth x11-apps imagemagick alsa-utils)
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the architecture must be known first.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update
  fi
  local missing=()
  for p in "${packages[@]}"; do
    local name="$p"
    [ "$p" = wine32 ] && name="wine32:i386"
    if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$name")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

install_packages
[ "$step" = install ] && exit 0

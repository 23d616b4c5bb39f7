#!/usr/bin/env bash
# The Windows x86 build: installs the cross compiler and Wine, cross-builds
# tarnplayer.exe, tarnpack.exe and the display-free unit suites, and runs
# them under Wine.
#
#   scripts/windows.sh install   only the Debian packages (idempotent)
#   scripts/windows.sh build     install, then cross-build into build-win/
#   scripts/windows.sh test      build, then the suites and the packaged-show
#                                smoke test under Wine on Xvfb, then the
#                                behaviour suite on a desktop with a window
#                                manager (the default)
#
# TARN_WINDOWS_BUILD_DIR (build-win) and TARN_BUILD_DIR (build: the Linux
# build of the behaviour suite that drives the Windows player) may be changed.
set -euo pipefail
cd "$(dirname "$0")/.."

step="${1:-test}"
build_dir="${TARN_WINDOWS_BUILD_DIR:-build-win}"
linux_build_dir="${TARN_BUILD_DIR:-build}"
jobs="${TARN_JOBS:-2}"

install_packages() {
  # wine32 and the GStreamer plugins Wine's DirectShow and Media Foundation
  # play through, for WAV and AVI (base, good) and for H.264 and AAC in MP4
  # (libav, ugly, bad), are i386 packages: the architecture must be known
  # first. Never pulseaudio: with
  # it and no sound server Wine opens no sound device; ALSA's null device
  # (prepare_wine) plays at the pace of a real one. openbox is the window
  # manager of the behaviour suite.
  local packages=(g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386
                  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386
                  gstreamer1.0-libav:i386 gstreamer1.0-plugins-ugly:i386
                  gstreamer1.0-plugins-bad:i386
                  libgtest-dev cmake ffmpeg xvfb xauth x11-apps imagemagick
                  openbox xdotool)
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  local updated=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update
    updated=1
  fi
  local missing=()
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    [ "$updated" -eq 1 ] || $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

build() {
  cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build_dir" -j"$jobs"
}

# A private Wine prefix (32-bit, no crash dialog) and a home whose ALSA
# configuration is a null device, so that a sound device opens without a
# sound card.
prepare_wine() {
  export WINEPREFIX="$PWD/$build_dir/wine"
  export WINEARCH=win32
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export HOME="$PWD/$build_dir/wine-home"
  mkdir -p "$HOME"
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$HOME/.asoundrc"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    wineserver -w
  fi
}

# Starts Xvfb on a free display; its process id in xvfb_pid.
start_screen() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r display_number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display_number"
}

stop_all() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

install_packages
[ "$step" = install ] && exit 0
build
[ "$step" = build ] && exit 0

# Keeps one Wine session (server and system processes) running for every
# program that follows. The system processes start with the first program
# and inherit its output: started here, they hold /dev/null, not the pipe
# through which CTest reads a suite's output (it would wait for them).
start_session() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  exec 4<>"$fifo"
  rm -f "$fifo"
  wine cmd <&4 >/dev/null 2>&1 &
  wine cmd /c exit >/dev/null 2>&1
}

prepare_wine
trap stop_all EXIT
start_screen
start_session

(cd "$build_dir" && ctest --output-on-failure --timeout 300)

bash tests/windows/packaged_show_smoke.sh "$build_dir/tarnplayer.exe" "$build_dir/tarnpack.exe"

# The behaviour suite brings its own screen, window manager and Wine
# session on the same prefix: this one ends first.
cmake -S . -B "$linux_build_dir" >/dev/null
cmake --build "$linux_build_dir" -j"$jobs" --target wine_behaviour_tests
wineserver -k >/dev/null 2>&1 || true
wineserver -w
exec 4>&-
TARN_WINE_PLAYER="$PWD/$build_dir/tarnplayer.exe" \
  "$linux_build_dir/tests/wine/wine_behaviour_tests"

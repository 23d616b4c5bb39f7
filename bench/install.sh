#!/usr/bin/env bash
# Installs what the benchmark needs: the project's own build dependencies and
# the comparison viewers with the X tools the harness drives them with.
# Idempotent: packages already present are left as they are.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The project's own dependencies, plus the comparison viewers and the X
# tools and headers the harness drives them with.
bash "$here/../scripts/install-deps.sh" \
  feh mpv \
  xvfb xauth x11-apps xdotool imagemagick libjpeg-turbo-progs \
  libx11-dev libxtst-dev \
  ffmpeg python3 g++

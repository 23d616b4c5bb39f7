#!/usr/bin/env bash
# Installs what is needed, builds the player and plays the demo show.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BUILD_TESTS=OFF
cmake --build build -j2 --target tarnplayer tarnpack

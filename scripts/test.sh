#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
(cd build && ctest --output-on-failure -j2 --timeout 600)
# The Debian package: installed with apt, its manual pages, a show packed
# and played by the installed programs; purged again afterwards.
stage_start=$SECONDS
bash scripts/package-check.sh
echo "test: Debian package stage took $((SECONDS - stage_start)) s"

# Hardening. The whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails it. Then every fuzz target
# for a bounded time (FUZZ_SECONDS each), so that each run fuzzes a little.
stage_start=$SECONDS
bash scripts/sanitize.sh
echo "test: sanitizer stage took $((SECONDS - stage_start)) s"
stage_start=$SECONDS
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
echo "test: fuzzing stage took $((SECONDS - stage_start)) s"
# The native Windows x86 build: cross-built with mingw-w64; its suites and a
# packaged show (made by tarnpack.exe from a folder) run under Wine on Xvfb.
stage_start=$SECONDS
bash scripts/windows.sh test
echo "test: Windows stage took $((SECONDS - stage_start)) s"
# The soak's figures, from the plain and the sanitizer build.
for figures in build/soak-figures.txt build-asan/soak-figures.txt; do
  if [ -f "$figures" ]; then
    echo "test: $figures"
    cat "$figures"
  fi
done

#!/usr/bin/env bash
# Builds the whole project and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and runs the test suite there.
# Any report - memory error, leak, undefined behaviour - fails its test and
# so the run.
#
#   scripts/sanitize.sh            every test
#   SANITIZE_CTEST_ARGS="-LE e2e"  extra ctest arguments (e.g. to leave out labels)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${SANITIZE_BUILD_DIR:-build-asan}"

# -O1 with line tables: the reports name files and lines, the build and the
# run stay fast enough for CI.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_SANITIZE=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" >/dev/null
cmake --build "$build" -j2

# halt_on_error / abort: the first report ends the test process, which CTest
# then counts as failed. Leaks are checked when each test process exits;
# what the system's own libraries keep for their lifetime is listed in
# scripts/lsan.supp.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"

(cd "$build" && ctest --output-on-failure -j2 --timeout 900 ${SANITIZE_CTEST_ARGS:-})

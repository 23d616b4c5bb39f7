#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, makes their seed corpora
# and runs each target for a bounded time. A crash, a failed check, a leak,
# a hang past the time-out or memory past the limit fails the run; the input
# that did it is kept in build-fuzz/artifacts/ (see fuzz/README.md).
#
#   scripts/fuzz.sh [seconds per target]      default: $FUZZ_SECONDS or 20
#   FUZZ_TARGETS="profile package_reader"     run only these targets
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-${FUZZ_SECONDS:-20}}"
build="${FUZZ_BUILD_DIR:-build-fuzz}"
targets=(${FUZZ_TARGETS:-package_reader pack_listing profile show_description jpeg_halves})

clang_cxx="$(command -v clang++-14 || command -v clang++ || true)"
clang_c="$(command -v clang-14 || command -v clang || true)"
if [ -z "$clang_cxx" ] || [ -z "$clang_c" ]; then
  echo "fuzz: clang is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$clang_cxx" -DCMAKE_C_COMPILER="$clang_c" >/dev/null
cmake --build "$build" -j2

# The seeds are made afresh; what earlier runs found is kept beside them in
# the working corpus, so that local runs build on each other.
rm -rf "$build/seeds"
"$build/make_seeds" fuzz/seeds "$build/seeds"
mkdir -p "$build/artifacts"

# Leaks fail the run; every sanitizer report stops it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"

status=0
for target in "${targets[@]}"; do
  binary="$build/${target}_fuzzer"
  if [ ! -x "$binary" ]; then
    echo "fuzz: $target: no such target" >&2
    status=1
    continue
  fi
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  max_len=4096
  [ "$target" = package_reader ] || [ "$target" = pack_listing ] || [ "$target" = jpeg_halves ] && max_len=32768
  echo "fuzz: $target for ${seconds}s"
  log="$build/$target.log"
  if "$binary" "$corpus" "$build/seeds/$target" \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} inputs run, ${added:-0} new in the corpus, nothing found"
  else
    echo "fuzz: $target FAILED; its report:" >&2
    grep -v '^ *#[0-9]' "$log" | tail -40 >&2
    ls "$build/artifacts" | grep "^$target-" >&2 || true
    status=1
  fi
done
exit $status

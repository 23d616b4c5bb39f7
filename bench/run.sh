#!/usr/bin/env bash
# The speed benchmark: TarnPlayer against feh and mpv on one generated set of
# 24-megapixel photos, under Xvfb at 1920x1080. Installs what it needs, builds
# TarnPlayer (Release) in build-bench/, measures, and prints a table with the
# ratios TarnPlayer/feh and TarnPlayer/mpv. Figures only: it never fails on a
# number.
#
#   bash bench/run.sh
#
# Knobs (environment): BENCH_REPEATS (start-up runs, default 5),
# BENCH_EXTRACT_REPEATS (extraction rounds, 5), BENCH_SETTLE_MS (time a slide stays before the next key, 1500),
# BENCH_SKIP_INSTALL=1, BENCH_VIEWERS ("tarnplayer feh mpv"), MPV_VO (x11),
# BENCH_FADES (photos in the cross-fade run, 6: five fades).
set -uo pipefail

# The whole script is one block, read in full before it runs, so that editing
# this file during a run does not change the run.
{

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$root/build-bench"
work="$build/bench"
results="$work/results"
repeats="${BENCH_REPEATS:-5}"
extract_repeats="${BENCH_EXTRACT_REPEATS:-5}"
settle_ms="${BENCH_SETTLE_MS:-1500}"
viewers="${BENCH_VIEWERS:-tarnplayer feh mpv}"
mpv_vo="${MPV_VO:-x11}"
photo_count=20

say() { printf '[bench] %s\n' "$*" >&2; }

mkdir -p "$work" "$results"
rm -f "$results"/*.txt
cut -d' ' -f1-3 /proc/loadavg >"$results/load-start.txt"
echo "$mpv_vo" >"$results/mpv-vo.txt"

# --- packages ---------------------------------------------------------------
if [ "${BENCH_SKIP_INSTALL:-0}" != 1 ]; then
  say "installing packages (feh, mpv, Xvfb, build dependencies)"
  bash "$here/install.sh" >"$work/install.log" 2>&1 || { say "package install failed: see $work/install.log"; exit 1; }
fi

# --- build --------------------------------------------------------------------
say "building tarnplayer and tarnpack (Release) in $build"
tarnplayer="$build/tarnplayer"
tarnpack="$build/tarnpack"
tarn_note=""
if cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARN_BUILD_TESTS=OFF >"$work/build.log" 2>&1; then
  cmake --build "$build" -j2 --target tarnplayer >>"$work/build.log" 2>&1 || tarn_note="tarnplayer did not build (see $work/build.log)"
  cmake --build "$build" -j2 --target tarnpack >>"$work/build.log" 2>&1 || say "tarnpack did not build: packages are written by bench/pack_show.py"
else
  tarn_note="cmake configure failed (see $work/build.log)"
fi
[ -x "$tarnpack" ] || tarnpack="$(find "$build" -name tarnpack -type f -perm -u+x 2>/dev/null | head -1)"
if [ -n "$tarn_note" ] || [ ! -x "$tarnplayer" ]; then
  say "TarnPlayer is left out: ${tarn_note:-no tarnplayer binary}"
  viewers="${viewers//tarnplayer/}"
  echo "${tarn_note:-no tarnplayer binary}" >"$results/tarnplayer-missing.txt"
fi

say "building the probe"
probe="$work/benchprobe"
g++ -std=c++20 -O2 -Wall -Wextra -Wshadow -o "$probe" "$here"/probe/*.cpp -lX11 -lXtst || { say "probe build failed"; exit 1; }

# --- photos -------------------------------------------------------------------
say "generating the photo set ($photo_count x 6000x4000, cached in $work/photos)"
bash "$here/make_photos.sh" "$work/photos" "$probe" "$photo_count" || { say "photo generation failed"; exit 1; }
sigs="$work/photos/signatures.txt"
photos=()
for ((i = 0; i < photo_count; i++)); do photos+=("$work/photos/$(printf 'photo-%02d.jpg' "$i")"); done

# --- X server -----------------------------------------------------------------
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work/tmp"
}
trap cleanup EXIT
exec 3>"$work/display.txt"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display.txt" ] && break; sleep 0.1; done
[ -s "$work/display.txt" ] || { say "Xvfb did not start (see $work/xvfb.log)"; exit 1; }
export DISPLAY=":$(head -1 "$work/display.txt")"
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
say "Xvfb on $DISPLAY at 1920x1080x24, no window manager"

# --- TarnPlayer's shows -------------------------------------------------------
show="$work/show"
tmp="$work/tmp"   # TarnPlayer's temporary folder, on the same disk as the packages
mkdir -p "$show" "$tmp"
write_show() {  # write_show FILE ADVANCE_METHOD DELAY_MS [TRANSITION_MS]
  {
    printf '[OPTIONS]\r\nAdvanceMethod=%s\r\nViewOptions=0\r\nSoundOptions=0\r\n' "$2"
    [ -n "${4:-}" ] && printf 'TransitionMilliseconds=%s\r\n' "$4"
    printf 'BackgroundColor=0,0,0\r\nBackgroundSound=\r\nDelayBetweenSlidesInMilliseconds=%s\r\nShowSplash=0\r\n\r\n' "$3"
    printf '[SLIDES]\r\nCount=%d\r\n' "$photo_count"
    for ((i = 0; i < photo_count; i++)); do printf 'Image%d=photo-%02d.jpg\r\nSound%d=\r\n' $((1000 + i)) "$i" $((1000 + i)); done
  } >"$1"
}
make_package() {  # make_package SHOW_DESCRIPTION OUTPUT FILE...
  local ini="$1" out="$2"
  shift 2
  rm -f "$out"
  if [ -n "$tarnpack" ] && [ -x "$tarnpack" ] && (cd "$(dirname "$ini")" && "$tarnpack" create "$ini" -o "$out" --player "$tarnplayer") >>"$work/pack.log" 2>&1 && [ -x "$out" ]; then
    echo tarnpack
  else
    python3 "$here/pack_show.py" "$out" "$tarnplayer" "$ini" "$@" >>"$work/pack.log" 2>&1 && echo pack_show.py
  fi
}
if [[ " $viewers " == *" tarnplayer "* ]]; then
  for p in "${photos[@]}"; do ln -sf "$p" "$show/$(basename "$p")"; done
  write_show "$show/manual.ini" 0 0
  write_show "$show/timed.ini" 2 1000
  write_show "$show/fade.ini" 0 0 1000
  packer=$(make_package "$show/manual.ini" "$show/manual.run" "${photos[@]}")
  make_package "$show/timed.ini" "$show/timed.run" "${photos[@]}" >/dev/null
  make_package "$show/fade.ini" "$show/fade.run" "${photos[@]}" >/dev/null
  say "TarnPlayer packages written by ${packer:-nothing (see $work/pack.log)}"
  echo "${packer:-none}" >"$results/packer.txt"
  # The packages are on the disk before any viewer starts, as a package a
  # person was sent is: the 360 MB just written would otherwise be written
  # back while the first viewers start.
  sync
fi

# --- viewers ------------------------------------------------------------------
# viewer_command NAME MODE: the command line of a viewer showing the photo set,
# MODE "manual" (next photo on its key) or "timed" (one photo a second).
viewer_command() {
  case "$1:$2" in
    tarnplayer:manual) echo "env TMPDIR=$tmp $show/manual.run" ;;
    tarnplayer:timed) echo "env TMPDIR=$tmp $show/timed.run" ;;
    feh:manual) echo "feh --fullscreen --hide-pointer --quiet ${photos[*]}" ;;
    feh:timed) echo "feh --fullscreen --hide-pointer --quiet --slideshow-delay 1 --on-last-slide quit ${photos[*]}" ;;
    mpv:manual) echo "mpv --no-config --fs --vo=$mpv_vo --no-terminal --image-display-duration=inf ${photos[*]}" ;;
    mpv:timed) echo "mpv --no-config --fs --vo=$mpv_vo --no-terminal --image-display-duration=1 ${photos[*]}" ;;
  esac
}
# Each viewer's own keys: TarnPlayer and feh go forward on Right and quit on
# Escape; mpv's default bindings go forward on ENTER (playlist-next) and quit on q.
next_key() { case "$1" in mpv) echo Return ;; *) echo Right ;; esac; }
quit_key() { case "$1" in mpv) echo q ;; *) echo Escape ;; esac; }

probe_run() {  # probe_run OUTPUT COMMAND [probe options] -- viewer...
  local out="$1"
  shift
  rm -rf "${tmp:?}"/* 2>/dev/null
  "$probe" "$@" >"$out" 2>>"$work/viewers.log"
  local line
  line=$(grep -m1 -E '^(error|first_ms|child_ms)' "$out")
  printf '%s\n' "${line:-error no output}"
}

for v in $viewers; do
  for ((n = 1; n <= repeats; n++)); do
    # shellcheck disable=SC2046
    r=$(probe_run "$results/$v-start-$n.txt" start --sigs "$sigs" --quit-key "$(quit_key "$v")" -- $(viewer_command "$v" manual))
    say "$v: start $n/$repeats: $r"
  done
  # shellcheck disable=SC2046
  r=$(probe_run "$results/$v-keys.txt" keys --sigs "$sigs" --count "$photo_count" --settle-ms "$settle_ms" \
        --key "$(next_key "$v")" --quit-key "$(quit_key "$v")" -- $(viewer_command "$v" manual))
  say "$v: keys over the set: $r $(grep -m1 '^latency_ms' "$results/$v-keys.txt")"
  # shellcheck disable=SC2046
  r=$(probe_run "$results/$v-timed.txt" timed --sigs "$sigs" --count "$photo_count" --quit-key "$(quit_key "$v")" \
        -- $(viewer_command "$v" timed))
  say "$v: timed advance: $r $(grep -m1 '^end_ms' "$results/$v-timed.txt")"
done

# TarnPlayer's one-second cross-fades by key over the first photos: distinct
# frames seen on screen per second of fade.
if [[ " $viewers " == *" tarnplayer "* ]]; then
  r=$(probe_run "$results/tarnplayer-fade.txt" fade --sigs "$sigs" --count "${BENCH_FADES:-6}" --settle-ms "$settle_ms" \
        --quit-key Escape -- env TMPDIR="$tmp" "$show/fade.run")
  say "tarnplayer: cross-fades: $r $(grep -m1 '^fade_fps' "$results/tarnplayer-fade.txt")"
fi

# Player mode alone (no package, no extraction), for the start-up breakdown.
if [[ " $viewers " == *" tarnplayer "* ]]; then
  for ((n = 1; n <= repeats; n++)); do
    # The player deletes its show description at close, and the slides unless
    # CLEAN=0; the slides are named by their links in $show, never the cached photos.
    {
      printf '[OPTIONS]\r\nAdvanceMethod=0\r\nShowSplash=0\r\nCLEAN=0\r\n\r\n[SLIDES]\r\nCount=%d\r\n' "$photo_count"
      for ((i = 0; i < photo_count; i++)); do printf 'Image%d=%s/%s\r\n' $((1000 + i)) "$show" "$(basename "${photos[$i]}")"; done
    } >"$show/player-mode.ini"
    r=$(cd "$tmp" && probe_run "$results/tarnplayer-playermode-$n.txt" start --sigs "$sigs" --quit-key Escape -- "$tarnplayer" "$show/player-mode.ini")
    say "tarnplayer: player mode start $n/$repeats: $r"
  done
fi

# --- extraction ---------------------------------------------------------------
if [[ " $viewers " == *" tarnplayer "* ]]; then
  big="$work/extract"
  mkdir -p "$big"
  if [ ! -f "$big/blobs-v1" ]; then
    say "writing 500 MB of incompressible entries"
    rm -f "$big"/blob-*.jpg
    for ((i = 0; i < 10; i++)); do head -c 50000000 /dev/urandom >"$big/blob-$i.jpg"; done
    touch "$big/blobs-v1"
  fi
  blobs=("$big"/blob-*.jpg)
  {
    printf '[OPTIONS]\r\nAdvanceMethod=0\r\nDelayBetweenSlidesInMilliseconds=0\r\nShowSplash=0\r\n\r\n[SLIDES]\r\nCount=%d\r\n' "${#blobs[@]}"
    for ((i = 0; i < ${#blobs[@]}; i++)); do printf 'Image%d=blob-%d.jpg\r\n' $((1000 + i)) "$i"; done
  } >"$big/big.ini"
  make_package "$big/big.ini" "$big/big.run" "${blobs[@]}" >/dev/null
  size=$(stat -c %s "$big/big.run")
  echo "$size" >"$results/extract-bytes.txt"
  # One untimed round first: both copies start from a warm page cache.
  cat "$big/big.run" >"$tmp/copy.bin"
  rm -rf "${tmp:?}"/*
  env -u DISPLAY SDL_VIDEODRIVER=x11 TMPDIR="$tmp" "$probe" extract --timeout-ms 60000 -- "$big/big.run" >/dev/null 2>&1
  for ((n = 1; n <= extract_repeats; n++)); do
    rm -rf "${tmp:?}"/*
    sync
    t0=$(date +%s%N)
    cat "$big/big.run" >"$tmp/copy.bin"
    t1=$(date +%s%N)
    awk -v ns=$((t1 - t0)) 'BEGIN { printf "copy_ms %.2f\n", ns / 1e6 }' >"$results/cat-$n.txt"
    rm -rf "${tmp:?}"/*
    sync
    # The same bytes as the package's entries, one file each as extraction
    # writes them: a file system spends more on ten new files than on one.
    t0=$(date +%s%N)
    cat "$tarnplayer" >"$tmp/entry-player"
    cat "$big/big.ini" >"$tmp/entry-show.ini"
    for ((i = 0; i < ${#blobs[@]}; i++)); do cat "${blobs[$i]}" >"$tmp/entry-$i"; done
    t1=$(date +%s%N)
    awk -v ns=$((t1 - t0)) 'BEGIN { printf "copy_ms %.2f\n", ns / 1e6 }' >"$results/cat-entries-$n.txt"
    rm -rf "${tmp:?}"/*
    sync
    # No display: the extracted player cannot open its window and ends at
    # once; what is timed is the package process up to starting it.
    r=$(env -u DISPLAY SDL_VIDEODRIVER=x11 TMPDIR="$tmp" "$probe" extract --timeout-ms 60000 -- "$big/big.run" 2>>"$work/viewers.log" | tee "$results/extract-$n.txt" | head -1)
    say "extraction $n/$extract_repeats: $r, cat $(cat "$results/cat-$n.txt"), cat per entry $(cat "$results/cat-entries-$n.txt")"
  done
  rm -rf "${tmp:?}"/*
fi

# --- table --------------------------------------------------------------------
say "finished in ${SECONDS} s"
python3 "$here/report.py" "$results" "$root" | tee "$results/table.md"
exit
}

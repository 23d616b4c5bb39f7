#!/usr/bin/env bash
# Installs what is needed, builds the player and tarnpack, makes the demo show
# (pictures, a clip and a tune generated here), packs it into one executable
# and plays it.
#
# With a display ($DISPLAY set) the show plays on it. Without one it plays on
# a virtual screen (Xvfb, 1920x1080) and screenshots are saved to
# out/demo-screenshots/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BUILD_TESTS=OFF
cmake --build build -j2 --target tarnplayer tarnpack

player=$root/build/tarnplayer
tarnpack=$(find "$root/build" -name tarnpack -type f -perm -u+x -print -quit)
[ -x "$player" ] && [ -n "$tarnpack" ] || { echo "demo: the build did not produce tarnplayer and tarnpack" >&2; exit 1; }

# The show, made at build time and packed into one executable.
demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
bash scripts/make-demo-show.sh "$demo/show" 4000 > /dev/null
"$tarnpack" create "$demo/show/show.ini" -o "$demo/TarnDemo" --player "$player"
echo "demo: packed the show into $demo/TarnDemo"

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: playing on $DISPLAY (Escape ends the show)"
  exec "$demo/TarnDemo"
fi

# No display: a virtual screen, and screenshots of what it shows.
shots=${1:-$root/out/demo-screenshots}
rm -rf "$shots"
mkdir -p "$shots"
work=$(mktemp -d)
xvfb_pid=""
show_pid=""
cleanup() {
  [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -br > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "demo: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
echo "demo: no display; playing on a virtual screen ($DISPLAY, 1920x1080)"

shoot() {
  xwd -root -silent | convert xwd:- "$shots/$1.png" 2>/dev/null || true
}

mkdir -p "$work/tmp"
TMPDIR=$work/tmp "$demo/TarnDemo" &
show_pid=$!
start=$(date +%s.%N)
elapsed() { awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { printf "%05.1f", n - s }'; }

# Five slides of 4 s and the 5 s splash: about half a minute. A shot every
# second or so; at 6 s the mouse moves (the control bar comes back), at 14 s
# the Left key goes back a slide and at 15 s Right goes forward again.
moved=0; back=0; forward=0
while kill -0 "$show_pid" 2>/dev/null && [ "$(elapsed | cut -d. -f1)" -lt 60 ]; do
  sleep 0.8
  t=$(elapsed | cut -d. -f1)
  t=$((10#$t))
  if [ "$moved" = 0 ] && [ "$t" -ge 6 ]; then xdotool mousemove 900 500; xdotool mousemove 920 520; moved=1; fi
  if [ "$back" = 0 ] && [ "$t" -ge 14 ]; then xdotool key Left; back=1; fi
  if [ "$forward" = 0 ] && [ "$t" -ge 15 ]; then xdotool key Right; forward=1; fi
  shoot "shot-$(elapsed)s"
done
if kill -0 "$show_pid" 2>/dev/null; then
  echo "demo: the show did not end within a minute; stopping it" >&2
  kill "$show_pid"
fi
wait "$show_pid" || true
show_pid=""
left=$(ls -A "$work/tmp")
[ -z "$left" ] && echo "demo: the show ended and left nothing in its temporary folder" \
               || echo "demo: left in the temporary folder: $left"
echo "demo: $(ls "$shots" | wc -l) screenshots in $shots"

#!/usr/bin/env bash
# A Windows package made by tarnpack.exe under Wine from a folder of slides,
# and played under Wine: it extracts into Wine's temporary folder, plays a
# timed show (a picture with its sound, then a clip with
# sound, over a looping background tune), shows each picture fitted to the
# 1024x768 screen, and leaves nothing of the show in the temporary folder
# when it has ended. Then the same again with a temporary folder whose path
# holds a space.
#
#   tests/windows/packaged_show_smoke.sh TARNPLAYER_EXE TARNPACK_EXE
#
# tarnpack.exe packs the tarnplayer.exe beside it; given a player from
# another folder, it is told which.
# Expects WINEPREFIX, a HOME whose ALSA default is a null device, and
# DISPLAY (a 1024x768 screen) to be set by the caller (scripts/windows.sh).
set -euo pipefail

player=$(realpath "$1")
tarnpack=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# The folder of the show, in name order: slide 1, a green picture wider than the screen (fitted to 1024x512 at
# top 128) with a one-second tone. Slide 2: a 1280x720 clip, red on the
# left and blue on the right (fitted to 1024x576 at top 96), with a tone.
mkdir "$work/slides"
ff -f lavfi -i "color=c=0x00c000:s=2000x1000" -frames:v 1 -q:v 2 "$work/slides/1-picture.jpg"
ff -f lavfi -i "sine=frequency=880:d=1" "$work/slides/1-picture.wav"
# A background tune shorter than the show: it loops, and is still playing,
# its file open, when the show closes.
ff -f lavfi -i "sine=frequency=330:d=2" "$work/tune.wav"
ff -f lavfi -i "color=c=red:s=640x720:r=15:d=4" -f lavfi -i "color=c=blue:s=640x720:r=15:d=4" \
   -f lavfi -i "sine=frequency=440:d=4" \
   -filter_complex "[0:v][1:v]hstack=inputs=2,format=yuvj420p[v]" -map "[v]" -map 2:a \
   -c:v mjpeg -q:v 3 -c:a pcm_s16le -shortest "$work/slides/2-clip.avi"
echo "not a slide" >"$work/slides/notes.txt"

player_option=()
[ "$(dirname "$player")" = "$(dirname "$tarnpack")" ] || player_option=(--player "$(winepath -w "$player")")
wine "$tarnpack" create "$(winepath -w "$work/slides")" -o "$(winepath -w "$work/show.exe")" --delay 3000 \
  --music "$(winepath -w "$work/tune.wav")" --write-ini "$(winepath -w "$work/show.ini")" "${player_option[@]}" \
  >"$work/tarnpack.log" 2>&1 || { cat "$work/tarnpack.log" >&2; fail "tarnpack.exe could not pack the folder"; exit 1; }
grep -q 'left out .*notes.txt' "$work/tarnpack.log" || fail "tarnpack.exe did not list the file it left out"
tr -d '\r' <"$work/show.ini" | grep -qx 'Sound1000=slides/1-picture.wav' ||
  fail "the picture's sound is not the first slide's: $(tr -d '\r' <"$work/show.ini")"

wine_temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
# "r g b" of the screenshot's pixel at x y.
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}
# Whether the pixel at x y is the named colour (within what JPEG keeps).
is() {
  local r g b
  read -r r g b < <(pixel "$1" "$2" "$3")
  case $4 in
    black) [ "$r" -lt 40 ] && [ "$g" -lt 40 ] && [ "$b" -lt 40 ] ;;
    green) [ "$r" -lt 60 ] && [ "$g" -gt 150 ] && [ "$b" -lt 60 ] ;;
    red) [ "$r" -gt 190 ] && [ "$g" -lt 60 ] && [ "$b" -lt 60 ] ;;
    blue) [ "$r" -lt 60 ] && [ "$g" -lt 60 ] && [ "$b" -gt 190 ] ;;
  esac
}
picture_fitted() {
  is "$1" 512 300 green && is "$1" 4 300 green && is "$1" 1019 300 green &&
    is "$1" 512 120 black && is "$1" 512 136 green && is "$1" 512 632 green && is "$1" 512 648 black
}
clip_fitted() {
  is "$1" 256 384 red && is "$1" 768 384 blue && is "$1" 4 384 red && is "$1" 1019 384 blue &&
    is "$1" 256 88 black && is "$1" 256 104 red && is "$1" 256 664 red && is "$1" 256 680 black
}

# Plays the package with the temporary folder `$1` (a Windows path) and
# checks what it shows and what it leaves there.
play() {
  local windows_temp=$1 label=$2
  local temp_folder
  temp_folder=$(winepath -u "$windows_temp" 2>/dev/null)
  mkdir -p "$temp_folder"
  show_files() { find "$temp_folder" -maxdepth 1 -name 'KTZ*' | sort; }
  local before
  before=$(show_files)
  printf '@set "TMP=%s"\r\n@set "TEMP=%s"\r\n@show.exe\r\n' "$windows_temp" "$windows_temp" \
    >"$work/play.bat"

  local started package_pid saw_picture=0 saw_clip=0 extracted="" shot="$work/shot.png"
  started=$(date +%s)
  (cd "$work" && exec timeout 90 wine cmd /c play.bat) >"$work/wine.log" 2>&1 &
  package_pid=$!
  while kill -0 "$package_pid" 2>/dev/null && [ $(($(date +%s) - started)) -lt 60 ]; do
    xwd -root -silent | convert xwd:- "$shot" 2>/dev/null || continue
    if [ "$saw_picture" -eq 0 ] && picture_fitted "$shot"; then
      saw_picture=1
      extracted=$(show_files)
      cp "$shot" "$work/$label-picture-slide.png"
    elif [ "$saw_clip" -eq 0 ] && clip_fitted "$shot"; then
      saw_clip=1
      cp "$shot" "$work/$label-clip-slide.png"
    fi
    sleep 0.3
  done
  wait "$package_pid" || fail "$label: the package process ended with status $?"

  [ "$saw_picture" -eq 1 ] || fail "$label: no screenshot showed the picture fitted to the screen"
  [ "$saw_clip" -eq 1 ] || fail "$label: no screenshot showed the clip fitted to the screen"
  for name in .tarnplayer.exe .show.ini .1-picture.jpg .1-picture.wav .tune.wav .2-clip.avi; do
    grep -q -- "$name\$" <<<"$extracted" ||
      fail "$label: the temporary folder did not hold the extracted $name"
  done
  [ "$(show_files)" = "$before" ] || fail "$label: the show left files behind: $(show_files)"
  echo "packaged show under Wine, $label: picture and clip fitted, temporary folder clean" \
       "($(($(date +%s) - started))s)"
}

play "$wine_temp" "Wine's temporary folder"
# A user name with a space puts one in the temporary folder's path.
play "C:\\users\\Jo Smith\\Temp" "a temporary folder with a space"

if [ -n "${TARN_SMOKE_KEEP:-}" ]; then
  mkdir -p "$TARN_SMOKE_KEEP" && cp "$work"/*.png "$work/wine.log" "$TARN_SMOKE_KEEP"/ 2>/dev/null || true
fi
if [ "$failures" -gt 0 ]; then
  sed -n '1,40p' "$work/wine.log" >&2
  exit 1
fi

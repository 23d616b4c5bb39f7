#!/usr/bin/env bash
# The Debian package as a user meets it: builds it from build/ with cpack,
# checks that its Depends are exactly the libraries the programs load,
# installs it with apt (which must resolve them), renders both manual pages,
# then packs a show with the installed tarnpack and plays it with the
# installed player on a private X server: its first slide on screen, the show
# ending by itself, silently, with nothing left in the temporary folder.
# The package is purged again at the end, whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

[ "$(id -u)" -eq 0 ] || { echo "package-check: must run as root (it installs the package)" >&2; exit 1; }

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tarnplayer tarnpack tarn_manual_pages
rm -f build/tarnplayer_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls "$root"/build/tarnplayer_*.deb)
echo "package-check: built $(basename "$deb")"

work=$(mktemp -d)
xvfb_pid=""
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
finish() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if dpkg-query -W -f='${Status}' tarnplayer 2>/dev/null | grep -q "ok installed"; then
    apt_get purge -y -qq tarnplayer >/dev/null
  fi
  rm -rf "$work"
}
trap finish EXIT
trap 'echo "package-check: failed at line $LINENO" >&2' ERR
fail() { echo "package-check: $*" >&2; exit 1; }

# A rerun starts from no package installed.
if dpkg-query -W -f='${Status}' tarnplayer 2>/dev/null | grep -q "ok installed"; then
  apt_get purge -y -qq tarnplayer >/dev/null
fi
apt_get install -y -qq --no-install-recommends "$deb" >/dev/null
[ -x /usr/bin/tarnplayer ] && [ -x /usr/bin/tarnpack ] || fail "the programs were not installed"
echo "package-check: installed: $(tarnplayer --version), $(tarnpack --version)"

# The manual pages, from the installed package (or from the .deb where this
# system's dpkg leaves manual pages out).
dpkg-deb -x "$deb" "$work/deb"
for page in tarnplayer tarnpack; do
  if [ -f "/usr/share/man/man1/$page.1.gz" ]; then
    text=$(MANWIDTH=80 man -P cat "$page" 2>&1)
  else
    text=$(MANWIDTH=80 man -P cat -l "$work/deb/usr/share/man/man1/$page.1.gz" 2>&1)
  fi
  grep -q "EXIT STATUS" <<<"$text" && grep -q "^NAME" <<<"$text" && grep -q "$page -" <<<"$text" \
    || fail "man $page did not render:"$'\n'"$text"
done
echo "package-check: man tarnplayer and man tarnpack render"

# A show of two slides, red then green, timed, without a splash.
mkdir -p "$work/show" "$work/tmp"
ffmpeg -hide_banner -loglevel error -f lavfi -i color=c=0xDC2828:s=800x600 -frames:v 1 "$work/show/red.jpg"
ffmpeg -hide_banner -loglevel error -f lavfi -i color=c=0x28C828:s=800x600 -frames:v 1 "$work/show/green.jpg"
printf '[OPTIONS]\r\nAdvanceMethod=2\r\nDelayBetweenSlidesInMilliseconds=1500\r\nShowSplash=0\r\n\r\n[SLIDES]\r\nCount=2\r\nImage1000=red.jpg\r\nImage1001=green.jpg\r\n' \
  >"$work/show/show.ini"
/usr/bin/tarnpack create "$work/show/show.ini" -o "$work/TheShow" </dev/null >"$work/pack.log" 2>&1 \
  || fail "the installed tarnpack could not pack the show: $(cat "$work/pack.log")"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(cat "$work/display")"

# What the screen's centre shows, as "R,G,B"; nothing when the screenshot
# failed (a window being mapped at that moment, for one).
centre() {
  { xwd -root -silent -display "$display" 2>/dev/null | convert xwd:- -crop 1x1+320+240 -depth 8 txt:- 2>/dev/null \
      | sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p' | head -1; } || true
}
near() {  # near R,G,B R,G,B
  [ -n "$1" ] || return 1
  local IFS=,; local a=($1) b=($2)
  for k in 0 1 2; do local d=$((a[k] - b[k])); [ ${d#-} -le 24 ] || return 1; done
}

env -u XDG_RUNTIME_DIR DISPLAY="$display" TMPDIR="$work/tmp" "$work/TheShow" >"$work/said" 2>&1 &
show_pid=$!
seen=""
for _ in $(seq 100); do
  seen=$(centre)
  near "$seen" 220,40,40 && break
  sleep 0.05
done
near "$seen" 220,40,40 || { kill "$show_pid" 2>/dev/null; fail "the first slide never showed (centre: $seen)"; }
status=0
wait "$show_pid" || status=$?
[ "$status" -eq 0 ] || fail "the show ended with status $status: $(cat "$work/said")"
[ ! -s "$work/said" ] || fail "the show said: $(cat "$work/said")"
left=$(ls -A "$work/tmp")
[ -z "$left" ] || fail "the show left in the temporary folder: $left"
echo "package-check: a show packed by the installed tarnpack played and left nothing"

# Depends: the packages of every library the installed programs name, those
# they are linked with and those the player opens itself (its SDL and FFmpeg
# sonames are plain strings in it), except the player's optional ones, which
# it goes on without (ALSA's, to quieten it; X's, to size the first picture
# early), and nothing else.
package_of() {
  local path
  path=$(ldconfig -p | awk -v s="$1" '$1 == s && /x86-64/ { print $NF; exit }')
  [ -n "$path" ] || fail "no library $1 on this system"
  path=$(readlink -f "$path")
  # dpkg knows a library under /lib or /usr/lib, whichever its package says.
  dpkg-query -S "$path" 2>/dev/null || dpkg-query -S "${path#/usr}" 2>/dev/null || fail "no package holds $path"
}
expected=$(
  strings -n 6 /usr/bin/tarnplayer /usr/bin/tarnpack | grep -E '^lib[A-Za-z0-9_+.-]*\.so\.[0-9]+$' | sort -u \
    | grep -v -e '^libasound\.so' -e '^libX11\.so' -e '^libXrandr\.so' \
    | while read -r soname; do package_of "$soname" | head -1 | cut -d: -f1; done | sort -u
)
actual=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g' | grep -v '^$' | sort -u)
if [ "$expected" != "$actual" ]; then
  fail "Depends differ from the libraries the programs load:"$'\n'"$(diff <(echo "$expected") <(echo "$actual"))"
fi
echo "package-check: Depends are the libraries the programs load: $(echo $actual)"

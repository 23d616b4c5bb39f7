#!/usr/bin/env bash
# Generates the demo show into a folder: pictures of several sizes, a short
# clip with sound, a chime for one slide, a looping background tune, and the
# show description that names them. Everything is drawn by ffmpeg here; no
# media come from elsewhere.
#
#   scripts/make-demo-show.sh OUTPUT_FOLDER [DELAY_MS]
set -euo pipefail

out=${1:?usage: make-demo-show.sh OUTPUT_FOLDER [DELAY_MS]}
delay=${2:-4000}
mkdir -p "$out"

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# A caption drawn on a picture when ffmpeg can find a font; without one the
# picture is made plainly.
caption() {
  local text=$1 size=$2
  echo "drawtext=text='$text':fontcolor=white:fontsize=$size:borderw=3:bordercolor=black@0.7:x=(w-text_w)/2:y=h-2*text_h"
}
picture() {  # picture OUTPUT SOURCE CAPTION FONTSIZE [extra ffmpeg args]
  local output=$1 source=$2 text=$3 size=$4
  shift 4
  if ! ff -f lavfi -i "$source" -vf "$(caption "$text" "$size")" -frames:v 1 "$@" "$out/$output" 2>/dev/null; then
    ff -f lavfi -i "$source" -frames:v 1 "$@" "$out/$output"
  fi
}

# 1. A large landscape photo, bigger than any screen: scaled down to fit.
picture mandelbrot.jpg "mandelbrot=s=3000x2000:maxiter=300:start_scale=2.2" "TarnPlayer demo" 120 -q:v 3
# 2. A smaller picture: shown at its own size, centred.
picture gradients.png "gradients=s=900x600:c0=0x1b3a6b:c1=0xe07a5f:c2=0xf2cc8f:c3=0x81b29a:n=4:seed=7" \
  "A picture smaller than the screen" 36
# 3. A clip with its own sound.
ff -f lavfi -i "testsrc2=s=960x540:r=25:d=5" -f lavfi -i "sine=frequency=660:beep_factor=2:d=5" \
   -c:v libx264 -pix_fmt yuv420p -preset veryfast -c:a aac -b:a 96k -shortest "$out/clip.mp4"
# 4. A tall portrait photo: fitted to the screen's height.
picture sierpinski.jpg "sierpinski=s=1400x2100:seed=3,lutrgb=r='val*0.55+20':g='val*0.8+30':b='val*0.35+90'" "Portrait" 90 -q:v 3
# 5. Colour bars, exactly screen-sized on a 1920x1080 screen.
picture bars.png "smptehdbars=s=1920x1080" "Closing slide" 64

# A short chime for the smaller picture.
ff -f lavfi -i "aevalsrc='0.3*sin(2*PI*880*t)*exp(-3*t)+0.2*sin(2*PI*1320*t)*exp(-4*t)':s=44100:d=1.5" "$out/chime.wav"

# The background tune: a pentatonic phrase of eight quarter notes, played
# over and over by the show (SoundOptions 32 loops it).
notes="220*pow(2,(if(eq(n,0),0,if(eq(n,1),3,if(eq(n,2),5,if(eq(n,3),7,if(eq(n,4),10,if(eq(n,5),7,if(eq(n,6),5,3))))))))/12)"
tune="0.18*sin(2*PI*t*${notes//n/mod(floor(t*2),8)})*(1-0.6*mod(t*2,1))"
ff -f lavfi -i "aevalsrc='$tune':s=44100:d=8" -c:a libvorbis -q:a 4 "$out/tune.ogg"

cat > "$out/show.ini" <<EOF
[OPTIONS]
AdvanceMethod=2
ViewOptions=0
SoundOptions=32
BackgroundColor=0,0,0
BackgroundSound=tune.ogg
DelayBetweenSlidesInMilliseconds=$delay
ShowSplash=1

[SLIDES]
Count=5
Image1000=mandelbrot.jpg
Sound1000=
Image1001=gradients.png
Sound1001=chime.wav
Image1002=clip.mp4
Sound1002=
Image1003=sierpinski.jpg
Sound1003=
Image1004=bars.png
Sound1004=
EOF
# The show description's lines end in CR LF, as the format has them.
sed -i 's/$/\r/' "$out/show.ini"
echo "$out/show.ini"

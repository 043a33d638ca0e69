#!/usr/bin/env bash
# Takes the README's pictures from the real program in a private X server: the loading screen,
# the starfield, the zoom with the logo, and the explorer in Mandelbrot and Julia mode.
# usage: tools/capture_docs.sh [build/release/cardioid]   (writes docs/*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bin=$(realpath "${1:-build/release/cardioid}")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

n=$((100 + RANDOM % 800))
Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=":$n"
until xdpyinfo >/dev/null 2>&1; do sleep 0.05; done

mkdir -p docs
cp assets/gfx.bmp assets/sfx.xm "$work/"
cd "$work"
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$bin" >stdout 2>/dev/null &
until xdotool search --onlyvisible --class cardioid >/dev/null 2>&1; do sleep 0.01; done

# The preload is short: grab the screen over and over and keep a shot from its second half.
shots=0
while [ ! -s stdout ]; do
    import -window root "loading-$shots.png" 2>/dev/null && shots=$((shots + 1))
done
[ "$shots" -gt 0 ] || { echo "the preload ended before any shot" >&2; exit 1; }
# Of the shots after the first third, the first one that shows the blinking label.
chosen=$((shots / 3))
for ((i = shots / 3; i < shots; i++)); do
    lit=$(convert "loading-$i.png" -crop 320x31+224+416 -format '%[fx:mean>0.02]' info: 2>/dev/null || echo 0)
    [ "$lit" = 1 ] && { chosen=$i; break; }
done
cp "loading-$chosen.png" "$top/docs/loading.png"
sleep 1.5
import -window root "$top/docs/starfield.png"
sleep 6
import -window root "$top/docs/zoom.png"

xdotool key m
sleep 1
import -window root "$top/docs/explorer-mandelbrot.png"
xdotool mousemove 280 256 click 1 # the valley between the cardioid and the bulb
sleep 1
xdotool mousemove 320 240 click 3 # the Julia set of the point at the centre
sleep 1
import -window root "$top/docs/explorer-julia.png"
xdotool key Escape
sleep 0.3
xdotool key Escape
wait %2 2>/dev/null || true
echo "preload: $(cat stdout | head -n 1), loading shots: $shots"

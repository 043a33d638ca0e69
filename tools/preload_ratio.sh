#!/bin/bash
# The program's printed preload time against the plain loop computing the same 44 frames, three
# times over, each pair one after the other; prints each pair and the median of the ratios.
# Both on the dummy drivers, in a scratch folder holding the assets.
# Usage: tools/preload_ratio.sh [build folder], default build/release (a Release build with the
# benchmark, as tools/run.sh test makes).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root/assets/gfx.bmp" "$root/assets/sfx.xm" "$scratch/"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

# Runs the program until it prints its preload time, then stops it; prints the milliseconds.
preload_ms() {
    (cd "$scratch" && exec "$build/cardioid" > "$scratch/out" 2>&1) &
    local pid=$!
    local tries=0
    until grep -q '^Preload time' "$scratch/out" 2> /dev/null; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ] || ! kill -0 "$pid" 2> /dev/null; then
            kill "$pid" 2> /dev/null || true
            echo "cardioid printed no preload time" >&2
            exit 1
        fi
        sleep 0.05
    done
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    sed -n 's/^Preload time: \([0-9]*\) ms$/\1/p' "$scratch/out"
}

ratios=()
for run in 1 2 3; do
    program=$(preload_ms)
    plain=$("$build/bench/escape_row_bench" --plain-preload 1 | sed -n 's/.*: \([0-9.]*\) ms$/\1/p')
    ratio=$(awk -v a="$plain" -v b="$program" 'BEGIN { printf "%.1f", a / b }')
    echo "run $run: Preload time $program ms, plain loop $plain ms, $ratio times shorter"
    ratios+=("$ratio")
done
printf '%s\n' "${ratios[@]}" | sort -n | sed -n 2p | sed 's/^/median: /; s/$/ times shorter/'

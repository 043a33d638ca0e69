#!/usr/bin/env bash
# A flood of input during a long redraw: 1,000 mouse movements and 20 clicks wait at once, and
# every click is handled, in order, with its exact line.
source "$(dirname "$0")/e2e_lib.sh"
start_x
stage_assets
start_app
wait_window
# Past the preload the window is surely settled, so M is not lost.
wait_line '^Preload time: ' 60
key m
# A right click opens the Julia set in the view x -2..2, y -1.5..1.5. Every right click after it
# switches the mode and keeps that view, so each point is x / 160 - 2, y / 160 - 1.5.
click 320 240 3
wait_line '^Click: -0\.5000000000000000, 0\.0000000000000000$' 10

# The program is held while the burst is sent and then let go: it finds all of the input
# waiting, just as when a redraw takes that long. The X server keeps the input meanwhile.
kill -STOP "$app_pid"
burst=()
for i in $(seq 1000); do burst+=(mousemove $((20 + i % 600)) $((40 + i % 400))); done
expected="Click: -0.5000000000000000, 0.0000000000000000"
for i in $(seq 0 19); do
    x=$((20 + 30 * i)) y=$((15 + 20 * i))
    burst+=(mousemove "$x" "$y" click 3)
    expected+=$'\n'$(awk -v x="$x" -v y="$y" 'BEGIN { printf "Click: %.16f, %.16f", x / 160 - 2, y / 160 - 1.5 }')
done
xdotool "${burst[@]}"
kill -CONT "$app_pid"

wait_line "^$(tail -n 1 <<<"$expected" | sed 's/\./\\./g')\$" 20
escape_explorer_then_demo 10
[ "$(tail -n +2 "$work/stdout")" = "$expected" ] || fail "the click lines differ"
echo "all $(grep -c '^Click: ' "$work/stdout") click lines, in order"

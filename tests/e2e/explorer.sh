#!/usr/bin/env bash
# The explorer in a real window: every picture is checked pixel by pixel against an independent
# computation, every click prints its exact line, and Escape twice ends the program at once.
source "$(dirname "$0")/e2e_lib.sh"
start_x
stage_assets
start_app
wait_window
# M during the preload when it comes in time, otherwise in a later phase. sdl12-compat can drop
# a key that comes while it takes the screen over, so M goes again until the explorer answers P
# (the demo ignores P, the explorer an extra M).
for _ in $(seq 10); do
    key m p
    for _ in $(seq 20); do [ -e "$work/screen.bmp" ] && break 2; sleep 0.05; done
done

screenshot default.bmp
"$CHECK" "$work/default.bmp" -2.5 1.5 -1.5 1.5 1000 || fail "default view differs"

click 320 240 1
wait_line '^Click: -0\.5000000000000000, 0\.0000000000000000$' 10
screenshot zoom.bmp
"$CHECK" "$work/zoom.bmp" -1.5 0.5 -0.75 0.75 1000 || fail "zoomed view differs"

click 200 260 3
wait_line '^Click: -0\.8750000000000000, 0\.0625000000000000$' 10
screenshot julia.bmp
"$CHECK" "$work/julia.bmp" -2.0 2.0 -1.5 1.5 1000 -0.875 0.0625 || fail "Julia view differs"

key i
screenshot julia2000.bmp
"$CHECK" "$work/julia2000.bmp" -2.0 2.0 -1.5 1.5 2000 -0.875 0.0625 || fail "Julia view at 2000 differs"

escape_explorer_then_demo 5
echo "ended $((app_end - pressed)) ms after the second Escape"
[ $((app_end - pressed)) -le 2000 ] || fail "too slow to end"
[ "$(grep -c '^Click: ' "$work/stdout")" -eq 2 ] || fail "not exactly two click lines"

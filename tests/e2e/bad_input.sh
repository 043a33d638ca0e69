#!/usr/bin/env bash
# Broken music: without "sfx.xm" (no-music), with a broken one (bad-music) or with one cut short
# (cut-music, refused with a message naming it), the demo plays silently with its usual timing.
# A missing sheet (no-sheet) is fatal, and the message gives the system's reason; start_up_test.cpp
# runs the program on the other broken sheets.
source "$(dirname "$0")/e2e_lib.sh"
start_x
if [ "$1" = no-sheet ]; then
    cp "$ASSETS/sfx.xm" "$work/"
    start_app
    for _ in $(seq 500); do kill -0 "$app_pid" 2>/dev/null && sleep 0.02; done
    kill -0 "$app_pid" 2>/dev/null && fail "the program still runs without a sheet"
    status=0 && wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 1 ] || fail "exit status $status without a sheet"
    grep -q '"gfx.bmp": No such file or directory$' "$work/stderr" || fail "no reason given"
    echo "stderr: $(cat "$work/stderr")"
    exit 0
fi
cp "$ASSETS/gfx.bmp" "$work/"
[ "$1" = bad-music ] && head -c 20000 /dev/urandom >"$work/sfx.xm"
# Cut inside the samples of its ninth instrument: the library keeps the module without the tenth,
# which the tune plays after one with an envelope, and would read outside its memory.
[ "$1" = cut-music ] && head -c 276480 "$ASSETS/sfx.xm" >"$work/sfx.xm"
start_app
wait_window
wait_line '^Preload time: ' 60
line_at=$(now_ms)
# Same timeline as with music: the starfield, then the zoom, still running 6 s later.
sleep 6
kill -0 "$app_pid" 2>/dev/null || fail "the program ended early"
key Escape
wait_exit 5
if [ -s "$work/audio.raw" ]; then
    read -r peak rms <<<"$(audio_levels)"
    echo "audio peak $peak rms $rms"
    awk -v p="$peak" 'BEGIN { exit !(p == 0) }' || fail "expected silence, peak $peak"
fi
if [ "$1" = cut-music ]; then
    [ "$(grep -c '"sfx.xm"' "$work/stderr")" -eq 1 ] || fail "not one line naming \"sfx.xm\""
    echo "stderr: $(grep '"sfx.xm"' "$work/stderr")"
fi

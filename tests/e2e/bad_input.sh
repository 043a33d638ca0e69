#!/usr/bin/env bash
# Broken assets: no sheet is fatal with a message; no music or a broken module plays silently,
# and a module cut short is refused with a message naming it.
source "$(dirname "$0")/e2e_lib.sh"
case_name=$1
start_x

case "$case_name" in
no-sheet)
    cp "$ASSETS/sfx.xm" "$work/"
    start_app
    wait_exit 10
    [ "$app_status" -eq 1 ] || fail "exit status $app_status, expected 1"
    grep -q 'gfx.bmp' "$work/stderr" || fail "no message naming gfx.bmp"
    [ ! -s "$work/stdout" ] || fail "unexpected standard output"
    echo "stderr: $(cat "$work/stderr")"
    ;;
no-music | bad-music | cut-music)
    cp "$ASSETS/gfx.bmp" "$work/"
    [ "$case_name" = bad-music ] && head -c 20000 /dev/urandom >"$work/sfx.xm"
    # Cut inside the sample data of its last instruments, which the library would accept.
    [ "$case_name" = cut-music ] && head -c 151552 "$ASSETS/sfx.xm" >"$work/sfx.xm"
    start_app
    wait_window
    wait_line '^Preload time: ' 60
    line_at=$(now_ms)
    # Same timeline as with music: the starfield, then the zoom, still running 6 s later.
    sleep 6
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended early"
    key Escape
    wait_exit 5
    [ "$app_status" -eq 0 ] || fail "exit status $app_status"
    if [ -s "$work/audio.raw" ]; then
        read -r peak rms <<<"$(audio_levels)"
        echo "audio peak $peak rms $rms"
        awk -v p="$peak" 'BEGIN { exit !(p == 0) }' || fail "expected silence, peak $peak"
    fi
    if [ "$case_name" = cut-music ]; then
        [ "$(grep -c '"sfx.xm"' "$work/stderr")" -eq 1 ] || fail "not one line naming \"sfx.xm\""
        echo "stderr: $(grep '"sfx.xm"' "$work/stderr")"
    fi
    ;;
esac

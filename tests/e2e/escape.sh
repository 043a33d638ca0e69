#!/usr/bin/env bash
# Escape ends the program with status 0 at once in each demo phase: preload, starfield, playback.
source "$(dirname "$0")/e2e_lib.sh"
phase=$1
start_x
stage_assets

case "$phase" in
preload)
    # Escape is repeated from the moment the window shows until the program ends, since a key
    # that comes while the library is still taking the screen over can be lost. The first one
    # that arrives must end the program before the preload completes.
    start_app
    wait_window now
    first=$(now_ms)
    while kill -0 "$app_pid" 2>/dev/null && [ $(($(now_ms) - first)) -lt 5000 ]; do
        key Escape 2>/dev/null || true
        sleep 0.03
    done
    wait_exit 5
    echo "ended $((app_end - first)) ms after the first Escape"
    [ ! -s "$work/stdout" ] || fail "the preload completed before Escape took effect"
    ;;
starfield | playback)
    start_app
    wait_window
    wait_line '^Preload time: ' 60
    line_at=$(now_ms)
    if [ "$phase" = starfield ]; then sleep 1; else sleep 6; fi
    key Escape
    pressed=$(now_ms)
    wait_exit 5
    echo "ended $((app_end - pressed)) ms after Escape, $((app_end - line_at)) ms after the preload line"
    [ $((app_end - pressed)) -le 1000 ] || fail "too slow to end"
    ;;
esac

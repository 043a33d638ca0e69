#!/usr/bin/env bash
# Standard output on a pipe whose reader has gone (cardioid | true): the Preload line and a Click
# line go nowhere, and the demo and the explorer carry on to an ordinary exit with status 0.
source "$(dirname "$0")/e2e_lib.sh"
start_x
stage_assets
# The program's standard output is this pipe; its reader opens it and quits at once.
mkfifo "$work/stdout"
(exec true <"$work/stdout") &
start_app
wait_window
# The music starts right after the Preload line is written: audio that is not all zero shows
# the program got past that write.
deadline=$(($(now_ms) + 60000))
until [ -n "$(tr -d '\0' <"$work/audio.raw" 2>/dev/null | head -c 1)" ]; do
    kill -0 "$app_pid" 2>/dev/null || break
    [ "$(now_ms)" -lt "$deadline" ] || fail "no music within 60 s"
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null || { wait_exit 1; fail "the program ended at the Preload line"; }
key m
sleep 1
click 320 240 1
# P works only in the explorer and comes after the click: a saved screen shows the click was
# handled, its line written.
screenshot after-click.bmp
escape_explorer_then_demo 10
! grep -v -E 'disk (writer|i/o) audio driver|Writing to file' "$work/stderr" | grep -q . ||
    fail "unexpected standard error"
echo "carried on past both lines and ended with status 0"

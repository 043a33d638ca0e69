#!/usr/bin/env bash
# Without input the demo preloads, reports once, plays to 45 s after the music starts and exits 0.
source "$(dirname "$0")/e2e_lib.sh"
start_x
stage_assets
start_app
wait_window
wait_line '^Preload time: ' 60
line_at=$(now_ms)
wait_exit 60
[ "$app_status" -eq 0 ] || fail "exit status $app_status"
grep -q -x -E 'Preload time: [0-9]+ ms' "$work/stdout" || fail "malformed preload line"
[ "$(wc -l <"$work/stdout")" -eq 1 ] || fail "standard output is not exactly one line"
# The disk audio driver announces itself and the file it writes on standard error, in each
# library's own words; nothing else may be there.
! grep -v -i -e 'disk.*audio driver' -e "$work/audio.raw" "$work/stderr" | grep -q . ||
    fail "unexpected standard error"
after=$((app_end - line_at))
echo "preload line after $((line_at - app_start)) ms: $(cat "$work/stdout"); exit ${after} ms after it"
# The window opens with the music; a pass that has begun (about 2.3 s) always finishes.
[ "$after" -ge 44900 ] && [ "$after" -le 48500 ] || fail "ended ${after} ms after the preload line"
read -r peak rms <<<"$(audio_levels)"
echo "audio peak $peak rms $rms"
awk -v r="$rms" 'BEGIN { exit !(r > 0.01) }' || fail "the audio is silent (rms $rms)"

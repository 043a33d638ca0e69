#!/usr/bin/env bash
# Without input the demo takes the whole screen, preloads, reports once, plays to 45 s after the
# music starts and exits 0. On the way it is paused (SIGSTOP) to grab what the X server shows, and
# the grabs are compared pixel by pixel with what the real sprite sheet and the plain arithmetic
# give: loading screens of an odd and an even step, and one playback step. The pauses hold the
# preload for over 3 s, so a 45 s window counted from the preload's start would end early.
source "$(dirname "$0")/e2e_lib.sh"
start_x
stage_assets
start_probe
start_app
kill -STOP "$app_pid"

# The program runs in slices of a few milliseconds; after each, the screen is grabbed.
parities=""
for _ in $(seq 300); do
    kill -CONT "$app_pid"
    sleep 0.005
    kill -STOP "$app_pid"
    grep -q '^Preload time' "$work/stdout" && fail "the preload ended before both kinds of step were seen"
    xdotool search --onlyvisible --class cardioid >/dev/null 2>&1 || continue
    grab loading.bmp
    shown=$("$CHECK" "$work/loading.bmp" loading "$work/gfx.bmp") || continue
    echo "$shown"
    [ -n "$parities" ] || first_seen=$(now_ms)
    parities="$parities $((${shown##* } % 2))"
    [[ "$parities" == *0* && "$parities" == *1* ]] && break
done
[[ "$parities" == *0* && "$parities" == *1* ]] || fail "no loading screen of each parity was seen"
while [ $(($(now_ms) - first_seen)) -lt 3000 ]; do sleep 0.1; done
kill -CONT "$app_pid"

wait_line '^Preload time: ' 60
line_at=$(now_ms)
sleep 6 # past the 4 s starfield
kill -STOP "$app_pid"
grab playback.bmp
kill -CONT "$app_pid"
"$CHECK" "$work/playback.bmp" playback "$work/gfx.bmp" || fail "the window shows no playback step"

wait_exit 60
! kill -0 "$probe_pid" 2>/dev/null || fail "no window took the whole screen"
cat "$work/probe"
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

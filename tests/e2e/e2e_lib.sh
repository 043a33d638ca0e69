# Shared steps of the end-to-end tests: a private X server, the real binary in a scratch
# directory holding the real assets, input through xdotool, standard output and audio captured.
# Sourced by the scenario scripts with: BIN (the program), ASSETS (its asset folder),
# CHECK (the screenshot checker), PROBE (the full-screen probe), and RUNNER, when set, the command
# that runs BIN (wine_run.sh for the Windows program).
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/cardioid-e2e-XXXXXX")
xvfb_pid=""
app_pid=""
probe_pid=""

cleanup() {
    # A paused program gets the request to quit when it is let go on. One still running two
    # seconds later is killed: a failed scenario must not wait out its time limit.
    if [ -n "$app_pid" ]; then
        { kill -TERM "$app_pid" && kill -CONT "$app_pid"; } 2>/dev/null || true
        for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null && sleep 0.02 || break; done
        kill -KILL "$app_pid" 2>/dev/null || true
    fi
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in stdout stderr; do [ -s "$work/$f" ] && { echo "--- $f" >&2; cat "$work/$f" >&2; }; done
    exit 1
}

now_ms() { date +%s%3N; }

# A private X server, 640x480 at 24 bits like a small desktop, on a display number nobody else
# holds: the server's lock file must name our server, so parallel tests never share one. It never
# resets: a reset after its last client leaves (xdpyinfo here, or the classic library's probe
# of the display) refuses the program's own connection for a moment.
start_x() {
    for _ in $(seq 20); do
        local n=$((100 + RANDOM % 800))
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            if [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ] &&
                xdpyinfo -display ":$n" >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    done
    xvfb_pid=""
    fail "no X server could be started"
}

# Watches for a window that takes the whole screen (full_screen_probe.cpp); started before the
# program, it ends once it has seen one.
start_probe() {
    "$PROBE" >"$work/probe" &
    probe_pid=$!
    for _ in $(seq 200); do
        grep -q watching "$work/probe" && return 0
        sleep 0.02
    done
    fail "the full-screen probe did not start"
}

# Copies the real assets into the scratch directory, unless a scenario leaves one out.
stage_assets() {
    cp "$ASSETS/gfx.bmp" "$ASSETS/sfx.xm" "$work/"
}

# The real binary, audio through the disk driver at about real-time pace. The X11 driver is
# named so that a lost X connection fails instead of falling back to a text-mode driver.
start_app() {
    (cd "$work" && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=92 \
        exec ${RUNNER:+"$RUNNER"} "$BIN" >"$work/stdout" 2>"$work/stderr") &
    app_pid=$!
    app_start=$(now_ms)
}

# Keys sent before the window exists are lost, and so are some sent while the library is still
# taking the full screen over, so scenarios wait for the window and then a little longer;
# "now" skips the wait for scenarios that retry their key instead.
wait_window() {
    for _ in $(seq 400); do
        if xdotool search --onlyvisible --class cardioid >/dev/null 2>&1; then
            [ "${1:-}" = now ] || sleep 0.5
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window appeared"
        sleep 0.025
    done
    fail "no window after 10 s"
}

# Waits up to $2 seconds for a line matching $1 on standard output.
wait_line() {
    local deadline=$(($(now_ms) + $2 * 1000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        grep -q -E "$1" "$work/stdout" 2>/dev/null && return 0
        sleep 0.02
    done
    fail "no line matching '$1' within $2 s"
}

# Waits up to $1 seconds for the program to end, which it must with status 0; sets app_end.
wait_exit() {
    local deadline=$(($(now_ms) + $1 * 1000)) status=0
    while kill -0 "$app_pid" 2>/dev/null; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "the program still runs after $1 s"
        sleep 0.02
    done
    app_end=$(now_ms)
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "exit status $status"
}

# In the explorer: Escape leaves it, not the program, and a second one ends the program within $1
# seconds; sets pressed to the time of the second.
escape_explorer_then_demo() {
    key Escape
    sleep 0.5
    kill -0 "$app_pid" 2>/dev/null || fail "Escape in the explorer ended the program"
    key Escape
    pressed=$(now_ms)
    wait_exit "$1"
}

key() { xdotool key "$@"; }
click() { xdotool mousemove "$1" "$2" click "$3"; }

# What the user sees: the X server's whole 640x480 screen, as a 24-bit BMP.
grab() { import -silent -window root "BMP3:$work/$1"; }

# Presses P and waits until a complete 640x480 24-bit "screen.bmp" has taken the place of the one
# there before, if any, and then until the window shows the very same picture: what was drawn must
# also have been presented.
screenshot() {
    local size=0 before
    before=$(stat -c %i "$work/screen.bmp" 2>/dev/null || echo none)
    key p
    for _ in $(seq 200); do
        if [ "$(stat -c %i "$work/screen.bmp" 2>/dev/null || echo none)" != "$before" ]; then
            size=$(stat -c %s "$work/screen.bmp" 2>/dev/null || echo 0)
            [ "$size" -eq 921654 ] && break
        fi
        sleep 0.05
    done
    [ "$size" -eq 921654 ] || fail "P put no complete screen.bmp in the place of the one before"
    cp "$work/screen.bmp" "$work/$1"
    for _ in $(seq 20); do
        grab "shown-$1"
        compare -metric AE "$work/$1" "$work/shown-$1" null: 2>/dev/null && return 0
        sleep 0.25
    done
    fail "the window does not show the picture of $1"
}

# Peak and RMS of the raw signed 16-bit audio the disk driver wrote, as fractions of full scale.
audio_levels() {
    sox -t raw -r 44100 -e signed -b 16 -c 2 -L "$work/audio.raw" -n stat 2>&1 |
        awk '/Maximum amplitude/ {max=$3} /RMS +amplitude/ {rms=$3} END {print max, rms}'
}

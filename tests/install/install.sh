#!/usr/bin/env bash
# What a user installs: the layout under a staging prefix, the icon against the sprite sheet, the
# launcher started from / (the program runs in the per-user folder, and "screen.bmp" lands there;
# the user's own files there stay), and the Debian package's contents and dependencies. Sourced helpers: tests/e2e/e2e_lib.sh.
# Needs BUILD (the build tree) and ASSETS (its asset folder).
source "$(dirname "$0")/../e2e/e2e_lib.sh"
prefix="$work/prefix"
cmake --install "$BUILD" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

for file in bin/cardioid libexec/cardioid/cardioid; do
    [ -x "$prefix/$file" ] || fail "no program $file"
done
for asset in gfx.bmp sfx.xm; do
    cmp -s "$ASSETS/$asset" "$prefix/share/cardioid/$asset" || fail "installed $asset differs"
done
desktop-file-validate "$prefix/share/applications/cardioid.desktop" || fail "invalid desktop entry"
grep -q -x 'Icon=cardioid' "$prefix/share/applications/cardioid.desktop" || fail "no icon named"
grep -q -x 'Exec=cardioid' "$prefix/share/applications/cardioid.desktop" || fail "not the launcher"
# Each icon is the sheet's loading sprite, pixel for pixel, with its black transparent.
for size in 48 128; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/cardioid.png"
    [ "$(identify -format '%m %wx%h' "$icon")" = "PNG ${size}x${size}" ] || fail "icon $size"
    convert "$ASSETS/gfx.bmp" -crop 8x8+0+226 +repage -transparent black \
        -sample "${size}x${size}" -depth 8 rgba:"$work/expected.rgba"
    convert "$icon" -depth 8 rgba:"$work/icon.rgba"
    cmp -s "$work/expected.rgba" "$work/icon.rgba" || fail "icon $size is not the sprite"
done

# The launcher from /: it copies the assets into the per-user folder, the program runs there, and
# P in the explorer saves "screen.bmp" there.
export HOME="$work/home"
unset XDG_DATA_HOME
folder="$HOME/.local/share/cardioid"
start_x
(cd / && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy exec "$prefix/bin/cardioid" \
    >"$work/stdout" 2>"$work/stderr") &
app_pid=$!
wait_window
key m
for _ in $(seq 200); do
    [ -s "$folder/screen.bmp" ] && break
    key p
    sleep 0.1
done
[ -s "$folder/screen.bmp" ] || fail "no screen.bmp in $folder"
key Escape
wait_line '^Preload time: [0-9]+ ms$' 60
key Escape
wait_exit 10
cmp -s "$ASSETS/gfx.bmp" "$folder/gfx.bmp" || fail "no sheet in $folder"
cmp -s "$ASSETS/sfx.xm" "$folder/sfx.xm" || fail "no tune in $folder"
grep -q -F "$folder" "$work/stderr" && grep -q 'screen\.bmp' "$work/stderr" ||
    fail "the launcher does not tell where screen.bmp lands"
echo "launcher: $(cat "$work/stderr")"

# The user's own tune there survives two launches and an upgrade of both installed assets, which
# brings the new sheet to a user who kept the copy; the launcher says once a launch what it kept.
launch() {
    (cd / && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy exec "$prefix/bin/cardioid" \
        >"$work/stdout" 2>"$work/stderr") &
    app_pid=$!
    wait_line '^Preload time: ' 30
    kill -TERM "$app_pid"
    wait_exit 10
}
{ head -c 17 "$ASSETS/sfx.xm" && echo -n "Your own tune" && tail -c +31 "$ASSETS/sfx.xm"; } >"$work/own.xm"
cp "$work/own.xm" "$folder/sfx.xm"
launch
for file in gfx.bmp sfx.xm; do
    { cat "$prefix/share/cardioid/$file" && echo -n 1; } >"$work/upgraded" &&
        mv "$work/upgraded" "$prefix/share/cardioid/$file"
done
launch
cmp -s "$work/own.xm" "$folder/sfx.xm" || fail "the user's own sfx.xm was replaced"
cmp -s "$prefix/share/cardioid/gfx.bmp" "$folder/gfx.bmp" || fail "the upgraded sheet did not arrive"
[ "$(grep -c "keeping your own sfx\.xm in $folder" "$work/stderr")" -eq 1 ] ||
    fail "the launcher does not say once that it keeps the user's sfx.xm: $(cat "$work/stderr")"
[ -z "$(find "$folder" -name '*.part*')" ] || fail "a temporary copy was left in $folder"

# XDG_DATA_HOME, when set, holds the folder instead.
export XDG_DATA_HOME="$work/data"
launch
cmp -s "$prefix/share/cardioid/gfx.bmp" "$XDG_DATA_HOME/cardioid/gfx.bmp" || fail "nothing in XDG_DATA_HOME"

# The package: the same files under /usr, and an SDL 1.2 dependency that sdl12-compat's
# libsdl1.2-compat-shim, which provides libsdl1.2debian (= 1.2.15-1), meets as well.
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$work/package" >/dev/null || fail "cpack failed"
deb=$(ls "$work"/package/cardioid_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for file in bin/cardioid libexec/cardioid/cardioid share/cardioid/gfx.bmp share/cardioid/sfx.xm \
    share/applications/cardioid.desktop share/icons/hicolor/48x48/apps/cardioid.png \
    share/icons/hicolor/128x128/apps/cardioid.png share/man/man6/cardioid.6.gz \
    share/doc/cardioid/copyright share/doc/cardioid/changelog.gz; do
    grep -q -x "./usr/$file" "$work/contents" || fail "the package lacks /usr/$file"
done
# Debian's own package checks: the manual page, the changelog, the stripped and hardened program.
lintian --fail-on error,warning "$deb" || fail "lintian finds faults in the package"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ "$depends" =~ libsdl-mixer1\.2 ]] || fail "no dependency on SDL_mixer 1.2"
[[ "$depends" =~ libsdl1\.2debian\ \(\>=\ ([^\)]+)\) ]] || fail "no dependency on SDL 1.2"
dpkg --compare-versions 1.2.15-1 ge "${BASH_REMATCH[1]}" ||
    fail "sdl12-compat cannot meet libsdl1.2debian (>= ${BASH_REMATCH[1]})"

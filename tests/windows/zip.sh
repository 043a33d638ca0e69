#!/usr/bin/env bash
# The Windows zip ($1): exactly the expected files; a README.txt with Windows line endings; every
# program and DLL in it stripped, and importing nothing but Windows' own DLLs and the zip's.
set -euo pipefail
zip=$(realpath "$1")
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
cd "$work"/*/ || fail "no top folder in the zip"

expected="README.txt cardioid.exe gfx.bmp libmikmod-3.dll licences/SDL-README.txt licences/SDL.txt
licences/SDL_mixer.txt licences/libmikmod.txt SDL.dll SDL_mixer.dll sfx.xm"
[ "$(find . -type f | sed 's|^\./||' | sort)" = "$(echo $expected | tr ' ' '\n' | sort)" ] ||
    fail "the zip holds: $(find . -type f | sort | tr '\n' ' ')"
[ "$(grep -c $'\r$' README.txt)" -eq "$(wc -l <README.txt)" ] ||
    fail "README.txt has lines without Windows line endings"

# Double-clicked, the program opens no console window of its own.
grep -q -E '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$(x86_64-w64-mingw32-objdump -p cardioid.exe)" ||
    fail "cardioid.exe is not a windowed program"

# The DLLs every Windows system has; anything else must come in the zip.
system="kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll winmm.dll"
for binary in *.exe *.dll; do
    grep -q -E ' \.debug_| \.stab' <<<"$(x86_64-w64-mingw32-objdump -h "$binary")" &&
        fail "$binary is not stripped"
    [ "$(x86_64-w64-mingw32-objdump -t "$binary" | grep -c '^\[')" -eq 0 ] ||
        fail "$binary has a symbol table"
    for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | awk '/DLL Name:/ {print $3}'); do
        lower=$(echo "$dll" | tr 'A-Z' 'a-z')
        [[ " $system " == *" $lower "* ]] && continue
        [ -e "$dll" ] || fail "$binary imports $dll, which is neither Windows' own nor in the zip"
    done
    echo "$binary imports: $(x86_64-w64-mingw32-objdump -p "$binary" | awk '/DLL Name:/ {printf "%s ", $3}')"
done
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes, $(find . -type f | wc -l) files"

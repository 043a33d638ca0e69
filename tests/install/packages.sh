#!/usr/bin/env bash
# tools/run.sh asks apt only for what is missing, with either SDL 1.2 installed: checked against
# made-up package states, through stand-ins for pkg-config and dpkg-query that answer from
# FAKE_MODULES and FAKE_INSTALLED. Everything else is this machine's, where the test command has
# installed all the rest.
set -euo pipefail
run_sh="$(dirname "$0")/../../tools/run.sh"
fake=$(mktemp -d "${TMPDIR:-/tmp}/cardioid-packages-XXXXXX")
trap 'rm -rf "$fake"' EXIT
cat >"$fake/pkg-config" <<'FAKE'
#!/bin/sh
[ "$1" = --exists ] || exit 2
shift
for module; do case " $FAKE_MODULES " in *" $module "*) ;; *) exit 1 ;; esac; done
FAKE
cat >"$fake/dpkg-query" <<'FAKE'
#!/bin/sh
for package; do :; done
case " $FAKE_INSTALLED " in *" $package "*) echo 'install ok installed' ;; *) exit 1 ;; esac
FAKE
chmod +x "$fake/pkg-config" "$fake/dpkg-query"

failures=0
# expect VERB_FUNCTIONS MODULES INSTALLED EXPECTED: the SDL packages run.sh would ask for.
expect() {
    local got
    got=$(PATH="$fake:$PATH" FAKE_MODULES="$2" FAKE_INSTALLED="$3" bash -c '
        source "$1"
        for step in '"$1"'; do $step; done
        for package in "${missing[@]}"; do case $package in *sdl*) echo "$package" ;; esac; done
    ' probe "$run_sh" | tr '\n' ' ')
    if [ "${got% }" = "$4" ]; then
        echo "ok: modules [$2], installed [$3]: [$4]"
    else
        echo "FAIL: modules [$2], installed [$3]: asks for [${got% }], expected [$4]"
        failures=$((failures + 1))
    fi
}
both="need_build_packages need_test_packages"
compat_dev="libsdl1.2-compat libsdl1.2-compat-shim libsdl1.2-compat-dev libsdl2-2.0-0"
classic_dev="libsdl1.2debian libsdl1.2-dev"

expect "$both" "gtest" "" "libsdl1.2-dev libsdl-mixer1.2-dev libsdl2-2.0-0"
expect "$both" "sdl SDL_mixer gtest" "$compat_dev libsdl-mixer1.2-dev" ""
expect "$both" "sdl gtest" "$compat_dev" "libsdl-mixer1.2-dev"
expect "$both" "gtest" "libsdl1.2-compat libsdl1.2-compat-shim libsdl2-2.0-0" \
    "libsdl1.2-compat-dev libsdl-mixer1.2-dev"
expect "$both" "sdl SDL_mixer gtest" "$classic_dev libsdl-mixer1.2-dev" "libsdl2-2.0-0"
expect "need_build_packages" "sdl SDL_mixer" "$classic_dev libsdl-mixer1.2-dev" ""
expect "$both" "sdl SDL_mixer gtest" "$classic_dev libsdl-mixer1.2-dev libsdl2-2.0-0" ""
[ "$failures" -eq 0 ]

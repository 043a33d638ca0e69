#!/usr/bin/env bash
# Installs whatever Debian packages are missing, builds, and then plays the demo ("demo") or
# runs every test ("test"). Safe to run again; works as root or, through sudo, as a user.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

build_packages=(g++ cmake make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev)
test_packages=(libgtest-dev libbenchmark-dev xvfb xdotool x11-utils imagemagick sox xmp openmpt123)

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || {
            echo "Missing packages: ${missing[*]}. Run this as root, or install sudo." >&2
            exit 1
        }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-}" in
demo)
    install_missing "${build_packages[@]}"
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=OFF -DCARDIOID_BENCH=OFF >/dev/null
    cmake --build build/release -j "$jobs" --target cardioid
    # The program opens its assets from the working directory; "screen.bmp" lands there too.
    mkdir -p run
    cp assets/gfx.bmp assets/sfx.xm run/ 2>/dev/null || cp assets/gfx.bmp run/
    cd run && exec "$top/build/release/cardioid"
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=ON >/dev/null
    cmake --build build/release -j "$jobs"
    (cd build/release && ctest -j "$jobs" --output-on-failure)
    # The unit tests, and the end-to-end scenarios labelled "sanitized" against the program,
    # again under AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCARDIOID_SANITIZE=ON \
        -DCARDIOID_BENCH=OFF >/dev/null
    cmake --build build/sanitize -j "$jobs" --target unit_tests cardioid check_screenshot
    (cd build/sanitize && ctest -j "$jobs" -L 'unit|sanitized' --output-on-failure)
    ;;
*)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Installs whatever the build lacks, builds, and then plays the demo ("demo") or runs every test
# ("test"); "windows" makes the Windows zip, "web" the page that plays it in a browser. Safe to run
# again; works as root or, through sudo, as a user. Either SDL 1.2 will do: the classic library or
# sdl12-compat. Without apt it says what to install and how to build.
set -euo pipefail

# The Debian packages that would give what is missing, judged by what the build uses: commands,
# pkg-config modules (their headers when there is no pkg-config) and files.
missing=()
need_command() { command -v "$1" >/dev/null 2>&1 || missing+=("$2"); }
need_module() {
    if command -v pkg-config >/dev/null 2>&1; then
        pkg-config --exists "$1" 2>/dev/null && return 0
    else
        [ -e "$2" ] && return 0
    fi
    missing+=("$3")
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need_build_packages() {
    need_command g++ g++
    need_command cmake cmake
    need_command make make
    need_command pkg-config pkg-config
    # sdl12-compat's runtime makes its own development package the one to ask for: the classic
    # one would conflict with it, and the other way round.
    local sdl_dev=libsdl1.2-dev
    installed libsdl1.2-compat-shim && sdl_dev=libsdl1.2-compat-dev
    need_module sdl /usr/include/SDL/SDL.h "$sdl_dev"
    need_module SDL_mixer /usr/include/SDL/SDL_mixer.h libsdl-mixer1.2-dev
}

need_test_packages() {
    need_module gtest /usr/include/gtest/gtest.h libgtest-dev
    [ -d /usr/src/googletest ] || missing+=(libgtest-dev) # built for the cross-compiled tests
    need_command Xvfb xvfb
    need_command xdotool xdotool
    need_command xdpyinfo x11-utils
    need_command convert imagemagick
    need_command import imagemagick # grabs what the X server shows
    need_command identify imagemagick
    need_command sox sox
    need_command xmp xmp
    need_command openmpt123 openmpt123
    need_command tesseract tesseract-ocr # reads the sheet's label and logo
    need_module x11 /usr/include/X11/Xlib.h libx11-dev # the full-screen probe watches the X server
    need_command desktop-file-validate desktop-file-utils
    need_command dpkg-shlibdeps dpkg-dev
    need_command lintian lintian # checks the package the install test makes
    need_command aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
    need_command qemu-aarch64 qemu-user
    # sdl12-compat, for the second run of the tests beside the classic library, runs on SDL2.
    if command -v dpkg-query >/dev/null && ! installed libsdl2-2.0-0; then
        missing+=(libsdl2-2.0-0)
    fi
}

need_windows_packages() {
    need_command x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
    need_command wine wine
    [ -e /usr/lib/wine/wine64 ] || missing+=(wine64)
    need_command unzip unzip
    need_command dpkg-source dpkg-dev # unpacks the libraries' source packages
    need_command make make
}

other_distributions() {
    cat >&2 <<'EOF'
No apt here. Install a C++ compiler, CMake, pkg-config, SDL 1.2 (sdl12-compat) and SDL_mixer 1.2:
  dnf install gcc-c++ cmake make pkgconf-pkg-config sdl12-compat-devel SDL_mixer-devel
  pacman -S --needed base-devel cmake pkgconf sdl12-compat sdl_mixer
  zypper install gcc-c++ cmake make pkgconf-pkg-config sdl12_compat-devel SDL_mixer-devel
then build and play (the program runs in a folder holding its two assets):
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=OFF
  cmake --build build/release --target cardioid
  mkdir -p run && cp assets/gfx.bmp assets/sfx.xm run/ && (cd run && ../build/release/cardioid)
EOF
}

install_missing() {
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null; then
        echo "Missing: ${missing[*]} (as Debian names them)." >&2
        other_distributions
        exit 1
    fi
    if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
        echo "Missing packages: ${missing[*]}. Run this as root, or install sudo." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The folder of sdl12-compat's libSDL-1.2.so.0 for the second run of the tests, when the program
# is built on the classic library: Debian's libsdl1.2-compat, unpacked once into the build tree,
# as it cannot be installed beside the classic runtime. Prints nothing when the program already
# runs on sdl12-compat.
compat_library_dir() {
    installed libsdl1.2debian || return 0
    local root=build/sdl12-compat
    if ! compgen -G "$root/root/usr/lib/*/sdl12-compat/libSDL-1.2.so.0" >/dev/null; then
        rm -rf "$root" && mkdir -p "$root"
        # Fails on a machine whose package lists were never fetched: they are, and it goes again.
        (cd "$root" && apt-get download -q libsdl1.2-compat >download.log 2>&1) ||
            (as_root apt-get update -qq && cd "$root" && apt-get download -q libsdl1.2-compat) >&2 ||
            { echo "cannot download libsdl1.2-compat for the tests on sdl12-compat" >&2 && exit 1; }
        dpkg-deb -x "$root"/libsdl1.2-compat_*.deb "$root/root"
    fi
    local library
    library=$(compgen -G "$root/root/usr/lib/*/sdl12-compat/libSDL-1.2.so.0")
    echo "$top/$(dirname "$library")"
}

# The Windows zip, build/windows/cardioid-VERSION-win64.zip: SDL 1.2, SDL_mixer 1.2 and libmikmod
# cross-built once from Debian's source packages, then the program against them.
build_windows() {
    tools/windows_libraries.sh build/windows
    cmake -S . -B build/windows/program -DCMAKE_TOOLCHAIN_FILE=tools/mingw64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=ON -DCARDIOID_BENCH=OFF >/dev/null
    cmake --build build/windows/program -j "$jobs"
    (cd build/windows/program && cpack -B "$top/build/windows" >/dev/null)
    rm -rf build/windows/_CPack_Packages
    echo "Made $(compgen -G "build/windows/cardioid-*-win64.zip")"
}

# The browser build: emcc, chromium for its tests, and apt-get source's unpacker for libmikmod.
need_web_packages() {
    need_command emcc emscripten
    need_command chromium chromium
    need_command dpkg-source dpkg-dev
}

# The page in build/web: libmikmod built with emcc once (build/web-libmikmod), then the program.
build_web() {
    # emcc's optimiser needs Debian's node modules, also when another node comes first.
    export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
    tools/web_libmikmod.sh build/web-libmikmod
    emcmake cmake -S . -B build/web-build -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=OFF \
        -DCARDIOID_BENCH=OFF -DCARDIOID_MIKMOD_PREFIX="$top/build/web-libmikmod/prefix" \
        -DCARDIOID_WEB_DIR="$top/build/web" >/dev/null
    cmake --build build/web-build -j "$jobs"
}

# Sourced (by the tests of the package choice above), it stops here.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

cd "$(dirname "$0")/.."
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-}" in
demo)
    need_build_packages
    install_missing
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=OFF >/dev/null
    cmake --build build/release -j "$jobs" --target cardioid
    # The program opens its assets from the working directory; "screen.bmp" lands there too.
    mkdir -p run
    cp assets/gfx.bmp assets/sfx.xm run/ 2>/dev/null || cp assets/gfx.bmp run/
    cd run && exec "$top/build/release/cardioid"
    ;;
windows)
    need_windows_packages
    install_missing
    build_windows
    ;;
test)
    need_build_packages
    need_test_packages
    need_windows_packages
    need_web_packages
    install_missing
    compat_dir=$(compat_library_dir)
    build_windows
    # Every option is given, so that nothing an earlier demo build cached is left out.
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARDIOID_TESTS=ON -DCARDIOID_BENCH=ON \
        -DCARDIOID_COMPAT_LIBRARY_DIR="$compat_dir" -DCARDIOID_WINDOWS_BUILD="$top/build/windows" \
        >/dev/null
    cmake --build build/release -j "$jobs"
    (cd build/release && ctest -j "$jobs" -LE 'e2e|install|windows|web' --output-on-failure)
    # The end-to-end tests mostly wait for the program, so more of them run at a time; the
    # Windows ones take turns among themselves.
    (cd build/release && ctest -j $((jobs * 2)) -L 'e2e|install|windows' --output-on-failure)
    # The page, built for the browser, in headless chromium.
    build_web
    (cd build/release && ctest -L web --output-on-failure)
    # The kernel's tests again, cross-built for 64-bit ARM and run under emulation.
    cmake -S . -B build/aarch64 -DCMAKE_TOOLCHAIN_FILE=tools/aarch64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DCARDIOID_KERNEL_ONLY=ON >/dev/null
    cmake --build build/aarch64 -j "$jobs"
    (cd build/aarch64 && ctest -j "$jobs" --output-on-failure)
    # The unit tests, and the end-to-end scenarios labelled "sanitized" against the program,
    # again under AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCARDIOID_SANITIZE=ON \
        -DCARDIOID_BENCH=OFF >/dev/null
    cmake --build build/sanitize -j "$jobs" --target unit_tests kernel_tests cardioid check_screenshot
    (cd build/sanitize && ctest -j "$jobs" -L 'unit|sanitized' --output-on-failure)
    ;;
web)
    need_web_packages
    install_missing
    build_web
    echo "The page is in build/web: serve it with (cd build/web && python3 -m http.server)"
    ;;
*)
    echo "usage: $0 demo|test|windows|web" >&2
    exit 2
    ;;
esac

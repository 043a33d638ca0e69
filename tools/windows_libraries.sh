#!/usr/bin/env bash
# Cross-builds SDL 1.2, libmikmod and SDL_mixer 1.2 for 64-bit Windows from Debian's source
# packages, into $1 (build/windows): the sources in $1/src, the installed libraries in $1/prefix.
# A finished build is kept and reused until this script changes; the sources come from
# tools/debian_sources.sh.
set -euo pipefail

root=$(realpath -m "$1")
host=x86_64-w64-mingw32
prefix=$root/prefix
stamp=$prefix/.built-$(sha1sum "$0" | cut -c 1-12)
[ -e "$stamp" ] && exit 0

jobs=$(nproc 2>/dev/null || echo 2)
tools=$(dirname "$(realpath "$0")")
rm -rf "$root/src" "$prefix"
mkdir -p "$root/src" "$prefix"
cd "$root/src"
"$tools/debian_sources.sh" libsdl1.2 libmikmod sdl-mixer1.2

# Nothing of the host may leak in: its sdl-config, libmikmod-config and pkg-config files would
# hand the cross compiler Linux headers and libraries.
export PATH="$prefix/bin:/usr/bin:/bin"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
export PKG_CONFIG_PATH=
common=(--host="$host" --prefix="$prefix" --enable-shared --disable-static)
# Like the program, the libraries are built without fused multiply-adds and with the stack
# protected; the protector's runtime is linked in, so that no DLL of the compiler's is needed.
export CFLAGS="-O2 -ffp-contract=off -fstack-protector-strong"
export LDFLAGS="-static-libgcc -fstack-protector-strong -Wl,-Bstatic,-lssp,-Bdynamic \
-Wl,--dynamicbase,--nxcompat,--high-entropy-va"

# build DIR "MAKE TARGETS" "INSTALL TARGETS" CONFIGURE-OPTIONS...
build() {
    local dir=$1 targets=$2 installs=$3
    shift 3
    echo "Building $(basename $dir) for Windows"
    # shellcheck disable=SC2086 # the targets are lists of words
    (cd $dir && ./configure "${common[@]}" "$@" >configure.log 2>&1 &&
        make -j "$jobs" $targets >make.log 2>&1 && make $installs >install.log 2>&1) ||
        { tail -n 30 "$dir"/*.log >&2 && echo "building $dir failed" >&2 && exit 1; }
}

# Without the redirection SDL's entry point would send standard output and error into files.
build "libsdl1.2-*" all install --disable-stdio-redirect
build "libmikmod-*" all install --disable-alldrv --disable-doc
# XM is all the program plays: every other format stays out, and the module library is linked
# rather than looked for at run time. Its two sample players are not needed.
build "sdl-mixer1.2-*" build/libSDL_mixer.la "install-hdrs install-lib" --enable-music-mod --disable-music-mod-shared --disable-music-mod-modplug \
    --disable-music-ogg --disable-music-flac --disable-music-mp3 --disable-music-mp3-mad-gpl \
    --disable-music-midi --disable-music-cmd --disable-music-wave \
    LIBMIKMOD_CONFIG="$prefix/bin/libmikmod-config"
# Their licence texts go out with them; the DLLs go out without their symbols.
mkdir -p "$prefix/share/licences"
cp libsdl1.2-*/COPYING "$prefix/share/licences/SDL.txt"
cp libsdl1.2-*/README-SDL.txt "$prefix/share/licences/SDL-README.txt"
cp sdl-mixer1.2-*/COPYING "$prefix/share/licences/SDL_mixer.txt"
cp libmikmod-*/COPYING.LIB "$prefix/share/licences/libmikmod.txt"
x86_64-w64-mingw32-strip --strip-all "$prefix"/bin/*.dll
touch "$stamp"

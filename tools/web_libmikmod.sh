#!/usr/bin/env bash
# Builds libmikmod for the browser with emcc from Debian's source package, into $1
# (build/web-libmikmod): the sources in $1/src, the static library and its header in $1/prefix.
# A finished build is kept and reused until this script changes; the sources come from
# tools/debian_sources.sh.
set -euo pipefail

root=$(realpath -m "$1")
prefix=$root/prefix
stamp=$prefix/.built-$(sha1sum "$0" | cut -c 1-12)
[ -e "$stamp" ] && exit 0

jobs=$(nproc 2>/dev/null || echo 2)
tools=$(dirname "$(realpath "$0")")

rm -rf "$root/src" "$prefix"
mkdir -p "$root/src" "$prefix"
cd "$root/src"
echo "Building libmikmod for the browser"
"$tools/debian_sources.sh" libmikmod
cd libmikmod-*/
# The same samples as the desktop's 64-bit library: WebAssembly has 64-bit integers, so the mixer
# takes its 64-bit path, and its final division by the oversampling factor stays signed, as it
# is where long has 64 bits (with a 32-bit unsigned long it would round negative samples up).
sed -i 's/^\(#define SAMPLING_FACTOR (1\)UL<</\1ULL<</' playercode/virtch2.c
grep -q '^#define SAMPLING_FACTOR (1ULL<<' playercode/virtch2.c ||
    { echo "libmikmod's mixer is not the one tools/web_libmikmod.sh knows" >&2 && exit 1; }
# Its configure script does not know WebAssembly; any cross host makes it build for emcc without
# running what it builds. No driver but the silent one: the page plays what the library mixes.
# Like the program, it is built without fused multiply-adds.
(CFLAGS="-O2 -ffp-contract=off -DNATIVE_64BIT_INT" emconfigure ./configure --host=i686-pc-linux-gnu \
    --prefix="$prefix" --disable-shared --enable-static --disable-alldrv --disable-doc \
    --disable-threads --disable-dl --disable-simd >configure.log 2>&1 &&
    emmake make -j "$jobs" >make.log 2>&1 && make install >install.log 2>&1) ||
    { tail -n 30 ./*.log >&2 && echo "building libmikmod for the browser failed" >&2 && exit 1; }
touch "$stamp"

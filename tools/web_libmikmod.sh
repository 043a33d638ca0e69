#!/usr/bin/env bash
# Builds libmikmod for the browser with emcc from Debian's source package, into $1
# (build/web-libmikmod): the sources in $1/src, the static library and its header in $1/prefix.
# A finished build is kept and reused. "apt-get source" needs a deb-src entry (tools/run.sh adds
# one).
set -euo pipefail

root=$(realpath -m "$1")
prefix=$root/prefix
stamp=$prefix/.built-1
[ -e "$stamp" ] && exit 0

jobs=$(nproc 2>/dev/null || echo 2)
rm -rf "$root/src" "$prefix"
mkdir -p "$root/src" "$prefix"
cd "$root/src"
echo "Building libmikmod for the browser"
apt-get source -q libmikmod >source.log 2>&1 ||
    { cat source.log >&2 && echo "cannot fetch libmikmod's sources (see above)" >&2 && exit 1; }
cd libmikmod-*/
# Its configure script does not know WebAssembly; any cross host makes it build for emcc without
# running what it builds. No driver but the silent one: the page plays what the library mixes.
# Like the program, it is built without fused multiply-adds.
(CFLAGS="-O2 -ffp-contract=off" emconfigure ./configure --host=i686-pc-linux-gnu \
    --prefix="$prefix" --disable-shared --enable-static --disable-alldrv --disable-doc \
    --disable-threads --disable-dl --disable-simd >configure.log 2>&1 &&
    emmake make -j "$jobs" >make.log 2>&1 && make install >install.log 2>&1) ||
    { tail -n 30 ./*.log >&2 && echo "building libmikmod for the browser failed" >&2 && exit 1; }
touch "$stamp"

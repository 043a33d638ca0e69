#!/usr/bin/env bash
# Before the Windows tests: unpacks the zip ($1) into $2/zip and makes a fresh wine prefix in
# $2/prefix, as a new user's Windows would be. Without a window manager wine would wait seconds
# for one at every exit, so its windows are unmanaged; it has no sound card to look for.
set -euo pipefail
zip=$1 dir=$2
rm -rf "$dir"
mkdir -p "$dir/zip"
unzip -q "$zip" -d "$dir/zip"
export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# No display: the prefix is made without one.
DISPLAY= wineboot --init >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null
wineserver --wait
echo "unpacked $(basename "$zip") and made a wine prefix in $dir"

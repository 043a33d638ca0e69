#!/usr/bin/env bash
# Runs a Windows program under wine for the end-to-end scripts (RUNNER=this script), in the
# prefix that tests/windows/set_up.sh made (WINEPREFIX). Windows' SDL draws through its own video
# driver; the disk audio driver and the X display come through the environment as they are.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" SDL_VIDEODRIVER=windib
exec wine "$@"

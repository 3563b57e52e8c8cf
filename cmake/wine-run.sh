#!/bin/sh
# Runs one Windows program under Wine in the build's private prefix, never the user's own.
# TALLOWMERE_WINEPREFIX is exported by scripts/test; a direct ctest run falls back to a prefix beside the
# current directory's build tree.
: "${TALLOWMERE_WINEPREFIX:=${PWD%%/build*}/build/wineprefix}"
export WINEPREFIX="$TALLOWMERE_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"

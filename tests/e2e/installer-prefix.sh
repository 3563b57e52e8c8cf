#!/bin/sh
# Runs the installer test as a user's first install meets the machine: packs the installer with CPack
# as scripts/package does, then runs the test program in a Wine prefix made fresh for this run (its own
# wineserver, ended afterwards).
#
#   installer-prefix.sh CPACK CPACK_CONFIG FOLDER WINE_RUN TEST_PROGRAM
set -u
cpack=$1 config=$2 folder=$3 wine_run=$4 program=$5
prefix="$folder/wineprefix"

mkdir -p "$folder"
rm -f "$folder"/tallowmere-*-setup.exe
if ! "$cpack" --config "$config" -G NSIS -B "$folder/staging" -D CPACK_OUTPUT_FILE_PREFIX="$folder" \
    >"$folder/cpack.log" 2>&1; then
    cat "$folder/cpack.log"
    exit 1
fi

# winedbg is kept out so that a crash fails the test at once instead of holding it to its timeout.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wineserver -k >/dev/null 2>&1
rm -rf "$prefix" "$folder/work"
wineboot -i >/dev/null 2>&1
# The test's Wine programs start their own server, with the display they are given: one left by
# wineboot without a display would refuse them windows.
wineserver -k >/dev/null 2>&1
TALLOWMERE_WINEPREFIX="$prefix" "$wine_run" "$program"
status=$?
wineserver -k >/dev/null 2>&1
exit $status

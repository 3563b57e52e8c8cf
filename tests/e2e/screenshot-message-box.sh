#!/usr/bin/env bash
# Saves a picture of the environment-failure message box as a person sees it: tallowmere.exe with no
# browser runtime, inside a Wine virtual desktop (so the box gets its title bar) on a private Xvfb
# display, in a Wine prefix of its own whose dialog fonts are linked to Noto Sans CJK (so the Chinese
# caption and text render instead of empty boxes).
#
#   tests/e2e/screenshot-message-box.sh OUT.png      (TALLOWMERE_BUILD_DIR: the build, default build/)
set -euo pipefail
[ $# -eq 1 ] || { sed -n '7p' "$0" | sed 's/^# *//' >&2; exit 2; }
out=$(realpath -m -- "$1")
source "$(dirname "$0")/../../scripts/lib/setup.sh"
exe="$TALLOWMERE_BUILD_DIR/tallowmere.exe"
[ -f "$exe" ] || { tm_log "build tallowmere.exe first ($exe)"; exit 1; }

export WINEPREFIX="$TALLOWMERE_BUILD_DIR/wineprefix-screenshot" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WEBVIEW2_BROWSER_EXECUTABLE_FOLDER
TM_XVFB_PID=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -z "$TM_XVFB_PID" ] || kill "$TM_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
tm_start_xvfb
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for font in "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg"; do
    wine reg add "$links" /v "$font" /t REG_MULTI_SZ /d "NotoSansCJK-Regular.ttc,Noto Sans CJK SC" /f >/dev/null 2>&1
done
wineserver -w

wine explorer /desktop=shot,1600x1200 "$(winepath -w "$exe")" >/dev/null 2>&1 &
# The program's windows live inside the desktop window, out of the X server's sight: wait for the
# desktop, then give the program time to look for a runtime and show its box.
for _ in $(seq 1 100); do
    xwininfo -root -tree 2>/dev/null | grep -q 'Wine desktop' && break
    sleep 0.2
done
sleep 5
import -window root "$out"
tm_log "saved $out"

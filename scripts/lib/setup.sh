# Shared set-up for scripts/run and scripts/test: installs what a fresh Debian machine lacks, then
# configures and builds. Source it from bash; it defines functions and a few variables only.

TALLOWMERE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TALLOWMERE_BUILD_DIR=${TALLOWMERE_BUILD_DIR:-$TALLOWMERE_ROOT/build}
export TALLOWMERE_WINEPREFIX=${TALLOWMERE_WINEPREFIX:-$TALLOWMERE_BUILD_DIR/wineprefix}

# Debian packages the build, the packages, the tests and the development runtime need.
TALLOWMERE_APT_PACKAGES=(
    cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools googletest nsis
    wine wine64 xvfb xauth x11-utils imagemagick
    nodejs npm chromium fonts-noto-cjk fonts-noto-color-emoji cmark-gfm iproute2
)

tm_log() { printf '[tallowmere] %s\n' "$*" >&2; }

tm_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null 2>&1; then sudo "$@"; else
        tm_log "need root to run: $*"; return 1
    fi
}

tm_install_packages() {
    local missing=()
    local pkg
    for pkg in "${TALLOWMERE_APT_PACKAGES[@]}"; do
        # A Node.js build that bundles npm (not Debian's own) conflicts with Debian's npm package.
        [ "$pkg" = npm ] && command -v npm >/dev/null 2>&1 && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    tm_log "installing: ${missing[*]}"
    tm_as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive tm_as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

tm_install_node_modules() {
    # npm ci only when the lock file changed since the last install.
    local stamp="$TALLOWMERE_ROOT/node_modules/.tallowmere-lock"
    if [ -f "$stamp" ] && cmp -s "$stamp" "$TALLOWMERE_ROOT/package-lock.json"; then
        return 0
    fi
    tm_log "npm ci"
    (cd "$TALLOWMERE_ROOT" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$TALLOWMERE_ROOT/package-lock.json" "$stamp"
}

tm_build() {
    if [ ! -f "$TALLOWMERE_BUILD_DIR/build.ninja" ]; then
        cmake -S "$TALLOWMERE_ROOT" -B "$TALLOWMERE_BUILD_DIR" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$TALLOWMERE_ROOT/cmake/toolchain-mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$TALLOWMERE_BUILD_DIR" -j "$(nproc)" "$@"
}

# The development runtime talks to its driver over the loopback interface. A fresh machine or container
# can start with it down, and then a connection to 127.0.0.1 is neither made nor refused: it hangs.
tm_ensure_loopback() {
    local flags
    flags=$(cat /sys/class/net/lo/flags 2>/dev/null) || return 0
    (((flags & 1) == 1)) && return 0
    tm_log "the loopback interface is down: bringing it up"
    tm_as_root ip link set lo up || tm_log "could not bring the loopback interface up: the development runtime cannot connect"
}

# A private Xvfb display for this run; sets DISPLAY and TM_XVFB_PID.
tm_start_xvfb() {
    local n
    for n in $(seq 90 130); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
            TM_XVFB_PID=$!
            export DISPLAY=":$n"
            local i
            for i in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && return 0
                sleep 0.1
            done
        fi
    done
    tm_log "could not start Xvfb"
    return 1
}

tm_prepare_wine() {
    # winedbg is kept out so that a crash fails its test at once instead of holding it to its timeout.
    export WINEPREFIX="$TALLOWMERE_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        tm_log "creating the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
    fi
    # One persistent server for the whole run spares every program start a server start-up.
    wineserver -p >/dev/null 2>&1 || true
    # Start Wine's background services now, with their output here: started by the first test
    # instead, they would inherit that test's output pipe and keep it open until its time-out.
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

tm_stop_wine() {
    WINEPREFIX="$TALLOWMERE_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
}

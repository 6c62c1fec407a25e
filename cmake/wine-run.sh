#!/usr/bin/env bash
# Runs one Windows program under Wine, in the build tree's own prefix and X display.
#   wine-run.sh BUILD_DIR LOADER PROGRAM [ARGS...]   run PROGRAM with LOADER (wine or wine64)
#   wine-run.sh BUILD_DIR --stop                      end this tree's wineserver, Wine processes and Xvfb
set -u
build=$(cd "$1" && pwd) || exit 2
shift
state="$build/wine-state"
mkdir -p "$state"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko install prompts, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

stop_all() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    if [ -s "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1
        for _ in $(seq 50); do kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$state/xvfb.pid" "$state/display"
}

if [ "${1:-}" = "--stop" ]; then
    stop_all
    exit 0
fi

loader=$1
shift

start_xvfb() {
    if [ -s "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null && [ -s "$state/display" ]; then
        return 0
    fi
    rm -f "$state/display"
    # -displayfd picks a free display and tells us which.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$state/display" 9>&- </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
        [ -s "$state/display" ] && return 0
        sleep 0.1
    done
    echo "wine-run: Xvfb did not start (see $state/xvfb.log)" >&2
    return 1
}

# Everything that starts background processes happens once, under a lock, with stdio and
# the lock detached: Wine's helpers otherwise inherit CTest's pipes (or the lock) and keep them.
{
    flock 9
    start_xvfb || exit 1
    export DISPLAY=":$(head -n1 "$state/display")"
    wineserver -p30 9>&- </dev/null >/dev/null 2>&1
    fresh=$?   # 0: this call started the server; 2: one was running already
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        boot=/usr/lib/wine/wine64
        [ -x "$boot" ] || boot=$loader
        "$boot" wineboot -i 9>&- </dev/null >"$state/wineboot.log" 2>&1
        # Creating the prefix restarts the server without our options: start ours again.
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
        wineserver -p30 9>&- </dev/null >/dev/null 2>&1
        fresh=0
    fi
    if [ "$fresh" = 0 ]; then
        "$loader" cmd /c exit 9>&- </dev/null >/dev/null 2>&1
    fi
} 9>"$state/lock"

export DISPLAY=":$(head -n1 "$state/display")"
exec "$loader" "$@"

#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...]: runs a program of the Windows build under Wine with the
# project's set-up (a 32-bit prefix inside the build folder, no debug chatter, no Mono or
# Gecko prompts), from the current folder, in the current network namespace, and passes
# its exit status through. The prefix is made on first use.
# wine.sh --start-server / --stop-server: one wineserver for a whole suite (the Windows
# suite's first and last tests). Without one, each program starts a server that lingers
# for a moment after the program, and a program started just as that server is on its way
# out loses its connection to it ("wine client error: recvmsg: Connection reset by peer").
# The server is started fresh in this network namespace: sockets are made by the server,
# so one left from a run elsewhere would make them outside it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TIDE_WINDOWS_BUILD:-$ROOT/build/windows}"
export WINEPREFIX="${TIDE_WINEPREFIX:-$BUILD/wine-prefix}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# How long the suite's server outlives its last program, in seconds: long enough for any
# gap between two tests, short enough that an interrupted suite leaves nothing for long.
SUITE_SERVER_IDLE=300

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Programs run side by side: one of them makes the prefix, the others wait for it.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
    wineserver --wait
    flock -u 9
    exec 9>&-
fi

stop_server() {
    wineserver --kill 2>/dev/null || true
    wineserver --wait 2>/dev/null || true
}

case "${1:-}" in
    --start-server)
        stop_server
        # The server goes on in the background once it is ready, and so do Wine's own
        # processes (services, devices), which the first program under a server starts: both
        # are started here with no output, since whatever they inherit stays open until the
        # server ends, and CTest waits for a test's output to close.
        wineserver --persistent="$SUITE_SERVER_IDLE" </dev/null >/dev/null 2>&1
        wineboot </dev/null >/dev/null 2>&1 ;;
    --stop-server)
        stop_server ;;
    *)
        exec wine "$@" ;;
esac

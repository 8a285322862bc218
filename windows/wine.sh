#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...]: runs a program of the Windows build under Wine with the
# project's set-up (a 32-bit prefix inside the build folder, no debug chatter, no Mono or
# Gecko prompts), from the current folder, in the current network namespace, and passes
# its exit status through. The prefix is made on first use.
# wine.sh --check: whether this machine can run Wine's 32-bit half at all (some virtual
# machines' kernels run 64-bit programs only); says why not, on standard error.
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

# Wine's 32-bit half is a 32-bit x86 Linux program; a kernel without IA-32 emulation
# refuses every one ("Exec format error"). The 32-bit loader, which Wine's packages bring,
# is the smallest such program to try.
I386_LOADER=/lib/ld-linux.so.2
runs_i386() { "$I386_LOADER" --help >/dev/null 2>&1; }
if ! runs_i386; then
    if [ -e "$I386_LOADER" ]; then
        echo "wine.sh: this machine runs no 32-bit x86 programs (its kernel has IA-32 emulation off: $I386_LOADER gives \"Exec format error\"), so Wine cannot run the Windows build here" >&2
    else
        echo "wine.sh: $I386_LOADER is missing: ./tide deps installs Wine's 32-bit half" >&2
    fi
    exit 126
fi
[ "${1:-}" != "--check" ] || exit 0
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

#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...]: runs a program of either Windows build under the Wine that
# runs its kind, with the project's set-up (a prefix of that kind inside its build folder,
# no debug chatter, no Mono or Gecko prompts), from the current folder, in the current
# network namespace, and passes its exit status through. The prefix is made on first use.
#   a 64-bit program (build/windows64): wine64, on any x86-64 machine with Debian's wine64
#   a 32-bit program (build/windows): Wine's 32-bit half, which is a 32-bit x86 Linux
#     program: only where the kernel runs those itself (under QEMU's user-mode emulation
#     every Wine program costs about a minute of CPU before its own code runs)
# When no Wine here can run the program, it says why and answers 126.
# wine.sh --check win32|win64: whether this machine can run that kind (why not, on
# standard error).
# wine.sh --start-server win32|win64 / --stop-server win32|win64: one wineserver for a whole
# suite (the Windows suite's first and last tests). Without one, each program starts a
# server that lingers for a moment after the program, and a program started just as that
# server is on its way out loses its connection to it ("wine client error: recvmsg:
# Connection reset by peer"). The server is started fresh in this network namespace:
# sockets are made by the server, so one left from a run elsewhere would make them outside
# it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

refuse() {
    echo "wine.sh: $*" >&2
    exit 126
}

# The kind of a PE file from its COFF header's machine field: win32 (i386), win64 (x86-64).
program_kind() {
    local file="$1" header machine
    [ -f "$file" ] || refuse "$file: no such file"
    header="$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' ')"
    [ -n "$header" ] && [ "$(od -An -c -j"$header" -N2 "$file" 2>/dev/null | tr -d ' ')" = PE ] ||
        refuse "$file is not a Windows program"
    machine="$(od -An -tx2 -j$((header + 4)) -N2 "$file" | tr -d ' ')"
    case "$machine" in
        014c) echo win32 ;;
        8664) echo win64 ;;
        *) refuse "$file is for a processor no Wine here runs (machine 0x$machine)" ;;
    esac
}

# Chooses the loader and prefix for KIND, or says why this machine cannot run it.
choose() {
    local kind="$1"
    case "$kind" in
        win64)
            [ -x "$WINE64_LOADER" ] || refuse "$WINE64_LOADER is missing: ./tide deps installs wine64"
            WINE="$WINE64_LOADER" BUILD="$ROOT/build/windows64" ;;
        win32)
            local i386
            i386="$("$ROOT/cross/i386_programs.sh")"
            [ "$i386" = native ] || refuse "64-bit Windows programs only here: $("$ROOT/cross/i386_programs.sh" --why), and Wine's 32-bit half is not usable under emulation; the 64-bit build (build/windows64, made by ./tide windows) runs under wine64"
            [ -x "$WINE32_LOADER" ] || refuse "$WINE32_LOADER is missing: ./tide deps installs Wine's 32-bit half"
            WINE="$WINE32_LOADER" BUILD="$ROOT/build/windows" ;;
        *) echo "wine.sh: no kind $kind (win32 or win64)" >&2; exit 2 ;;
    esac
    export WINELOADER="$WINE" WINEARCH="$kind" WINEPREFIX="$BUILD/wine-prefix"
}

# How long the suite's server outlives its last program, in seconds: long enough for any
# gap between two tests, short enough that an interrupted suite leaves nothing for long.
SUITE_SERVER_IDLE=300

make_prefix() {
    [ ! -f "$WINEPREFIX/system.reg" ] || return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Programs run side by side: one of them makes the prefix, the others wait for it.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$WINE" wineboot --init >/dev/null 2>&1
    wineserver --wait
    flock -u 9
    exec 9>&-
}

stop_server() {
    wineserver --kill 2>/dev/null || true
    wineserver --wait 2>/dev/null || true
}

case "${1:-}" in
    --check)
        choose "${2:-}" ;;
    --start-server)
        choose "${2:-}"
        make_prefix
        stop_server
        # The server goes on in the background once it is ready, and so do Wine's own
        # processes (services, devices), which the first program under a server starts: both
        # are started here with no output, since whatever they inherit stays open until the
        # server ends, and CTest waits for a test's output to close.
        wineserver --persistent="$SUITE_SERVER_IDLE" </dev/null >/dev/null 2>&1
        "$WINE" wineboot </dev/null >/dev/null 2>&1 ;;
    --stop-server)
        choose "${2:-}"
        stop_server ;;
    "")
        echo "usage: wine.sh PROGRAM.exe [ARGS...] | --check KIND | --start-server KIND | --stop-server KIND" >&2
        exit 2 ;;
    *)
        # program_kind refuses in a subshell of its own: its status is what counts.
        kind="$(program_kind "$1")" || exit $?
        choose "$kind"
        make_prefix
        exec "$WINE" "$@" ;;
esac

#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...]: runs a program of the Windows build under Wine with the
# project's set-up (a 32-bit prefix inside the build folder, no debug chatter, no Mono or
# Gecko prompts), in the current network namespace, and passes its exit status through.
# The prefix is made on first use.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TIDE_WINDOWS_BUILD:-$ROOT/build/windows}"
export WINEPREFIX="${TIDE_WINEPREFIX:-$BUILD/wine-prefix}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Tests run side by side: one of them makes the prefix, the others wait for it.
    exec 9>"$WINEPREFIX.lock"
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
    wineserver --wait
    flock -u 9
fi
exec wine "$@"

#!/bin/sh
# How ./tide wine runs a program of the Windows build: from the folder it is called in,
# with its arguments as given, and its exit status passed through; a file that is no
# Windows program is refused with 126 and the reason, never handed to Wine.
#   wine_runner.sh WINE_SH TIDEHOST_EXE
set -u
wine="$1" tidehost="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "$*"; exit 1; }

printf 'io.write(arg[1]) os.exit(tonumber(arg[2]))\n' > exits.lua
out="$("$wine" "$tidehost" exits.lua "gr€et ing" 7)"
status=$?
[ "$status" -eq 7 ] || fail "the program's exit status came back as $status, not 7"
[ "$out" = "gr€et ing" ] || fail "the argument came as '$out'"

printf 'plain text' > plain.exe
"$wine" plain.exe 2> why
status=$?
[ "$status" -eq 126 ] || fail "a file that is no Windows program gave $status, not 126"
grep -q 'plain.exe is not a Windows program' why || fail "no reason given: $(cat why)"
echo "exit status and arguments passed through; no Windows program refused with 126"

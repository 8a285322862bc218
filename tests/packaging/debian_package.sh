#!/bin/sh
# The Debian package as a user gets it: made by CPack from the build, unpacked into a
# scratch root, its tidehost finds its own installed modules (no option, no variable),
# answers --version, has its man page, and its installed examples send a text and a file
# that its installed listener receives whole. Run inside a private network with the build
# folder as $1.
BUILD="$1"
. "$(dirname "$0")/../support/checks.sh"
unset TIDE_PLUGIN_DIR

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/packages" >"$WORK/cpack.log" 2>&1 ||
    { echo "FAILED: cpack: $(cat "$WORK/cpack.log")" >&2; exit 1; }
PACKAGE="$(ls "$WORK"/packages/*.deb)"
[ -f "$PACKAGE" ] || { echo "FAILED: no package made" >&2; exit 1; }
[ "$(dpkg-deb -f "$PACKAGE" Package)" = tidehost ] || fail "the package's name: $(dpkg-deb -f "$PACKAGE" Package)"
depends="$(dpkg-deb -f "$PACKAGE" Depends)"
for library in libace liblua5.4 libc6 libstdc++6; do
    echo "$depends" | grep -q "$library" || fail "the package does not depend on $library: $depends"
done
dpkg-deb -f "$PACKAGE" Description | grep -q "multicast" || fail "the package has no description"
dpkg-deb -x "$PACKAGE" "$WORK/root"
ROOT="$WORK/root"
TIDEHOST="$ROOT/usr/bin/tidehost"
EXAMPLES="$ROOT/usr/share/doc/tidehost/examples"
for file in "$TIDEHOST" "$ROOT/usr/lib/tide/Tidelisten.so" "$ROOT/usr/lib/tide/Tidespeak.so" "$EXAMPLES/listen.lua" \
    "$EXAMPLES/monitor.lua" "$ROOT/usr/share/doc/tidehost/wireshark/tide.lua"; do
    [ -e "$file" ] || fail "the package has no $file"
done

"$TIDEHOST" --version | grep -q "^tidehost $(dpkg-deb -f "$PACKAGE" Version) (Lua 5.4" ||
    fail "--version: $("$TIDEHOST" --version)"
zcat "$ROOT/usr/share/man/man1/tidehost.1.gz" >"$WORK/tidehost.1" || fail "the man page is not there"
MANWIDTH=80 man -l "$WORK/tidehost.1" 2>/dev/null | grep -q "run Lua scripts against the Tidespeak" ||
    fail "the man page does not read as one"
grep -q "/usr/lib/tide" "$WORK/tidehost.1" || fail "the man page does not name the installed modules"
echo 'print(table.concat(xtra.list(), " "))' | "$TIDEHOST" - >"$WORK/classes" 2>&1
grep -qx "Tidelisten Tidespeak" "$WORK/classes" || fail "the installed tidehost without options: $(cat "$WORK/classes")"

head -c 60001 /dev/urandom >"$WORK/file.bin"
"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.67.1 --port 46701 --messages 2 --seconds 30 \
    --out "$WORK/received" >"$WORK/listen.out" 2>&1 &
BACKGROUND=$!
wait_for "$WORK/listen.out" "listening on" 30
"$TIDEHOST" "$EXAMPLES/speak.lua" --group 239.255.67.1 --port 46701 "from the package" --file "$WORK/file.bin" \
    >"$WORK/speak.out" 2>&1 || fail "speak.lua failed: $(cat "$WORK/speak.out")"
wait $BACKGROUND || fail "listen.lua failed: $(cat "$WORK/listen.out")"
BACKGROUND=""
grep -q ": from the package$" "$WORK/listen.out" || fail "the text did not come: $(cat "$WORK/listen.out")"
cmp -s "$WORK/file.bin" "$WORK/received-1.bin" || fail "the file arrived changed"

finish

#!/bin/sh
# The Debian package as a user gets it: made by CPack from the build, it holds exactly the
# files it should (the two real modules and nothing the tests build), lintian finds
# nothing to report, and unpacked into a scratch root its tidehost finds its own
# installed modules (no option, no variable) and names them in --help, answers --version,
# has its man page, and its installed examples send a text and a file that its installed
# listener receives whole. Run inside a private network with the build folder as $1.
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

# Every file and folder, as a user's dpkg -L would list them.
dpkg-deb -c "$PACKAGE" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$WORK/out"
MODULES=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/tide
DOCS=/usr/share/doc/tidehost
cat >"$WORK/expected" <<EOF
/usr
/usr/bin
/usr/bin/tidehost
/usr/lib
${MODULES%/tide}
$MODULES
$MODULES/Tidelisten.so
$MODULES/Tidespeak.so
/usr/share
/usr/share/doc
$DOCS
$DOCS/README.md
$DOCS/changelog.gz
$DOCS/copyright
$DOCS/examples
$DOCS/examples/demo.lua
$DOCS/examples/listen.lua
$DOCS/examples/monitor.lua
$DOCS/examples/options.lua
$DOCS/examples/relay.lua
$DOCS/examples/speak.lua
$DOCS/wireshark
$DOCS/wireshark/tide.lua
/usr/share/man
/usr/share/man/man1
/usr/share/man/man1/tidehost.1.gz
EOF
diff "$WORK/expected" "$WORK/out" >"$WORK/diff" || fail "the package's files: $(cat "$WORK/diff")"

# What a packager's lintian says: nothing, not even a warning.
lintian "$PACKAGE" >"$WORK/lintian.out" 2>"$WORK/lintian.err"
status=$?
[ "$status" -eq 0 ] && [ ! -s "$WORK/lintian.out" ] ||
    fail "lintian (status $status): $(cat "$WORK/lintian.out" "$WORK/lintian.err")"
# The changelog's newest entry is this version's, by the package's maintainer; the
# copyright file carries the project's licence and the terms of what the package links.
dpkg-deb -x "$PACKAGE" "$WORK/root"
ROOT="$WORK/root"
zcat "$ROOT$DOCS/changelog.gz" >"$WORK/changelog"
[ "$(dpkg-parsechangelog -l "$WORK/changelog" -S Version)" = "$(dpkg-deb -f "$PACKAGE" Version)" ] ||
    fail "the changelog's newest entry: $(head -n 1 "$WORK/changelog")"
[ "$(dpkg-parsechangelog -l "$WORK/changelog" -S Maintainer)" = "$(dpkg-deb -f "$PACKAGE" Maintainer)" ] ||
    fail "the changelog's maintainer is not the package's"
grep -qx "MIT License" "$ROOT$DOCS/copyright" || fail "the copyright file lacks the project's own licence"
for linked in "Upstream-Name: ACE" "Upstream-Name: Lua team"; do
    grep -qx "$linked" "$ROOT$DOCS/copyright" || fail "the copyright file lacks the terms of $linked"
done

TIDEHOST="$ROOT/usr/bin/tidehost"
EXAMPLES="$ROOT$DOCS/examples"
"$TIDEHOST" --help >"$WORK/help" || fail "the installed tidehost --help failed"
grep -qxF "                        $ROOT$MODULES)" "$WORK/help" ||
    fail "the installed tidehost's --help does not name its modules: $(cat "$WORK/help")"
grep -qF "$BUILD" "$WORK/help" && fail "the installed tidehost's --help names the build: $(cat "$WORK/help")"

"$TIDEHOST" --version | grep -q "^tidehost $(dpkg-deb -f "$PACKAGE" Version) (Lua 5.4" ||
    fail "--version: $("$TIDEHOST" --version)"
zcat "$ROOT/usr/share/man/man1/tidehost.1.gz" >"$WORK/tidehost.1" || fail "the man page is not there"
MANWIDTH=80 man -l "$WORK/tidehost.1" 2>/dev/null | grep -q "run Lua scripts against the Tidespeak" ||
    fail "the man page does not read as one"
grep -qF "$MODULES" "$WORK/tidehost.1" || fail "the man page does not name the installed modules"
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
cmp -s "$WORK/file.bin" "$WORK"/received-*-2.bin || fail "the file arrived changed"

finish

#!/usr/bin/env bash
# How ./tide installs its packages (tools/deps.sh), against stand-ins for apt-get,
# apt-cache, dpkg, dpkg-query and id on PATH that play a machine and its package mirror:
# nothing here touches the real apt or the network. The cases: everything installed
# already, not root, an index file that fails to download (once, twice), a fresh machine
# asking for the Windows set, i386 packages apt cannot resolve until one suite serves both
# architectures, amd64 twins that block that, a mirror nothing helps with, and the 32-bit
# sets on a machine that runs 32-bit programs itself and on one that runs none.
# Run with the source folder as $1.
SOURCE="$1"
. "$SOURCE/tests/support/checks.sh"
set -u

# The stand-in: one script under five names. Its machine lives in $STATE: installed
# ("NAME ARCH VERSION MULTI-ARCH" lines), foreign (architectures), uid, update_failures
# (how many apt-get updates fail from now), install_mode (ok; held: only -t CODENAME
# resolves; blocked: -t CODENAME with the pins of the file pins; broken: nothing does),
# closure and policy (what apt-cache depends and policy answer). Every call is logged
# to $STATE/calls.
mkdir -p "$WORK/bin"
cat >"$WORK/bin/standin" <<'STANDIN'
#!/usr/bin/env bash
S="$STATE"
tool="$(basename "$0")"
echo "$tool $*" >>"$S/calls"
installed_line() { # NAME[:ARCH] -> its line of installed
    local name="${1%%:*}" arch="${1#*:}"
    [ "$arch" != "$1" ] || arch=amd64
    awk -v n="$name" -v a="$arch" '$1 == n && ($2 == a || $2 == "all")' "$S/installed" | head -n 1
}
case "$tool" in
id) cat "$S/uid" ;;
dpkg)
    case "$1" in
    --print-architecture) echo amd64 ;;
    --print-foreign-architectures) cat "$S/foreign" ;;
    --add-architecture) echo "$2" >>"$S/foreign" ;;
    esac ;;
dpkg-query)
    package="${3:-}"
    if [ -z "$package" ]; then
        awk '{ print "ii  " $1 " " $2 " " $3 " " $4 }' "$S/installed"
    elif [ -n "$(installed_line "$package")" ]; then
        echo "install ok installed"
    else
        echo "dpkg-query: no packages found matching $package" >&2; exit 1
    fi ;;
apt-cache)
    args=" $* "
    case "$args" in
    *" depends "*) cat "$S/closure" ;;
    *" policy "*)
        for name in "$@"; do
            line="$(awk -v n="$name" '$1 == n' "$S/policy")"
            [ -n "$line" ] || continue
            printf '%s:\n  Installed: (none)\n  Candidate: %s\n  Version table:\n' "$name" "${line#* }"
        done ;;
    esac ;;
apt-get)
    if [ "$1" = update ]; then
        failures="$(cat "$S/update_failures")"
        if [ "$failures" -gt 0 ]; then
            echo $((failures - 1)) >"$S/update_failures"
            echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (40400 != 40468). Mirror sync in progress?"
            echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
            exit 100
        fi
        exit 0
    fi
    shift
    suite="" packages=()
    while [ $# -gt 0 ]; do
        case "$1" in
        -t) suite="$2"; shift ;;
        -*) ;;
        *) packages+=("$1") ;;
        esac
        shift
    done
    resolved=1
    case "$(cat "$S/install_mode")" in
    held) [ -n "$suite" ] || resolved=0 ;;
    blocked)
        [ -n "$suite" ] || resolved=0
        for pin in $(cat "$S/pins"); do
            printf '%s\n' "${packages[@]}" | grep -qxF "$pin" || resolved=0
        done ;;
    broken) resolved=0 ;;
    esac
    if [ "$resolved" -eq 0 ]; then
        echo "Some packages could not be installed. This may mean that you have"
        echo "The following packages have unmet dependencies:"
        echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
    fi
    for package in "${packages[@]}"; do
        name="${package%%=*}" arch=amd64
        case "$name" in *:*) arch="${name#*:}"; name="${name%%:*}" ;; esac
        awk -v n="$name" -v a="$arch" '!($1 == n && $2 == a)' "$S/installed" >"$S/installed.new"
        echo "$name $arch 1.0 same" >>"$S/installed.new"
        mv "$S/installed.new" "$S/installed"
    done ;;
esac
STANDIN
chmod +x "$WORK/bin/standin"
for tool in apt-get apt-cache dpkg dpkg-query id; do ln -s standin "$WORK/bin/$tool"; done
# How the machine runs 32-bit programs ($STATE/i386: native, emulated or none); --setup
# registers the emulation unless $STATE/i386_setup says fails.
cat >"$WORK/bin/i386_programs" <<'STANDIN'
#!/usr/bin/env bash
echo "i386_programs $*" >>"$STATE/calls"
if [ "${1:-}" = --setup ] && [ "$(cat "$STATE/i386")" = none ] && [ "$(cat "$STATE/i386_setup")" != fails ]; then
    echo emulated >"$STATE/i386"
fi
cat "$STATE/i386"
STANDIN
chmod +x "$WORK/bin/i386_programs"

# A machine: root, the Linux set installed, nothing foreign, a deb822 source and Debian
# 12's release file; every update and install goes through.
export STATE
machine() {
    STATE="$WORK/machine-$1"
    mkdir -p "$STATE/etc/sources.list.d"
    : >"$STATE/calls"; : >"$STATE/foreign"; : >"$STATE/closure"; : >"$STATE/policy"; : >"$STATE/pins"
    echo 0 >"$STATE/uid"
    echo 0 >"$STATE/update_failures"
    echo ok >"$STATE/install_mode"
    echo native >"$STATE/i386"
    echo works >"$STATE/i386_setup"
    (. "$SOURCE/tools/deps.sh"; for p in "${DEPS_LINUX[@]}"; do echo "$p amd64 1.0 same"; done) >"$STATE/installed"
    printf 'Types: deb\nURIs: http://mirror.invalid/debian\nSuites: bookworm bookworm-updates\nComponents: main\n' \
        >"$STATE/etc/sources.list.d/debian.sources"
    printf 'PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"\nVERSION_CODENAME=bookworm\n' >"$STATE/os-release"
}
# The Windows set's prerequisites in place (i386 and the deb-src entries).
windows_ready() {
    echo i386 >"$STATE/foreign"
    : >"$STATE/etc/sources.list.d/tide-deb-src.sources"
}
# deps SET...: deps_ensure for each set in turn, as ./tide calls it (with its shell options:
# a command that fails unexpectedly ends the run), against the stand-ins; its output in
# $STATE/out, its status in $STATE/status.
deps() {
    (
        set -euo pipefail
        export PATH="$WORK/bin:$PATH" TIDE_APT_ETC="$STATE/etc" TIDE_OS_RELEASE="$STATE/os-release" \
            TIDE_APT_RETRY_PAUSE=0 TIDE_I386_PROGRAMS="$WORK/bin/i386_programs"
        . "$SOURCE/tools/deps.sh"
        for set in "$@"; do deps_ensure "$set"; done
    ) >"$STATE/out" 2>&1
    echo $? >"$STATE/status"
}
expect_status() { [ "$(cat "$STATE/status")" = "$2" ] || fail "$1: status $(cat "$STATE/status"), expected $2: $(cat "$STATE/out")"; }
expect_said() { grep -qF -- "$2" "$STATE/out" || fail "$1: no \"$2\" in what it said: $(cat "$STATE/out")"; }
expect_called() { grep -qxF -- "$2" "$STATE/calls" || fail "$1: no call \"$2\" among: $(cat "$STATE/calls")"; }
expect_not_called() { ! grep -qE -- "$2" "$STATE/calls" || fail "$1: a call matching \"$2\": $(grep -E -- "$2" "$STATE/calls")"; }
calls_to() { grep -c -- "^$1" "$STATE/calls"; }
windows_64bit="gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64"
windows_packages="$windows_64bit wine32:i386"

# Everything there: no apt call at all, for either set.
machine installed
windows_ready
for p in lintian $windows_packages; do echo "${p%%:*} $([ "${p#*:}" = "$p" ] && echo amd64 || echo "${p#*:}") 1.0 same"; done >>"$STATE/installed"
deps linux release windows
expect_status "all installed" 0
expect_not_called "all installed" '^(apt-get|dpkg --add)'
[ ! -s "$STATE/out" ] || fail "all installed: it said something: $(cat "$STATE/out")"

# The Linux set asks for no Windows package, no i386 architecture and no deb-src entries,
# on a fresh machine whose index files fail to download.
machine linux-fresh
: >"$STATE/installed"
echo 5 >"$STATE/update_failures"
deps linux
expect_status "Linux set on a fresh machine" 0
expect_not_called "Linux set on a fresh machine" 'mingw|wine|i386|--add-architecture'
[ ! -e "$STATE/etc/sources.list.d/tide-deb-src.sources" ] || fail "Linux set on a fresh machine: deb-src entries added"
expect_called "Linux set on a fresh machine" "apt-get install -y -qq $(. "$SOURCE/tools/deps.sh"; echo "${DEPS_LINUX[*]}")"

# Not root: nothing is run; it names the missing packages and the commands to run.
machine not-root
echo 1000 >"$STATE/uid"
deps windows
expect_status "not root" 1
expect_not_called "not root" '^(apt-get|dpkg --add)'
expect_said "not root" "missing packages: $windows_packages"
expect_said "not root" "dpkg --add-architecture i386"
expect_said "not root" "apt-get install $windows_packages"

# An index file fails once: apt-get update is tried again, and the install goes on.
machine index-once
echo 1 >"$STATE/update_failures"
deps release
expect_status "an index failing once" 0
[ "$(calls_to "apt-get update")" = 2 ] || fail "an index failing once: $(calls_to "apt-get update") updates, expected 2"
expect_called "an index failing once" "apt-get install -y -qq lintian"
! grep -q "failed again" "$STATE/out" || fail "an index failing once: it warned of a second failure"

# It fails twice: a warning with apt's own line, and the install goes on with what apt has.
machine index-twice
echo 2 >"$STATE/update_failures"
deps release
expect_status "an index failing twice" 0
[ "$(calls_to "apt-get update")" = 2 ] || fail "an index failing twice: $(calls_to "apt-get update") updates, expected 2"
expect_said "an index failing twice" "going on with the index files apt has"
expect_said "an index failing twice" "Mirror sync in progress?"
expect_called "an index failing twice" "apt-get install -y -qq lintian"

# A fresh machine and the Windows set: i386 added, deb-src entries beside the deb ones,
# then one update, then the install.
machine windows-fresh
deps windows
expect_status "Windows set on a fresh machine" 0
expect_called "Windows set on a fresh machine" "dpkg --add-architecture i386"
grep -qx "Types: deb-src" "$STATE/etc/sources.list.d/tide-deb-src.sources" 2>/dev/null ||
    fail "Windows set on a fresh machine: no deb-src entries"
grep -qx "Suites: bookworm bookworm-updates" "$STATE/etc/sources.list.d/tide-deb-src.sources" 2>/dev/null ||
    fail "Windows set on a fresh machine: the deb-src entries do not name the deb entries' suites"
[ "$(grep -E '^(dpkg --add|apt-get)' "$STATE/calls" | cut -d' ' -f1-2 | tr '\n' ' ')" = \
    "dpkg --add-architecture apt-get update apt-get install " ] ||
    fail "Windows set on a fresh machine: calls out of order: $(cat "$STATE/calls")"

# All three sets in one run, as ./tide test asks: one update serves the Linux sets, and
# the new i386 architecture and deb-src entries take another before the Windows set.
machine all-fresh
: >"$STATE/installed"
deps linux release windows
expect_status "every set on a fresh machine" 0
[ "$(grep -E '^(dpkg --add|apt-get)' "$STATE/calls" | cut -d' ' -f1-2 | tr '\n' ' ')" = \
    "apt-get update apt-get install apt-get install dpkg --add-architecture apt-get update apt-get install " ] ||
    fail "every set on a fresh machine: calls: $(grep -E '^(dpkg --add|apt-get)' "$STATE/calls")"

# Held broken packages: the i386 packages resolve with one suite for both architectures.
machine held
windows_ready
echo held >"$STATE/install_mode"
deps windows
expect_status "held packages" 0
expect_called "held packages" "apt-get install -y -qq -t bookworm $windows_packages"

# Installed amd64 twins from another suite block even that: the Multi-Arch: same ones in
# the closure whose i386 candidate differs are brought to it in the same transaction; a
# twin of the same version, one that is not Multi-Arch: same, and one outside the closure
# are left alone.
machine blocked
windows_ready
echo blocked >"$STATE/install_mode"
echo "libgstreamer1.0-0:amd64=1.22.0-2" >"$STATE/pins"
cat >>"$STATE/installed" <<'INSTALLED'
libgstreamer1.0-0 amd64 1.22.0-2+deb12u2 same
libc6 amd64 2.36-9 same
libwine amd64 8.0~repack-4 foreign
libgtk-3-0 amd64 3.24.38-2+deb12u1 same
INSTALLED
printf 'wine32:i386\n  Depends: libwine:i386\nlibwine:i386\n  Depends: libgstreamer1.0-0:i386\n  Depends: <libc.so:i386>\n<libc.so:i386>\nlibgstreamer1.0-0:i386\nlibc6:i386\n' >"$STATE/closure"
printf 'wine32:i386 8.0~repack-4\nlibwine:i386 8.1\nlibgstreamer1.0-0:i386 1.22.0-2\nlibc6:i386 2.36-9\nlibgtk-3-0:i386 3.24.38-2\n' >"$STATE/policy"
deps windows
expect_status "blocking twins" 0
expect_said "blocking twins" "block them: libgstreamer1.0-0:amd64=1.22.0-2"
expect_called "blocking twins" \
    "apt-get install -y -qq --allow-downgrades -t bookworm $windows_packages libgstreamer1.0-0:amd64=1.22.0-2"

# Nothing resolves: it gives up saying which packages, apt's reason and what to run.
machine broken
windows_ready
echo broken >"$STATE/install_mode"
deps windows
expect_status "unresolvable" 1
expect_said "unresolvable" "could not install: $windows_packages"
expect_said "unresolvable" "E: Unable to correct problems, you have held broken packages."
expect_said "unresolvable" "apt-get install -t bookworm $windows_packages"
[ "$(wc -l <"$STATE/out")" -le 16 ] || fail "unresolvable: more than a few lines: $(cat "$STATE/out")"
# Without foreign packages there is no other suite to try.
machine broken-linux
: >"$STATE/installed"
echo broken >"$STATE/install_mode"
deps linux
expect_status "unresolvable Linux set" 1
[ "$(calls_to "apt-get install")" = 1 ] || fail "unresolvable Linux set: $(calls_to "apt-get install") installs, expected 1"
expect_said "unresolvable Linux set" "E: Unable to correct problems"

# A machine that runs no 32-bit programs: the Windows set without Wine's 32-bit half and
# without the i386 architecture, which nothing else needs.
machine windows-64bit-only
echo none >"$STATE/i386"
deps windows
expect_status "Windows set, 64-bit only" 0
expect_called "Windows set, 64-bit only" "apt-get install -y -qq $windows_64bit"
expect_not_called "Windows set, 64-bit only" ':i386|--add-architecture'
grep -qx "Types: deb-src" "$STATE/etc/sources.list.d/tide-deb-src.sources" 2>/dev/null ||
    fail "Windows set, 64-bit only: no deb-src entries"

# The 32-bit set there: the compilers and QEMU, then the emulation registered once; a
# second run finds it all in place and does nothing.
machine linux32-64bit-only
echo none >"$STATE/i386"
deps linux32
expect_status "32-bit set, 64-bit only" 0
expect_called "32-bit set, 64-bit only" "apt-get install -y -qq g++-multilib qemu-user-static"
expect_called "32-bit set, 64-bit only" "i386_programs --setup"
: >"$STATE/calls"
deps linux32
expect_status "32-bit set, 64-bit only, again" 0
expect_not_called "32-bit set, 64-bit only, again" '^apt-get|--setup'
# Registered by hand or by an earlier run, with the packages already there.
machine linux32-unregistered
echo none >"$STATE/i386"
windows_ready
echo "g++-multilib amd64 1.0 same" >>"$STATE/installed"
echo "qemu-user-static amd64 1.0 same" >>"$STATE/installed"
deps linux32
expect_status "32-bit set, emulation not registered" 0
expect_called "32-bit set, emulation not registered" "i386_programs --setup"
expect_not_called "32-bit set, emulation not registered" '^apt-get'
# The registration fails: the set fails, saying so.
machine linux32-no-binfmt
echo none >"$STATE/i386"
echo fails >"$STATE/i386_setup"
deps linux32
expect_status "32-bit set, no registration" 1
expect_said "32-bit set, no registration" "the 32-bit suite cannot run here"
# Not root: it says what to run, the registration included.
machine linux32-not-root
echo none >"$STATE/i386"
echo 1000 >"$STATE/uid"
deps linux32
expect_status "32-bit set, not root" 1
expect_said "32-bit set, not root" "i386_programs.sh --setup"
expect_not_called "32-bit set, not root" '^apt-get|--setup'

# Where the kernel runs 32-bit programs itself: no QEMU, nothing registered.
machine linux32-native
deps linux32
expect_status "32-bit set, native" 0
expect_called "32-bit set, native" "apt-get install -y -qq g++-multilib"
expect_not_called "32-bit set, native" 'qemu|--setup'

finish

# The Debian packages this project needs, and how they are installed: sourced by ./tide
# (and by its test, tests/tools/deps.sh, against stand-ins for apt and dpkg).
#   deps_ensure linux     what the Linux build, its tests, the demo and the benchmarks need
#   deps_ensure release   what the packaging checks need besides (./tide test, ./tide package)
#   deps_ensure windows   the cross compilers for 32-bit and 64-bit Windows and Wine (its
#                         32-bit half, with the i386 architecture, only where the machine runs
#                         32-bit programs itself), with the deb-src entries the Windows
#                         builds' libraries are fetched by
#   deps_ensure linux32   the 32-bit Linux build's compilers (g++ -m32), the deb-src entries,
#                         and where the machine runs no 32-bit programs itself QEMU's
#                         user-mode emulation, registered (cross/i386_programs.sh)
# Each answers 0 when its packages are there (installing them as root when missing), else
# says which packages, why (apt's own words) and what a person can run, and answers 1.
#
# A package mirror is sometimes caught in the middle of a sync: an index file of one suite
# and architecture fails to download. apt-get update is then tried once more, and after
# that the run goes on with the index files apt has. With the i386 index of one suite
# missing, an amd64 library installed from that suite has no i386 twin of its version and
# apt gives up ("held broken packages"); the way out is one suite for both architectures
# (apt-get install -t CODENAME), with the amd64 twins that block it brought to that suite's
# version in the same transaction.

DEPS_LINUX=(build-essential cmake pkg-config libace-dev liblua5.4-dev libgtest-dev googletest libgmock-dev
            libbenchmark-dev iperf iproute2 clang libclang-rt-14-dev gnuplot-nox valgrind tshark python3
            dpkg-dev man-db)
DEPS_RELEASE=(lintian)
DEPS_WINDOWS=(gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev
              gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64)
# Wine's 32-bit half: only where the kernel runs 32-bit programs (under QEMU it is too slow
# to use), as the only package of the foreign architecture.
DEPS_WINDOWS_32=(wine32:i386)
DEPS_LINUX32=(g++-multilib)
# Only where the kernel runs no 32-bit programs.
DEPS_I386_EMULATION=(qemu-user-static)
DEPS_FOREIGN_ARCH=i386
DEPS_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# What tells how the machine runs 32-bit programs and registers their emulation (tests
# put a stand-in there).
DEPS_I386_PROGRAMS="${TIDE_I386_PROGRAMS:-$DEPS_DIR/../cross/i386_programs.sh}"

# Where apt's configuration and the system's release name are (tests point them elsewhere).
DEPS_APT_ETC="${TIDE_APT_ETC:-/etc/apt}"
DEPS_OS_RELEASE="${TIDE_OS_RELEASE:-/etc/os-release}"
# How long to wait before trying apt-get update a second time, in seconds.
DEPS_RETRY_PAUSE="${TIDE_APT_RETRY_PAUSE:-10}"
DEPS_UPDATED=0

deps_say() { printf '\033[1m==> %s\033[0m\n' "$*"; }
deps_indent() { sed 's/^/    /'; }

# The named packages that are not installed, one a line.
deps_missing() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -qx "install ok installed" || echo "$package"
    done
}

deps_codename() { sed -n 's/^VERSION_CODENAME=//p' "$DEPS_OS_RELEASE" 2>/dev/null | tr -d '"' | head -n 1; }

deps_sources_present() {
    [ -f "$DEPS_APT_ETC/sources.list.d/tide-deb-src.sources" ] || [ -f "$DEPS_APT_ETC/sources.list.d/tide-deb-src.list" ]
}

# deb-src entries for the mirrors and suites apt already has, for the source packages the
# Windows build's libraries come from.
deps_add_sources() {
    local dir="$DEPS_APT_ETC/sources.list.d"
    mkdir -p "$dir"
    if [ -f "$dir/debian.sources" ]; then
        sed 's/^Types: deb$/Types: deb-src/' "$dir/debian.sources" > "$dir/tide-deb-src.sources"
    fi
    if [ -f "$DEPS_APT_ETC/sources.list" ] && grep -q '^deb ' "$DEPS_APT_ETC/sources.list"; then
        grep '^deb ' "$DEPS_APT_ETC/sources.list" | sed 's/^deb /deb-src /' > "$dir/tide-deb-src.list"
    fi
    deps_sources_present || { deps_say "found no deb entries in $DEPS_APT_ETC to add deb-src entries for"; return 1; }
}

# apt's reasons in a log: its error lines and the packages it names as unresolvable.
deps_reasons() { { grep -E '^E: | : (Depends|PreDepends|Breaks|Conflicts): ' || true; } | head -n 5; }

# apt-get update, once a run (again after the sources changed). A failed index is tried
# once more; then the run goes on with what apt has, saying which index failed.
deps_update() {
    [ "$DEPS_UPDATED" -eq 0 ] || return 0
    DEPS_UPDATED=1
    local log
    log="$(apt-get update -qq 2>&1)" && return 0
    deps_say "apt-get update failed; trying once more in $DEPS_RETRY_PAUSE s:"
    deps_reasons <<<"$log" | deps_indent
    sleep "$DEPS_RETRY_PAUSE"
    log="$(apt-get update -qq 2>&1)" && return 0
    deps_say "warning: apt-get update failed again; going on with the index files apt has:"
    deps_reasons <<<"$log" | deps_indent
}

# The native-architecture twins, among the installed packages, that keep the foreign
# packages named from installing with CODENAME's versions: Multi-Arch: same packages whose
# foreign twin (in the packages' dependency closure) has another candidate version there.
# Prints NAME:ARCH=VERSION, the version the twin must have, one a line.
deps_blockers() {
    local codename="$1"; shift
    local native closure
    native="$(dpkg --print-architecture)"
    closure="$(apt-cache -o APT::Default-Release="$codename" depends --recurse --no-recommends --no-suggests \
        --no-conflicts --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null |
        grep -E "^[^ <].*:$DEPS_FOREIGN_ARCH\$" | sort -u)" || true
    [ -n "$closure" ] || return 0
    # The foreign candidates: "NAME VERSION" for each package of the closure.
    local candidates
    # shellcheck disable=SC2086
    candidates="$(apt-cache -o APT::Default-Release="$codename" policy $closure 2>/dev/null |
        awk -v arch=":$DEPS_FOREIGN_ARCH:" '
            /^[^ ]/ { name = $1; sub(arch "$", "", name); next }
            /^  Candidate: / && $2 != "(none)" { print name, $2 }')" || true
    dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Architecture} ${Version} ${Multi-Arch}\n' 2>/dev/null |
        awk -v native="$native" -v candidates="$candidates" '
            BEGIN { n = split(candidates, lines, "\n"); for (i = 1; i <= n; i++) { split(lines[i], f, " "); want[f[1]] = f[2] } }
            $1 == "ii" && $3 == native && $5 == "same" && ($2 in want) && want[$2] != $4 { print $2 ":" native "=" want[$2] }' ||
        true
}

# Installs the packages; with foreign ones among them, when apt cannot resolve them, one
# suite for both architectures. Says why when nothing worked.
deps_install() {
    local log
    deps_say "installing $*"
    log="$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" 2>&1)" && return 0
    local reasons codename="" tried=""
    reasons="$(deps_reasons <<<"$log")"
    if printf '%s\n' "$@" | grep -q ":$DEPS_FOREIGN_ARCH\$"; then codename="$(deps_codename)"; fi
    if [ -n "$codename" ]; then
        deps_say "apt could not install them; trying the versions of $codename for both architectures"
        log="$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t "$codename" "$@" 2>&1)" && return 0
        tried="apt-get install -t $codename $*"
        local blockers
        blockers="$(deps_blockers "$codename" "$@" | tr '\n' ' ')"
        blockers="${blockers% }"
        if [ -n "$blockers" ]; then
            deps_say "and with $codename's versions of the installed twins that block them: $blockers"
            # shellcheck disable=SC2086
            log="$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --allow-downgrades -t "$codename" \
                "$@" $blockers 2>&1)" && return 0
            tried="apt-get install --allow-downgrades -t $codename $* $blockers"
        fi
        reasons="$(deps_reasons <<<"$log")"
    fi
    deps_say "could not install: $*"
    echo "    apt said:"
    printf '%s\n' "${reasons:-$(tail -n 3 <<<"$log")}" | deps_indent | deps_indent
    [ -z "$tried" ] || echo "    also tried: $tried"
    echo "    When the package mirror is in the middle of a sync, wait a while and run this again;"
    echo "    or, as root:"
    echo "      apt-get update"
    echo "      apt-get install $*"
    [ -z "$codename" ] || echo "      apt-get install -t $codename $*   (one suite for both architectures)"
    return 1
}

# How the machine runs 32-bit x86 programs: native, emulated or none.
deps_i386() { "$DEPS_I386_PROGRAMS"; }

# Registers the emulation of 32-bit programs (root; only where the machine runs none).
deps_register_emulation() {
    deps_say "registering QEMU's user-mode emulation for 32-bit x86 programs (binfmt_misc)"
    [ "$("$DEPS_I386_PROGRAMS" --setup)" = emulated ] && return 0
    deps_say "could not register it, so the 32-bit suite cannot run here"
    return 1
}

# deps_ensure SET: see the top of this file.
deps_ensure() {
    local set="$1" missing wanted i386="" foreign=0 emulation=0
    case "$set" in
        linux) wanted=("${DEPS_LINUX[@]}") ;;
        release) wanted=("${DEPS_RELEASE[@]}") ;;
        windows)
            wanted=("${DEPS_WINDOWS[@]}")
            i386="$(deps_i386)"
            if [ "$i386" = native ]; then wanted+=("${DEPS_WINDOWS_32[@]}"); foreign=1; fi ;;
        linux32)
            wanted=("${DEPS_LINUX32[@]}")
            i386="$(deps_i386)"
            if [ "$i386" != native ]; then wanted+=("${DEPS_I386_EMULATION[@]}"); emulation=1; fi ;;
        *) deps_say "deps_ensure: no package set $set"; return 1 ;;
    esac
    mapfile -t missing < <(deps_missing "${wanted[@]}")
    local arch=1 sources=1 register=0
    if [ "$foreign" -eq 1 ]; then
        dpkg --print-foreign-architectures | grep -qx "$DEPS_FOREIGN_ARCH" || arch=0
    fi
    if [ -n "$i386" ]; then deps_sources_present || sources=0; fi
    if [ "$emulation" -eq 1 ] && [ "$i386" = none ]; then register=1; fi
    [ ${#missing[@]} -ne 0 ] || [ "$arch" -eq 0 ] || [ "$sources" -eq 0 ] || [ "$register" -eq 1 ] || return 0
    if [ "$(id -u)" -ne 0 ]; then
        deps_say "${missing[*]:+missing packages: ${missing[*]}}${missing[*]:+; }run ./tide as root once, or as root:"
        [ "$arch" -eq 1 ] || echo "    dpkg --add-architecture $DEPS_FOREIGN_ARCH"
        [ "$sources" -eq 1 ] || echo "    (deb-src entries for your mirrors and suites, beside their deb entries)"
        echo "    apt-get update"
        [ ${#missing[@]} -eq 0 ] || echo "    apt-get install ${missing[*]}"
        [ "$register" -eq 0 ] || echo "    $(cd "$DEPS_DIR/.." && pwd)/cross/i386_programs.sh --setup   (this machine runs no 32-bit programs itself)"
        return 1
    fi
    if [ "$arch" -eq 0 ]; then dpkg --add-architecture "$DEPS_FOREIGN_ARCH"; DEPS_UPDATED=0; fi
    if [ "$sources" -eq 0 ]; then deps_add_sources || return 1; DEPS_UPDATED=0; fi
    [ ${#missing[@]} -eq 0 ] && [ "$arch" -eq 1 ] && [ "$sources" -eq 1 ] || deps_update
    [ ${#missing[@]} -eq 0 ] || deps_install "${missing[@]}" || return 1
    [ "$register" -eq 0 ] || deps_register_emulation
}

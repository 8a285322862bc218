#!/usr/bin/env bash
# Builds what a cross build links and Debian does not package for its target, from
# Debian's own source packages (unpacked by dpkg-source, so Debian's patches are applied),
# into a cache outside the clone. The targets:
#   i686-w64-mingw32     32-bit Windows: the modules' own platform
#   x86_64-w64-mingw32   64-bit Windows: the Windows code, run by wine64 on any x86-64 machine
#   i686-linux-gnu       32-bit x86 Linux (g++ -m32): the 32-bit arithmetic and the calling
#                        convention of the modules' platform, on Linux's system calls
# What each gets:
#   ace-VERSION-fixesN-rR-FLAVOURTOOLCHAIN/        ACE and its headers (patch_ace): static for
#                                                  Windows, shared for Linux as Debian builds it
#   win_iconv-VERSION-rR-FLAVOURTOOLCHAIN/         win_iconv.c's static library (Windows only;
#                                                  the framework declares its entries itself)
#   lua-VERSION-rR-FLAVOURTOOLCHAIN/               static liblua.a and its headers
#   googletest-VERSION-rR-FLAVOURTOOLCHAIN/        GoogleTest from /usr/src/googletest
# Each is keyed by the version of its source package, by this script's recipe (R) and by
# the installed versions of the target's compiler packages (TOOLCHAIN), so that a later
# run reuses it and an updated compiler or C runtime builds it anew. Each is built into a
# temporary folder and renamed into place only once complete: a prefix that exists is
# whole. One run at a time builds (a lock in the cache); a second one waits for it.
# Usage: cross/libraries.sh CACHE_DIR TARGET [all]   (prints the prefixes file to pass to
#                                                     CMake as TIDE_CROSS_LIBRARIES)
#        cross/libraries.sh CACHE_DIR TARGET ace|win_iconv|lua|googletest   (its prefix)
set -euo pipefail
shopt -s inherit_errexit
CACHE="$1"
TARGET="$2"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${TIDE_JOBS:-$(nproc)}"
# Bump when a change to this script changes what it builds, so caches of the old way go.
RECIPE=2

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Per target: the compilers, the archiver, the packages whose versions key the cache, the
# CMake toolchain file, and the name the cache's folders carry.
case "$TARGET" in
    i686-w64-mingw32 | x86_64-w64-mingw32)
        WINDOWS=1
        CC="$TARGET-gcc-posix"
        CXX="$TARGET-g++-posix"
        CFLAGS=""
        AR="$TARGET-ar"
        arch="${TARGET%%-*}"
        TOOLCHAIN_PACKAGES=("gcc-mingw-w64-${arch//_/-}-posix" "g++-mingw-w64-${arch//_/-}-posix" "mingw-w64-${arch//_/-}-dev")
        TOOLCHAIN_FILE="$ROOT/cross/windows-$arch.cmake"
        # The 32-bit Windows caches kept their first name when the others came.
        if [ "$arch" = i686 ]; then FLAVOUR=mingw; else FLAVOUR="mingw-$arch-"; fi ;;
    i686-linux-gnu)
        WINDOWS=0
        CC=gcc
        CXX=g++
        CFLAGS="-m32"
        AR=ar
        TOOLCHAIN_PACKAGES=(gcc-12-multilib g++-12-multilib libc6-dev-i386)
        TOOLCHAIN_FILE="$ROOT/cross/linux-i386.cmake"
        FLAVOUR="linux-i386-" ;;
    *) say "cross/libraries.sh: no target $TARGET"; exit 2 ;;
esac

# The installed versions of the target's toolchain packages, as one key ("12.2.0-14_10.0.0-3"
# when the compilers' versions agree).
toolchain_key() {
    local versions
    versions="$(dpkg-query -W -f='${Version}\n' "${TOOLCHAIN_PACKAGES[@]}")" || {
        say "the compiler packages for $TARGET are not installed: ${TOOLCHAIN_PACKAGES[*]}"; return 1; }
    awk '!seen[$0]++' <<<"$versions" | paste -sd_
}
TOOLCHAIN="$(toolchain_key)"

mkdir -p "$CACHE/src" "$CACHE/build"
exec 8>"$CACHE/lock"
if ! flock -n 8; then
    say "waiting for another build of the cross libraries in $CACHE"
    flock 8
fi

# The version of a Debian source package that apt would fetch.
source_version() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | head -n 1; }

# Fetches (once) a source package's files into $CACHE/src and unpacks it with dpkg-source,
# Debian's patches applied, into a fresh folder; prints the folder. FETCH_AS is a name apt
# finds the source package by (a binary package of it): the source name alone may find
# another package's source.
unpack_source() {
    local package="$1" version="$2" work="$3" fetchAs="${4:-$1}"
    local dsc="$CACHE/src/${package}_${version#*:}.dsc"
    if [ ! -f "$dsc" ]; then
        (cd "$CACHE/src" && apt-get source -qq --download-only "$fetchAs=$version" 2>&1 |
            { grep -v unsandboxed || true; } >&2)
    fi
    rm -rf "$work" && mkdir -p "$work"
    dpkg-source --no-copy -x "$dsc" "$work/tree" >"$work.unpack.log" 2>&1 || {
        cat "$work.unpack.log" >&2; return 1; }
    echo "$work/tree"
}

# Runs BUILD_FUNCTION TREE TEMPORARY PREFIX, which builds into TEMPORARY (a folder beside
# PREFIX) what is to be found at PREFIX, then renames TEMPORARY to PREFIX; an interrupted
# run leaves only the temporary folder, cleared by the next.
# Usage: build_into PREFIX BUILD_FUNCTION TREE
build_into() {
    local prefix="$1" build="$2" tree="$3" partial="$1.partial"
    rm -rf "$partial"
    mkdir -p "$partial"
    "$build" "$tree" "$partial" "$prefix"
    mv -T "$partial" "$prefix"
}

# from_source NAME SOURCE_PACKAGE FETCH_AS MAKE_FUNCTION [KEY]: NAME's prefix, built by
# MAKE_FUNCTION from the source package (FETCH_AS: see unpack_source) unless the cache has
# it already (KEY: more of what it is keyed by); prints the prefix.
from_source() {
    local name="$1" package="$2" fetchAs="$3" make="$4" key="${5:-}"
    local version prefix tree
    version="$(source_version "$package")"
    prefix="$CACHE/${name}-${version}${key}-r${RECIPE}-${FLAVOUR}${TOOLCHAIN}"
    if [ -d "$prefix" ]; then echo "$prefix"; return; fi
    say "$name from $package $version for $TARGET"
    tree="$(unpack_source "$package" "$version" "$CACHE/build/$name-$TARGET" "$fetchAs")"
    build_into "$prefix" "$make" "$tree"
    rm -rf "$CACHE/build/$name-$TARGET"
    echo "$prefix"
}

# One change to ACE's source as Debian ships it: a join on every interface skips an
# interface that is up but has no IPv4 address, instead of reading through the null
# address list that Windows gives for it (a crash of the host's process; Wine shows it
# with any interface that has no address, such as the spare end of a veth pair). The
# line is in ACE's Windows code only, so the Linux build has nothing to change.
ACE_FIXES=1
patch_ace() {
    local file="$1/ace/SOCK_Dgram_Mcast.cpp"
    grep -q 'if (pAddrs->OperStatus != IfOperStatusUp)$' "$file" || { say "ACE: the line to fix is not there"; return 1; }
    sed -i 's/if (pAddrs->OperStatus != IfOperStatusUp)$/if (pAddrs->OperStatus != IfOperStatusUp || pAddrs->FirstUnicastAddress == 0)/' "$file"
}

# ACE's own makefiles (made by its bundled MPC) for the target: for Windows its mingw
# platform, static; for 32-bit Linux Debian's own configuration (debian/config.h: IPv6
# and the wide-character overloads, as the 64-bit libace-dev has them), shared.
ace_platform() {
    local tree="$1"
    if [ "$WINDOWS" -eq 1 ]; then
        echo '#include "ace/config-win32.h"' > "$tree/ace/config.h"
        cat <<MACROS
CROSS_COMPILE=$TARGET-
static_libs_only=1
debug=0
optimize=1
inline=1
ssl=0
include \$(ACE_ROOT)/include/makeinclude/platform_mingw32.GNU
CC=$CC
CXX=$CXX
DLD=\$(CXX)
LD=\$(CXX)
MACROS
    else
        cp "$tree/debian/config.h" "$tree/ace/config.h"
        cat <<MACROS
buildbits=32
debug=0
optimize=1
inline=1
ssl=0
ipv6=1
include \$(ACE_ROOT)/include/makeinclude/platform_linux.GNU
MACROS
    fi
}

make_ace() {
    local tree="$1" prefix="$2"
    say "(ACE is built once per target: 5 to 11 minutes on 2 cores)"
    export ACE_ROOT="$tree" MPC_ROOT="$tree/MPC"
    patch_ace "$ACE_ROOT"
    ace_platform "$ACE_ROOT" > "$ACE_ROOT/include/makeinclude/platform_macros.GNU"
    local log="$CACHE/build/ace-$TARGET.log"
    (cd "$ACE_ROOT/ace" && perl ../bin/mwc.pl -type gnuace ace.mwc >/dev/null &&
        make -f GNUmakefile.ACE -j "$JOBS" >"$log" 2>&1) || { tail -n 30 "$log" >&2; return 1; }
    mkdir -p "$prefix/lib" "$prefix/include/ace"
    if [ "$WINDOWS" -eq 1 ]; then
        cp "$(find "$ACE_ROOT" -name libACE.a | head -n 1)" "$prefix/lib/"
    else
        # The library under its versioned name, which it records as its own, and the name
        # a link finds it by.
        local library
        library="$(find "$ACE_ROOT/ace" -maxdepth 1 -name 'libACE.so.*' -type f | head -n 1)"
        cp "$library" "$prefix/lib/"
        ln -s "$(basename "$library")" "$prefix/lib/libACE.so"
    fi
    (cd "$ACE_ROOT" && find ace \( -name '*.h' -o -name '*.inl' -o -name '*.cpp' \) -exec cp --parents {} "$prefix/include/" \;)
}

# win_iconv.c from the glib2.0 source package, as a static library. It hands every call to
# a GNU libiconv DLL instead when $WINICONV_LIBICONV_DLL names one.
make_win_iconv() {
    local tree="$1" prefix="$2"
    mkdir -p "$prefix/lib"
    "$CC" -O2 -DUSE_LIBICONV_DLL -c "$tree/glib/win_iconv.c" -o "$tree/win_iconv.o"
    "$AR" rcs "$prefix/lib/libwin_iconv.a" "$tree/win_iconv.o"
}

# Lua from the lua5.4 source package: the library, without the two programs. On Linux with
# the options Debian's build gives it (dynamic libraries, Lua 5.3's compatible functions).
make_lua() {
    local tree="$1" prefix="$2"
    mkdir -p "$prefix/lib" "$prefix/include"
    local objects=() options=(-O2 -std=gnu99) headers=(lua.h luaconf.h lualib.h lauxlib.h lua.hpp)
    if [ "$WINDOWS" -eq 0 ]; then
        options+=($CFLAGS -fPIC -DLUA_COMPAT_5_3 -DLUA_USE_LINUX)
        # Debian's luaconf.h takes the library folder's architecture from a header its build
        # writes.
        printf '#ifndef _LUA_DEB_MULTIARCH_\n#define _LUA_DEB_MULTIARCH_\n#define DEB_HOST_MULTIARCH "%s"\n#endif\n' \
            i386-linux-gnu >"$tree/src/lua5.4-deb-multiarch.h"
        headers+=(lua5.4-deb-multiarch.h)
    fi
    for source in "$tree"/src/*.c; do
        case "$(basename "$source")" in lua.c|luac.c) continue ;; esac
        "$CC" "${options[@]}" -c "$source" -o "${source%.c}.o"
        objects+=("${source%.c}.o")
    done
    "$AR" rcs "$prefix/lib/liblua.a" "${objects[@]}"
    (cd "$tree/src" && cp "${headers[@]}" "$prefix/include/")
}

build_ace() { from_source ace ace libace-dev make_ace "-fixes${ACE_FIXES}"; }
build_win_iconv() { from_source win_iconv glib2.0 glib2.0 make_win_iconv; }
build_lua() { from_source lua lua5.4 lua5.4 make_lua; }

# GoogleTest from the googletest package's sources, with the project's toolchain: configured
# for its final prefix (its pkg-config files name it), installed into the temporary one.
make_googletest() {
    local work="$1" partial="$2" prefix="$3"
    cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$work" -j "$JOBS" >/dev/null
    cmake --install "$work" --prefix "$partial" >/dev/null
}

build_googletest() {
    local version prefix
    version="$(dpkg-query -W -f='${Version}' googletest)"
    prefix="$CACHE/googletest-${version}-r${RECIPE}-${FLAVOUR}${TOOLCHAIN}"
    if [ -d "$prefix" ]; then echo "$prefix"; return; fi
    say "GoogleTest $version for $TARGET"
    local work="$CACHE/build/googletest-$TARGET"
    rm -rf "$work"
    build_into "$prefix" make_googletest "$work"
    rm -rf "$work"
    echo "$prefix"
}

# Every prefix, one per line, in a file CMake reads (TIDE_CROSS_LIBRARIES).
write_prefixes() {
    local file="$CACHE/prefixes-r${RECIPE}-${FLAVOUR}${TOOLCHAIN}.cmake" ace iconv="" lua googletest
    ace="$(build_ace)"
    [ "$WINDOWS" -eq 0 ] || iconv="$(build_win_iconv)"
    lua="$(build_lua)"
    googletest="$(build_googletest)"
    {
        echo "set(TIDE_ACE_PREFIX \"$ace\")"
        echo "set(TIDE_WIN_ICONV_PREFIX \"$iconv\")"
        echo "set(TIDE_LUA_PREFIX \"$lua\")"
        echo "set(TIDE_GOOGLETEST_PREFIX \"$googletest\")"
    } > "$file.new"
    mv "$file.new" "$file"
    echo "$file"
}

case "${3:-all}" in
    ace) build_ace ;;
    win_iconv) build_win_iconv ;;
    lua) build_lua ;;
    googletest) build_googletest ;;
    all) write_prefixes ;;
esac

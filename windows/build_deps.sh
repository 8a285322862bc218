#!/usr/bin/env bash
# Builds what the 32-bit Windows tree links and Debian does not package for mingw, from
# Debian's own source packages (unpacked by dpkg-source, so Debian's patches are applied),
# into a cache outside the clone:
#   $CACHE/ace-VERSION-fixesN-rR-mingwTOOLCHAIN/  static libACE.a and its headers (patch_ace)
#   $CACHE/win_iconv-VERSION-rR-mingwTOOLCHAIN/   win_iconv.c's static library (the framework
#                                                 declares its entries itself)
#   $CACHE/lua-VERSION-rR-mingwTOOLCHAIN/         static liblua.a and its headers
#   $CACHE/googletest-VERSION-rR-mingwTOOLCHAIN/  GoogleTest from /usr/src/googletest
# Each is keyed by the version of its source package, by this script's recipe (R) and by
# the installed versions of the mingw packages (TOOLCHAIN), so that a later run reuses it
# and an updated compiler or C runtime builds it anew. Each is built into a temporary
# folder and renamed into place only once complete: a prefix that exists is whole. One
# run at a time builds (a lock in the cache); a second one waits for it.
# Usage: windows/build_deps.sh CACHE_DIR [all]   (prints the prefix file to pass to CMake)
#        windows/build_deps.sh CACHE_DIR ace|win_iconv|lua|googletest   (prints its prefix)
set -euo pipefail
shopt -s inherit_errexit
CACHE="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${TIDE_JOBS:-$(nproc)}"
CROSS=i686-w64-mingw32
CC="$CROSS-gcc-posix"
CXX="$CROSS-g++-posix"
# Bump when a change to this script changes what it builds, so caches of the old way go.
RECIPE=2

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# The installed versions of the cross toolchain's packages, as one key ("12.2.0-14_10.0.0-3"
# when the two compilers' versions agree).
toolchain_key() {
    local versions
    versions="$(dpkg-query -W -f='${Version}\n' gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix \
        mingw-w64-i686-dev)" || { say "the mingw-w64 packages are not installed"; return 1; }
    awk '!seen[$0]++' <<<"$versions" | paste -sd_
}
TOOLCHAIN="$(toolchain_key)"

mkdir -p "$CACHE/src" "$CACHE/build"
exec 8>"$CACHE/lock"
if ! flock -n 8; then
    say "waiting for another build of the Windows libraries in $CACHE"
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
    prefix="$CACHE/${name}-${version}${key}-r${RECIPE}-mingw${TOOLCHAIN}"
    if [ -d "$prefix" ]; then echo "$prefix"; return; fi
    say "$name from $package $version for $CROSS"
    tree="$(unpack_source "$package" "$version" "$CACHE/build/$name" "$fetchAs")"
    build_into "$prefix" "$make" "$tree"
    rm -rf "$CACHE/build/$name"
    echo "$prefix"
}

# One change to ACE's source as Debian ships it: a join on every interface skips an
# interface that is up but has no IPv4 address, instead of reading through the null
# address list that Windows gives for it (a crash of the host's process; Wine shows it
# with any interface that has no address, such as the spare end of a veth pair).
ACE_FIXES=1
patch_ace() {
    local file="$1/ace/SOCK_Dgram_Mcast.cpp"
    grep -q 'if (pAddrs->OperStatus != IfOperStatusUp)$' "$file" || { say "ACE: the line to fix is not there"; return 1; }
    sed -i 's/if (pAddrs->OperStatus != IfOperStatusUp)$/if (pAddrs->OperStatus != IfOperStatusUp || pAddrs->FirstUnicastAddress == 0)/' "$file"
}

make_ace() {
    local tree="$1" prefix="$2"
    say "(ACE is static and built once: 5 to 11 minutes on 2 cores)"
    export ACE_ROOT="$tree" MPC_ROOT="$tree/MPC"
    patch_ace "$ACE_ROOT"
    echo '#include "ace/config-win32.h"' > "$ACE_ROOT/ace/config.h"
    cat > "$ACE_ROOT/include/makeinclude/platform_macros.GNU" <<MACROS
CROSS_COMPILE=$CROSS-
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
    (cd "$ACE_ROOT/ace" && perl ../bin/mwc.pl -type gnuace ace.mwc >/dev/null &&
        make -f GNUmakefile.ACE -j "$JOBS" CC="$CC" CXX="$CXX" >"$CACHE/build/ace.log" 2>&1) || {
        tail -n 30 "$CACHE/build/ace.log" >&2; return 1; }
    mkdir -p "$prefix/lib" "$prefix/include/ace"
    cp "$(find "$ACE_ROOT" -name libACE.a | head -n 1)" "$prefix/lib/"
    (cd "$ACE_ROOT" && find ace \( -name '*.h' -o -name '*.inl' -o -name '*.cpp' \) -exec cp --parents {} "$prefix/include/" \;)
}

# win_iconv.c from the glib2.0 source package, as a static library. It hands every call to
# a GNU libiconv DLL instead when $WINICONV_LIBICONV_DLL names one.
make_win_iconv() {
    local tree="$1" prefix="$2"
    mkdir -p "$prefix/lib"
    "$CC" -O2 -DUSE_LIBICONV_DLL -c "$tree/glib/win_iconv.c" -o "$tree/win_iconv.o"
    "$CROSS-ar" rcs "$prefix/lib/libwin_iconv.a" "$tree/win_iconv.o"
}

# Lua from the lua5.4 source package: the library, without the two programs.
make_lua() {
    local tree="$1" prefix="$2"
    mkdir -p "$prefix/lib" "$prefix/include"
    local objects=()
    for source in "$tree"/src/*.c; do
        case "$(basename "$source")" in lua.c|luac.c) continue ;; esac
        "$CC" -O2 -std=gnu99 -c "$source" -o "${source%.c}.o"
        objects+=("${source%.c}.o")
    done
    "$CROSS-ar" rcs "$prefix/lib/liblua.a" "${objects[@]}"
    cp "$tree"/src/{lua.h,luaconf.h,lualib.h,lauxlib.h,lua.hpp} "$prefix/include/"
}

build_ace() { from_source ace ace libace-dev make_ace "-fixes${ACE_FIXES}"; }
build_win_iconv() { from_source win_iconv glib2.0 glib2.0 make_win_iconv; }
build_lua() { from_source lua lua5.4 lua5.4 make_lua; }

# GoogleTest from the googletest package's sources, with the project's toolchain: configured
# for its final prefix (its pkg-config files name it), installed into the temporary one.
make_googletest() {
    local work="$1" partial="$2" prefix="$3"
    cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$ROOT/windows/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$work" -j "$JOBS" >/dev/null
    cmake --install "$work" --prefix "$partial" >/dev/null
}

build_googletest() {
    local version prefix
    version="$(dpkg-query -W -f='${Version}' googletest)"
    prefix="$CACHE/googletest-${version}-r${RECIPE}-mingw${TOOLCHAIN}"
    if [ -d "$prefix" ]; then echo "$prefix"; return; fi
    say "GoogleTest $version"
    local work="$CACHE/build/googletest"
    rm -rf "$work"
    build_into "$prefix" make_googletest "$work"
    rm -rf "$work"
    echo "$prefix"
}

# Every prefix, one per line, in a file CMake reads (TIDE_WINDOWS_DEPS).
write_prefixes() {
    local file="$CACHE/prefixes-r${RECIPE}-mingw${TOOLCHAIN}.cmake" ace iconv lua googletest
    ace="$(build_ace)"
    iconv="$(build_win_iconv)"
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

case "${2:-all}" in
    ace) build_ace ;;
    win_iconv) build_win_iconv ;;
    lua) build_lua ;;
    googletest) build_googletest ;;
    all) write_prefixes ;;
esac

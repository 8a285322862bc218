#!/bin/sh
# The zip of the Windows modules as a user gets it: made by CPack from the build, it holds
# exactly the two real modules and its two texts (nothing the tests build), the texts
# with Windows line endings throughout, the README naming the copyright text, and that
# one carrying the terms of what is linked into the DLLs. Run with the build folder as $1.
BUILD="$1"
. "$(dirname "$0")/../support/checks.sh"

cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/packages" >"$WORK/cpack.log" 2>&1 ||
    { echo "FAILED: cpack: $(cat "$WORK/cpack.log")" >&2; exit 1; }
ZIP="$(ls "$WORK"/packages/*.zip)"
[ -f "$ZIP" ] || { echo "FAILED: no zip made" >&2; exit 1; }
# Each member's name; for a text, also its lines that do not end in CR LF.
python3 - "$ZIP" "$WORK/unpacked" >"$WORK/members" <<'PYTHON' || fail "the zip cannot be read"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    for name in sorted(archive.namelist()):
        print(name)
        if name.endswith(".txt"):
            lines = archive.read(name).split(b"\n")
            bare = sum(1 for line in lines[:-1] if not line.endswith(b"\r"))
            if bare or lines[-1]:
                print("%s: %d lines without CR LF%s" % (name, bare, ", no line end at the end" if lines[-1] else ""))
    archive.extractall(sys.argv[2])
PYTHON
cat >"$WORK/expected" <<'LIST'
COPYING.txt
README.txt
Tidelisten.dll
Tidespeak.dll
LIST
diff "$WORK/expected" "$WORK/members" >"$WORK/diff" || fail "the zip's members: $(cat "$WORK/diff")"
grep -q "^COPYING.txt  *the terms" "$WORK/unpacked/README.txt" || fail "README.txt does not name COPYING.txt"
for linked in "Permission is hereby granted, free of charge" "Upstream-Name: ACE" "This file is placed in the public domain." "mingw-w64" "GCC RUNTIME LIBRARY EXCEPTION"; do
    grep -qF "$linked" "$WORK/unpacked/COPYING.txt" || fail "COPYING.txt lacks \"$linked\""
done
finish

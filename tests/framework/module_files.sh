#!/bin/sh
# The Windows modules as files: DLLs for their processor (PE32 for i386, the modules' own
# platform; PE32+ for x86-64) that export exactly the five entries, undecorated, and import
# nothing but system DLLs, so that each drops into the host's plug-in folder as it is.
# Run with the cross objdump as $1, the plug-in folder as $2 and the processor (i686 or
# x86_64) as $3.
OBJDUMP="$1"
PLUGINS="$2"
case "$3" in
    i686) FORMAT=pei-i386 MAGIC="(PE32)" ;;
    x86_64) FORMAT=pei-x86-64 MAGIC="(PE32+)" ;;
    *) echo "FAILED: no processor $3" >&2; exit 1 ;;
esac
FAILURES=0
fail() {
    echo "FAILED: $*" >&2
    FAILURES=$((FAILURES + 1))
}
EXPECTED_EXPORTS="DllCanUnloadNow DllGetClassForm DllGetClassInfo DllGetClassObject DllGetInterface"
# The system's own DLLs: the C runtime, Winsock and the two it needs, the kernel.
SYSTEM_DLLS="ADVAPI32.dll IPHLPAPI.DLL KERNEL32.dll msvcrt.dll WS2_32.dll"

for module in Tidelisten Tidespeak; do
    file="$PLUGINS/$module.dll"
    [ -f "$file" ] || { fail "$file is missing"; continue; }
    table="$("$OBJDUMP" -p "$file")"
    echo "$table" | grep -q "file format $FORMAT\$" || fail "$module.dll is not $FORMAT"
    echo "$table" | grep "^Magic" | grep -qF "$MAGIC" || fail "$module.dll is not $MAGIC"
    echo "$table" | sed -n '/^Characteristics/,/^$/p' | grep -q "^\s*DLL$" || fail "$module.dll is not a DLL"
    exports="$(echo "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')"
    [ "$exports" = "$EXPECTED_EXPORTS " ] || fail "$module.dll exports '$exports', expected '$EXPECTED_EXPORTS'"
    for imported in $(echo "$table" | sed -n 's/^\s*DLL Name: //p'); do
        case " $SYSTEM_DLLS " in
            *" $imported "*) ;;
            *) fail "$module.dll imports $imported, which is not a system DLL" ;;
        esac
    done
done
if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "both modules: $MAGIC $FORMAT DLLs, five undecorated exports, system DLLs only"

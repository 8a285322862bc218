#!/usr/bin/env bash
# How this machine runs 32-bit x86 Linux programs, which the 32-bit build's suite and
# Wine's 32-bit half are.
#   i386_programs.sh          prints one word:
#                               native    the kernel runs them itself (IA-32 emulation on)
#                               emulated  binfmt_misc hands them to QEMU's user-mode
#                                         emulation (qemu-i386-static)
#                               none      neither: every one gives "Exec format error"
#   i386_programs.sh --setup  (root) where the answer is none, registers QEMU's user-mode
#                             emulation for i386 ELF files with binfmt_misc (mounting it
#                             when it is not), then answers as above. Nothing is changed
#                             where the machine runs them natively or the emulation is
#                             registered already, so it may run any number of times.
#   i386_programs.sh --why    one line on what the answer means, for a person.
# The kernel asks binfmt_misc before its own ELF loader, so with the emulation registered
# every 32-bit program runs emulated, even where the kernel could run it: it is never
# registered on such a machine.
set -euo pipefail
BINFMT=/proc/sys/fs/binfmt_misc
ENTRY=qemu-i386
QEMU=/usr/bin/qemu-i386-static
# Executables and shared objects for i386, little-endian, 32-bit (the pattern Debian's own
# qemu-user-binfmt uses); F: QEMU is opened once, here, so the entry works inside any
# namespace or root folder too.
REGISTRATION=":$ENTRY:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$QEMU:F"

# The smallest i386 program: an ELF header, one loaded segment, and exit(0) by int 0x80.
# Written out here, so that the answer needs nothing installed.
smallest_program() {
    local file="$1"
    {
        # ELF header: 32-bit, little-endian, executable for i386, entry 0x08048054.
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
        printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
        # Program header: the whole file loaded at 0x08048000, readable and executable.
        printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
        printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
        # mov eax, 1 (exit); xor ebx, ebx; int 0x80
        printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'
    } >"$file"
    chmod +x "$file"
}

runs_one() {
    local folder status=0
    folder="$(mktemp -d)"
    smallest_program "$folder/exit0"
    "$folder/exit0" 2>/dev/null || status=$?
    rm -rf "$folder"
    [ "$status" -eq 0 ]
}

emulation_registered() { [ -f "$BINFMT/$ENTRY" ] && head -n 1 "$BINFMT/$ENTRY" | grep -qx enabled; }

answer() {
    if emulation_registered && runs_one; then echo emulated
    elif runs_one; then echo native
    else echo none
    fi
}

setup() {
    [ "$(answer)" = none ] || { answer; return; }
    [ "$(id -u)" -eq 0 ] || { echo "i386_programs.sh: registering the emulation takes root" >&2; echo none; return 1; }
    [ -x "$QEMU" ] || { echo "i386_programs.sh: $QEMU is missing (package qemu-user-static)" >&2; echo none; return 1; }
    [ -e "$BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$BINFMT"
    if [ -f "$BINFMT/$ENTRY" ]; then
        echo 1 >"$BINFMT/$ENTRY"
    else
        printf '%s' "$REGISTRATION" >"$BINFMT/register"
    fi
    answer
}

case "${1:-}" in
    "") answer ;;
    --setup) setup ;;
    --why)
        case "$(answer)" in
            native) echo "this machine runs 32-bit x86 programs itself" ;;
            emulated) echo "this machine runs 32-bit x86 programs by QEMU's user-mode emulation (binfmt_misc entry $ENTRY)" ;;
            none) echo "this machine runs no 32-bit x86 programs (its kernel has IA-32 emulation off) and QEMU's user-mode emulation is not registered: ./tide deps registers it, as root" ;;
        esac ;;
    *) echo "usage: i386_programs.sh [--setup|--why]" >&2; exit 2 ;;
esac

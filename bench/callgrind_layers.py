#!/usr/bin/env python3
"""Instructions of a callgrind profile by layer: the plug-ins (their modules and ACE), the
emulator, tidehost, Lua, the C and C++ libraries (iconv's modules apart). Self cost of each
function, summed by the object it is in and, inside tidehost's own program, by namespace.
   callgrind_layers.py PROFILE [DIVISOR]   (DIVISOR: say per what, e.g. texts delivered)
Prints "layer instructions" lines, then "total N"; with DIVISOR, per-unit figures."""
import os
import re
import sys

LAYERS = ["plug-ins", "emulator", "tidehost", "lua", "libc", "iconv", "other"]


def layer_of(obj, function):
    base = os.path.basename(obj)
    if base.startswith(("Tidelisten", "Tidespeak", "libACE")):
        return "plug-ins"
    if base.startswith("liblua"):
        return "lua"
    if "/gconv/" in obj:
        return "iconv"
    if base.startswith(("libc.", "libc-", "libstdc++", "ld-linux", "libgcc", "libm.", "libpthread")):
        return "libc"
    if base.startswith("tidehost"):
        # The emulator is linked into tidehost's program; templates and lambdas are named
        # after the namespace they were written in.
        if "tide::emulator::" in function:
            return "emulator"
        if "tide::tidehost::" in function:
            return "tidehost"
        # Library templates made for either (std::vector<ValueSlot>...): by the types in
        # their name, else the program's.
        if "emulator::" in function:
            return "emulator"
        return "tidehost"
    return "other"


def main():
    names = {"ob": {}, "fn": {}}
    totals = {layer: 0 for layer in LAYERS}
    obj = function = ""
    skip_next_cost = False
    with open(sys.argv[1], errors="replace") as profile:
        for line in profile:
            line = line.rstrip("\n")
            key, _, value = line.partition("=")
            if key in ("ob", "fn", "cob", "cfn"):
                kind = key[-2:]
                match = re.match(r"\((\d+)\)(?: (.*))?", value)
                if match:
                    if match.group(2) is not None:
                        names[kind][match.group(1)] = match.group(2)
                    value = names[kind].get(match.group(1), "?")
                if key in ("cob", "cfn"):
                    continue
                if key == "ob":
                    obj = value
                else:
                    function = value
                continue
            if key == "calls":
                skip_next_cost = True
                continue
            if line[:1].isdigit() or line[:1] in "+-*":
                if skip_next_cost:
                    skip_next_cost = False
                    continue
                fields = line.split()
                if len(fields) >= 2 and fields[-1].isdigit():
                    totals[layer_of(obj, function)] += int(fields[-1])
    total = sum(totals.values())
    divisor = float(sys.argv[2]) if len(sys.argv) > 2 else 0
    for layer in LAYERS:
        if totals[layer] == 0:
            continue
        share = 100.0 * totals[layer] / total if total else 0
        per = " %.0f" % (totals[layer] / divisor) if divisor else ""
        print("%s %d%s %.1f%%" % (layer, totals[layer], per, share))
    print("total %d%s" % (total, " %.0f" % (total / divisor) if divisor else ""))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Splits a callgrind profile (Ir only) into what the gauge module costs and
what the host costs.

  callgrind_split.py PROFILE [PROFILE2 FRAMES]

One profile: totals. Two profiles of runs that differ only in length, and the
number of frames the longer one has more: the cost per frame, with set-up and
shut-down cancelled out.

The module's share: the instructions of carrier_ops.so itself, plus the calls
it makes into libm, libc, libstdc++ and tinyxml (maths, memcpy, string work,
its files). Calls from the module back into the host (panel services, and the
SimConnect server behind the client library) are the host's.
"""
import re
import sys
from collections import defaultdict

MODULE = "carrier_ops.so"
HELPERS = ("libm.so", "libc.so", "libstdc++.so", "libgcc_s.so", "libtinyxml.so")


def parse(path):
    names = {"ob": {}, "fn": {}, "cob": {}, "cfn": {}, "fl": {}, "fi": {}, "fe": {}, "cfi": {}, "cfl": {}}
    fn_object = {}
    total = 0
    self_by_object = defaultdict(int)
    calls_out = defaultdict(int)  # (caller object, callee object) -> inclusive Ir of the calls
    ob = fn = cob = None
    pending_call = False

    def resolve(kind, text):
        m = re.match(r"\((\d+)\)(?: (.*))?", text)
        if not m:
            return text
        table = names["ob" if kind in ("ob", "cob") else ("fn" if kind in ("fn", "cfn") else kind)]
        if m.group(2) is not None:
            table[m.group(1)] = m.group(2)
        return table.get(m.group(1), m.group(1))

    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            c = line[0]
            if c.isdigit() or c in "+-*":
                parts = line.split()
                if len(parts) < 2:
                    continue
                cost = int(parts[1])
                if pending_call:
                    calls_out[(fn_object.get(fn, ob), cob)] += cost
                    pending_call = False
                else:
                    self_by_object[fn_object.get(fn, ob)] += cost
                    total += cost
                continue
            key, _, value = line.partition("=")
            if key == "ob":
                ob = resolve("ob", value)
            elif key == "fn":
                fn = resolve("fn", value)
                fn_object[fn] = ob
                cob = ob
            elif key == "cob":
                cob = resolve("cob", value)
            elif key == "cfn" or key == "cfi" or key == "cfl":
                if key == "cfn":
                    resolve("cfn", value)
            elif key == "calls":
                pending_call = True
    return total, self_by_object, calls_out


def short(name):
    return name.rsplit("/", 1)[-1] if name else "?"


def split(path):
    total, self_by_object, calls_out = parse(path)
    module = 0
    for obj, cost in self_by_object.items():
        if short(obj) == MODULE:
            module += cost
    for (caller, callee), cost in calls_out.items():
        if short(caller) == MODULE and short(callee).startswith(HELPERS):
            module += cost
    return total, module


def main():
    if len(sys.argv) == 2:
        total, module = split(sys.argv[1])
        print(f"total {total}  module {module}  host {total - module}")
    elif len(sys.argv) == 4:
        t1, m1 = split(sys.argv[1])
        t2, m2 = split(sys.argv[2])
        frames = int(sys.argv[3])
        per = (t2 - t1) / frames
        mod = (m2 - m1) / frames
        print(f"per frame: {per:.0f} instructions, module {mod:.0f}, host {per - mod:.0f}, "
              f"ratio {per / mod:.2f}")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes benchmarks/floor/approach_libm_args.h from a capture of the libm
calls the module made during a real approach (see README.md):

  make_floor_args.py CAPTURE.txt > benchmarks/floor/approach_libm_args.h

The capture holds every pass of the run (one tan call each), and a few calls
made at lock-on. A pass makes each function's calls in the same order, so
the stream of each function is cut into windows of its calls per pass;
PASSES windows, spread evenly over the run, are kept.
"""
import sys
from collections import defaultdict

PASSES = 64
ORDER = ("sincos", "cos", "atan2", "asin", "sin", "acos", "tan")

calls = defaultdict(list)
for line in open(sys.argv[1]):
    parts = line.split()
    calls[parts[0]].append(tuple(float(p) for p in parts[1:]))

passes = len(calls["tan"])  # one tan per pass
per_pass = {name: round(len(calls[name]) / passes) for name in ORDER}

print("// Written by benchmarks/floor/make_floor_args.py from a capture of the libm")
print(f"// calls the module made over the {passes} passes of the default approach; {PASSES}")
print("// passes of them, spread evenly. Per pass: " +
      ", ".join(f"{name} {per_pass[name]}" for name in ORDER) + ".")
print("#pragma once")
print()
print(f"constexpr int FLOOR_PASSES = {PASSES};")
for name in ORDER:
    n = per_pass[name]
    two = len(calls[name][0]) == 2
    print(f"constexpr int FLOOR_{name.upper()}_CALLS = {n};")
    if two:
        print(f"constexpr double floor_{name}_args[{PASSES}][{n}][2] = {{")
    else:
        print(f"constexpr double floor_{name}_args[{PASSES}][{n}] = {{")
    windows = len(calls[name]) // n
    for k in range(PASSES):
        w = round(k * (windows - 1) / (PASSES - 1))
        args = calls[name][w * n:(w + 1) * n]
        if two:
            print("    {" + ", ".join("{%r, %r}" % a for a in args) + "},")
        else:
            print("    {" + ", ".join("%r" % a[0] for a in args) + "},")
    print("};")

#!/usr/bin/env python3
"""Writes large plot files for a manual robustness run of pltjob:

  bench/plot/stress.py DIR
  for f in DIR/*.plt; do /usr/bin/time -v build/<dir>/tools/pltjob/pltjob \
      --mode 2 --rotate --knife 1.5 --close 5 "$f" > /dev/null; done

polygons.plt  about 50 MB of closed polygons (8-40 sides), nested and apart
nested.plt    about 50 MB of squares nested ~700,000 deep, outermost first
huge.plt      coordinates at the ends of the 32-bit range and beyond
digits.plt    about 50 MB: one endless number, one endless LT parameter, and
              a line of "MD" without ';'
"""
import math
import os
import random
import sys

MB = 1 << 20


def polygons(f):
    rng = random.Random(1)
    f.write("MD0,0,2000000,2000000,4;SP2;")
    cell, columns, made = 2000, 400, 0
    while f.tell() < 50 * MB:
        cx = (made % columns) * cell + cell // 2
        cy = (made // columns) * cell + cell // 2
        radii = [cell * 0.45 * d / 4 for d in range(1, rng.randint(1, 4) + 1)]
        rng.shuffle(radii)
        for r in radii:
            n = rng.randint(8, 40)
            pts = ["%d,%d" % (round(cx + r * rng.uniform(0.9, 1) * math.cos(2 * math.pi * k / n)),
                              round(cy + r * rng.uniform(0.9, 1) * math.sin(2 * math.pi * k / n)))
                   for k in range(n)]
            f.write("PU%s;PD%s,%s;" % (pts[0], ",".join(pts[1:]), pts[0]))
        made += 1
    f.write("!PG;")


def nested(f):
    w = 2000000
    f.write("MD0,0,%d,%d,4;SP2;" % (w, w))
    i = 0
    while f.tell() < 50 * MB and i < w // 2 - 1:
        a, b = i, w - i
        f.write("PU%d,%d;PD%d,%d,%d,%d,%d,%d,%d,%d;" % (a, a, b, a, b, b, a, b, a, a))
        i += 1
    f.write("!PG;")


def huge(f):
    f.write("MD0,0,2147483647,2147483647,4;SP1;PU-2147483648,-2147483648;"
            "PD2147483647,-2147483648,2147483647,2147483647,-2147483648,2147483647,"
            "-2147483648,-2147483648;SP2;PU-2147483648,0;PD2147483647,1,-2147483648,2;"
            "PU99999999999,5;PD-99999999999,6;!PG;")


def digits(f):
    f.write("MD0,0,100,100,4;SP2;PD1,")
    f.write("7" * (16 * MB))
    f.write(";LT1,")
    f.write("9" * (16 * MB))
    f.write(";PU0,0;PD10,10;")
    f.write("MD" * (8 * MB))
    f.write("\n!PG;")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for name, write in (("polygons", polygons), ("nested", nested), ("huge", huge),
                        ("digits", digits)):
        with open(os.path.join(out, name + ".plt"), "w") as f:
            write(f)


if __name__ == "__main__":
    main()

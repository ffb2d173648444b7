#!/usr/bin/env python3
"""Writes random valid command files, one folder each, for comparisons of two
duneforge builds.

    random_chains.py FOLDER COUNT SEED

FOLDER/NNN/cmd_noise.txt for NNN = 000 .. COUNT - 1, the same files for the
same COUNT and SEED on every machine. Every module type comes up (and codes
outside 0 .. 15), with several seed bases, frequencies, small and odd tile
sizes, areas near the origin and far from it (Voronoi cells beyond 2^30
included), Select falloffs beyond their cap, exponents from below 1 to 8,
and the preview on and off. Each file keeps the limits the chain builder
holds rows to; a few areas far out are too narrow for a float and are
refused at the first tile.
"""
import os
import random
import sys

# Type codes that read the previous row, and those that name rows by index.
READS_PREVIOUS = {3, 4, 5, 13, 14, 15}
GENERATORS = [0, 1, 2, 7, 8]


def number(rng, low, high):
    """A float in [low, high), written in one of several ways the reader
    takes."""
    value = rng.uniform(low, high)
    style = rng.randrange(4)
    if style == 0:
        return repr(round(value, 3))
    if style == 1:
        return "%.9g" % value
    if style == 2:
        return "%.4e" % value
    return repr(value)


def row(rng, index):
    """One module row valid at `index`: (type, p1, p2, p3, p4) as text."""
    choices = list(GENERATORS) + [16, -1]
    if index > 0:
        choices += [3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15] * 2
    t = rng.choice(choices)
    earlier = lambda: rng.randrange(index)  # noqa: E731
    seed = number(rng, -3.0, 3.0)
    if t in (0, 2):
        return (t, rng.randint(1, 5), number(rng, 0.05, 4.0), number(rng, 0.1, 0.9), seed)
    if t == 1:
        return (t, rng.randint(-1, 5), number(rng, 0.05, 4.0), "0", seed)
    if t == 3:
        return (t, rng.randint(-30, 30), number(rng, -2.0, 2.0), number(rng, -1.0, 2.0), number(rng, -5.0, 5.0))
    if t in (4, 5):
        falloff = number(rng, 0.0, 2.0) if rng.random() < 0.8 else "750"
        return (t, earlier(), "%d.%d" % (earlier(), rng.randrange(10)), falloff, "0")
    if t in (6, 9, 10, 11):
        return (t, earlier(), "%d.%d" % (earlier(), rng.randrange(10)), "0", "0")
    if t == 7:
        return (t, rng.randint(-2, 2), number(rng, -1.0, 1.0), "0", "0")
    if t == 8:
        return (t, rng.randint(0, 2), number(rng, 0.1, 30.0), number(rng, -0.5, 0.5), seed)
    if t == 12:
        # lower = p4 / 10 - p2 stays below upper = p3.
        p2 = rng.uniform(0.0, 1.0)
        p3 = rng.uniform(0.05, 1.0)
        return (t, earlier(), repr(round(p2, 3)), repr(round(p3, 3)), "0")
    if t == 13:
        return (t, rng.randint(0, 6), number(rng, -1.0, 1.0), number(rng, 0.0, 2.0), "0")
    if t == 14:
        return (t, rng.randint(1, 4), number(rng, 0.001, 0.05), number(rng, 1.0, 50.0), number(rng, -4.0, 4.0))
    if t == 15:
        return (t, 0, "0", "0", "0")
    return (t, rng.randint(-3, 3), "1", "2", "3")  # unknown code: a default Perlin


def command_file(rng):
    rows = [row(rng, i) for i in range(rng.randint(1, 7))]
    far = rng.random() < 0.3
    centre = rng.choice([1.0e6, -3.0e7, 2.5e8]) if far else rng.uniform(-50.0, 50.0)
    # Far out a float has coarse steps: a small extent there collapses to an
    # empty area, which duneforge refuses (a comparison of the refusals).
    extent = rng.choice([1.0, 300.0, 4096.0]) if far else rng.choice([0.01, 1.0, 7.5, 300.0])
    header = [
        0,  # no host window
        len(rows),
        rng.randint(1, 3),
        rng.randint(1, 2),
        rng.randint(1, 40),
        rng.randint(1, 24),
        repr(centre),
        repr(centre + extent),
        repr(-centre * 0.5),
        repr(-centre * 0.5 + extent * rng.uniform(0.5, 2.0)),
        rng.randint(-20, 20),
        rng.randint(0, 1),
    ]
    lines = [" ".join(str(v) for v in header)]
    lines += [" ".join(str(v) for v in r) for r in rows]
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: random_chains.py FOLDER COUNT SEED")
    folder, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    for i in range(count):
        path = os.path.join(folder, "%03d" % i)
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "cmd_noise.txt"), "w", newline="\n") as out:
            out.write(command_file(rng))


if __name__ == "__main__":
    main()

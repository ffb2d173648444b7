#!/usr/bin/env python3
"""Rounds of the whole road, from a random command file to read-back outputs.

Called by scripts/soak, which finds or builds the programs:
    soak.py PROGRAM_FOLDER ROUNDS FIRST_SEED WORK_FOLDER

Round i uses the seed FIRST_SEED + i. It writes a random cmd_noise.txt (a
sound one, or one with values out of range, garbage tokens or cut short),
runs duneforge in a fresh folder, converts noise_arr.txt to HMP7, PNG16 and
OBJ with terrainconvert, and runs modelinfo and terrainview on the results.
Checks:
  - every run ends with status 0 or 1, within its time limit, and writes at
    most one line to standard error;
  - no sanitizer report (a report file in the round's folder, or a
    sanitizer's own exit status);
  - every output reads back: modelinfo walks the HMP file to its end with
    the grid's counts; the PNG and the HMP file turn into byte-identical RAW
    files of 2 x columns x rows bytes; the OBJ file holds columns x rows
    positions, normals and texture coordinates and 2 x (columns - 1) x
    (rows - 1) faces whose corners name existing vertices.
A failed round keeps its folder and prints it with the seed that replays it;
passed rounds' folders are removed. Exit status 1 when any round failed.
"""

import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import time

# Each run's time limit in seconds; rounds are kept small, so a run that
# takes this long is a hang.
RUN_SECONDS = 60
# Sizes of a sound file, small enough for a round to take about a second
# under the sanitizers.
MAX_TILES = 3
MAX_SAMPLES = 24
MAX_ROWS = 6
# Values a damaged file may still make; beyond this side a tile is refused.
MAX_VALUES = 200000
MAX_GRID_SIDE = 32767

# The statuses the sanitizers end a process with (set in the environment
# below), so that a report is never taken for a program's own status 1.
# AddressSanitizer writes its reports to files in the round's folder;
# UndefinedBehaviorSanitizer may write to standard error.
SANITIZER_STATUS = (86, 87)

# Out-of-range values of each kind of field.
BAD_INTEGERS = ["0", "-1", "-7", "101", "32768", "2147483647", "2147483648", "-2147483649",
                "99999999999999999999"]
BAD_FLOATS = ["1e39", "-1e39", "nan", "inf", "-inf", "1e-50", "3.5e38"]
GARBAGE = ["abc", "-", "+", ".", "1e", "0x10", "7.9", "1,2", "#", "--3", "\x00", "\xff\xfe", "１",
           "", "e5", "..5"]


class RoundFailure(Exception):
    pass


def number(rng, low, high):
    return repr(round(rng.uniform(low, high), rng.choice([0, 1, 3, 6])))


# Type codes by what they need: rows that make values, rows that change the
# previous row's values, and rows that name earlier rows by p1 and p2.
SOURCES = [0, 1, 2, 7, 8, 16, 99]
CHANGERS = [3, 13, 14, 15]
COMBINERS = [4, 5, 6, 9, 10, 11, 12]


def module_row(rng, i):
    """Row i of a chain that builds, now and then with a parameter that may be refused."""
    kind = rng.choice(SOURCES) if i == 0 else rng.choice(SOURCES + CHANGERS + COMBINERS + CHANGERS)
    freq, small, seed = number(rng, 0.05, 4), number(rng, -1.5, 1.5), str(rng.randint(-5, 5))
    index = lambda: str(rng.randint(0, max(i - 1, 0)))
    if kind in (0, 2):  # octaves, frequency, persistence, seed
        row = [rng.randint(1, 6), freq, number(rng, 0.1, 0.9), seed]
    elif kind == 1:
        row = [rng.randint(0, 6), freq, small, seed]
    elif kind == 7:
        row = [rng.randint(-2, 2), small, small, small]
    elif kind == 8:  # displacement p1 + p3, frequency, seed
        row = [rng.randint(0, 2), freq, number(rng, 0, 1), seed]
    elif kind == 14:  # roughness, frequency x 100, power / 100, seed
        row = [rng.randint(1, 4), number(rng, 0.001, 0.05), number(rng, 0, 50), seed]
    elif kind == 12:  # source p1, bounds p4 / 10 - p2 .. p3
        row = [index(), number(rng, 0, 1), number(rng, 0.1, 2), number(rng, -5, 5)]
    elif kind in COMBINERS:  # sources p1 and trunc(p2), falloff p3
        row = [index(), index(), number(rng, 0, 1), small]
    else:  # the previous row changed: bias, scale, exponent
        row = [rng.randint(-20, 20), small, number(rng, 0, 2), small]
    if rng.random() < 0.1:
        row[rng.randrange(4)] = rng.choice(["-3", "31", "1e30", "-1e30", "0", str(i + 1)])
    return [str(kind)] + [str(v) for v in row]


def sound_command_file(rng):
    """Fields of a file duneforge should take, and the grid it describes."""
    tiles_x, tiles_z = rng.randint(1, MAX_TILES), rng.randint(1, MAX_TILES)
    width, height = rng.randint(1, MAX_SAMPLES), rng.randint(1, MAX_SAMPLES)
    lower_x = rng.uniform(-50, 50)
    lower_z = rng.uniform(-50, 50)
    # Now and then an empty or reversed area, which duneforge refuses.
    upper_x = lower_x + (rng.uniform(0.01, 20) if rng.random() < 0.95 else rng.uniform(-1, 0.001))
    upper_z = lower_z + (rng.uniform(0.01, 20) if rng.random() < 0.95 else rng.uniform(-1, 0.001))
    count = rng.randint(1, MAX_ROWS)
    header = [str(rng.choice([0, 0, rng.randint(1, 2**31 - 1)])), str(count), str(tiles_x), str(tiles_z),
              str(width), str(height), repr(lower_x), repr(upper_x), repr(lower_z), repr(upper_z),
              str(rng.randint(-1000, 1000)), str(rng.choice([0, 1]))]
    rows = [module_row(rng, i) for i in range(count)]
    grid = (tiles_x, tiles_z, width, height)
    return header, rows, grid


def damage(rng, tokens):
    """One to three faults: a value out of range, garbage, a token lost or doubled."""
    for _ in range(rng.randint(1, 3)):
        if not tokens:
            break
        at = rng.randrange(len(tokens))
        roll = rng.random()
        if roll < 0.35:
            tokens[at] = rng.choice(BAD_INTEGERS + BAD_FLOATS)
        elif roll < 0.65:
            tokens[at] = rng.choice(GARBAGE)
        elif roll < 0.8:
            del tokens[at]
        else:
            tokens.insert(at, tokens[at])
    return tokens


def leading_integers(data, count):
    """The first `count` integer fields as duneforge reads them (an integer stops
    at the first character that cannot continue it), up to the first that fails."""
    text, at, values = data.decode("latin-1"), 0, []
    for _ in range(count):
        match = re.compile(r"[ \t\n\r\f\v]*([+-]?[0-9]+)").match(text, at)
        if not match or not -2**31 <= int(match.group(1)) < 2**31:
            break
        values.append(int(match.group(1)))
        at = match.end()
    return values


def too_large(data):
    """Whether duneforge would take the file's tiles and build more values than
    a round of about a second can: a damaged field may give 2147483647 tiles."""
    fields = leading_integers(data, 6)
    if len(fields) < 6 or min(fields[2:]) <= 0 or max(fields[4:]) > MAX_GRID_SIDE:
        return False
    return fields[2] * fields[3] * fields[4] * fields[5] > MAX_VALUES


def make_command_file(rng):
    """The file's bytes, the grid the sound version describes and the kind of
    round; a damaged file that would be too large to build is made anew."""
    while True:
        data, grid, kind = any_command_file(rng)
        if not too_large(data):
            return data, grid, kind


def any_command_file(rng):
    header, rows, grid = sound_command_file(rng)
    kind = rng.choices(["sound", "damaged", "cut", "header out of range"], weights=[50, 25, 15, 10])[0]
    if kind == "header out of range":
        # A size, count or bound field beyond what the file may hold.
        field = rng.choice([1, 2, 3, 4, 5, 6, 7, 8, 9])
        header[field] = rng.choice(BAD_FLOATS if field >= 6 else ["0", "-1", "101", "32768", "2147483648"])
        if field in (2, 3):  # tiles: never a huge count that would be built
            header[field] = rng.choice(["0", "-1", "-2147483648", "2147483648"])
    tokens = header + [t for row in rows for t in row]
    if kind == "damaged":
        tokens = damage(rng, tokens)
    separators = [rng.choice([" ", " ", "\n", "\t", "  ", "\r\n"]) for _ in tokens]
    text = "".join(t + s for t, s in zip(tokens, separators))
    data = text.encode("utf-8", "surrogateescape")
    if kind == "cut":
        data = data[:rng.randrange(len(data) + 1)]
    return data, grid, kind


def sanitizer_reports(folder):
    return sorted(name for name in os.listdir(folder) if name.startswith("sanitizer."))


def run(command, cwd, env, log, allowed=(0, 1)):
    """Runs one program and checks its status, its standard error and the sanitizers."""
    try:
        done = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=RUN_SECONDS)
    except subprocess.TimeoutExpired:
        raise RoundFailure("%s did not end within %d s" % (" ".join(command), RUN_SECONDS))
    name = os.path.basename(command[0])
    errors = done.stderr.decode("utf-8", "replace")
    log.write("$ %s\nstatus %d\n%s%s" % (" ".join(command), done.returncode, errors,
                                         done.stdout.decode("utf-8", "replace")))
    reports = sanitizer_reports(cwd)
    if reports:
        raise RoundFailure("%s: sanitizer report in %s" % (name, ", ".join(reports)))
    if done.returncode in SANITIZER_STATUS:
        raise RoundFailure("%s: sanitizer report: %s" % (name, errors.strip()[:600]))
    if done.returncode not in allowed:
        raise RoundFailure("%s ended with status %d: %s" % (name, done.returncode, errors.strip()[:300]))
    lines = errors.splitlines()
    if len(lines) > 1 or (errors and not errors.endswith("\n")):
        raise RoundFailure("%s wrote %d lines to standard error: %r" % (name, len(lines), errors[:300]))
    return done.returncode, done.stdout.decode("utf-8", "replace")


def check_material(obj_path, fields):
    """The material file an OBJ names sits beside it, and so does any texture it names."""
    if len(fields) != 2 or os.path.basename(fields[1]) != fields[1]:
        raise RoundFailure("OBJ: bad material line %r" % " ".join(fields))
    folder = os.path.dirname(obj_path)
    material = os.path.join(folder, fields[1])
    if not os.path.isfile(material):
        raise RoundFailure("OBJ: material file %s is missing" % fields[1])
    with open(material, "rb") as mtl:
        for line in mtl.read().decode("ascii").splitlines():
            parts = line.split()
            if parts and parts[0] == "map_Kd" and not os.path.isfile(os.path.join(folder, parts[-1])):
                raise RoundFailure("MTL: texture %s is missing" % parts[-1])


def check_obj(path, columns, rows):
    counts = {"v": 0, "vn": 0, "vt": 0, "f": 0, "mtllib": 0, "usemtl": 0}
    vertices = columns * rows
    with open(path, "rb") as obj:
        for line in obj.read().decode("ascii").splitlines():
            if not line or line.startswith("#"):
                continue
            fields = line.split()
            if fields[0] not in counts:
                raise RoundFailure("OBJ: unknown line %r" % line)
            counts[fields[0]] += 1
            if fields[0] == "mtllib":
                check_material(path, fields)
            elif fields[0] == "usemtl":
                if len(fields) != 2 or counts["f"]:
                    raise RoundFailure("OBJ: misplaced line %r" % line)
            elif fields[0] == "f":
                if len(fields) != 4:
                    raise RoundFailure("OBJ: a face of %d corners" % (len(fields) - 1))
                for corner in fields[1:]:
                    indices = [int(i) for i in corner.split("/")]
                    if len(indices) != 3 or not all(1 <= i <= vertices for i in indices):
                        raise RoundFailure("OBJ: corner %s names no vertex of %d" % (corner, vertices))
            else:
                values = [float(v) for v in fields[1:]]
                if len(values) != (2 if fields[0] == "vt" else 3) or not all(map(math.isfinite, values)):
                    raise RoundFailure("OBJ: bad line %r" % line)
    expected = {"v": vertices, "vn": vertices, "vt": vertices, "f": 2 * (columns - 1) * (rows - 1),
                "mtllib": 1, "usemtl": 1}
    if counts != expected:
        raise RoundFailure("OBJ: counts %s, expected %s for %d x %d" % (counts, expected, columns, rows))


def one_round(programs, seed, folder, env):
    """Runs one round in `folder`; returns the kind of round and how far the road went."""
    rng = random.Random(seed)
    data, (tiles_x, tiles_z, width, height), kind = make_command_file(rng)
    with open(os.path.join(folder, "cmd_noise.txt"), "wb") as out:
        out.write(data)
    env = dict(env, DUNEFORGE_THREADS=str(rng.randint(1, 3)))
    columns, rows = tiles_x * width, tiles_z * height
    grid = ["--size", "%dx%d" % (columns, rows), "--tiles", "%dx%d" % (tiles_x, tiles_z)]
    options = []
    if rng.random() < 0.3:
        low = rng.uniform(-3, 1)
        options += ["--range", repr(low), repr(low + rng.uniform(0.001, 3))]
    if rng.random() < 0.2:
        options += ["--height-scale", repr(rng.uniform(0.01, 100))]
    if rng.random() < 0.2:
        options += ["--spacing", repr(rng.uniform(0.1, 16))]

    with open(os.path.join(folder, "runs.log"), "w") as log:
        log.write("seed %d, %s round, grid %d x %d in %d x %d tiles, options %s\n" %
                  (seed, kind, columns, rows, tiles_x, tiles_z, " ".join(options)))
        run([programs["duneforge"]], folder, env, log)
        if not os.path.exists(os.path.join(folder, "noise_arr.txt")):
            return kind, "generator"
        run([programs["terrainview"], "noise_arr.txt"] + grid + ["view.bmp"], folder, env, log)
        made = {}
        for name in ("t.hmp", "t.png", "t.obj"):
            command = [programs["terrainconvert"], "noise_arr.txt", name] + grid + options
            status, _ = run(command, folder, env, log)
            made[name] = status == 0
            if status == 1 and os.path.exists(os.path.join(folder, name)):
                raise RoundFailure("terrainconvert failed but left %s" % name)
        if made["t.hmp"]:
            _, described = run([programs["modelinfo"], "--json", "t.hmp"], folder, env, log, allowed=(0,))
            info = json.loads(described)[0]
            if (info["magic"] != "HMP7" or not info["walk"]["complete"] or info["walk"]["trailingBytes"] != 0
                    or info["counts"]["columns"] != columns or info["counts"]["rows"] != rows):
                raise RoundFailure("modelinfo: HMP7 file does not read back as %d x %d: %s" %
                                   (columns, rows, described[:300]))
            run([programs["terrainview"], "t.hmp", "view.png"], folder, env, log, allowed=(0,))
            run([programs["terrainconvert"], "t.hmp", "from_hmp.r16"], folder, env, log, allowed=(0,))
        if made["t.png"]:
            run([programs["terrainconvert"], "t.png", "from_png.r16"], folder, env, log, allowed=(0,))
            run([programs["modelinfo"], "t.png"], folder, env, log, allowed=(1,))
            with open(os.path.join(folder, "from_png.r16"), "rb") as raw:
                from_png = raw.read()
            if len(from_png) != 2 * columns * rows:
                raise RoundFailure("PNG16 reads back as %d bytes, not %d" %
                                   (len(from_png), 2 * columns * rows))
            if made["t.hmp"]:
                with open(os.path.join(folder, "from_hmp.r16"), "rb") as raw:
                    if raw.read() != from_png:
                        raise RoundFailure("the PNG16 and HMP7 files hold different heights")
        if made["t.obj"]:
            check_obj(os.path.join(folder, "t.obj"), columns, rows)
        if made != {name: made["t.hmp"] for name in made}:
            raise RoundFailure("the conversions of one height array disagree: %s" % made)
        return kind, "whole road" if made["t.hmp"] else "converter refused"


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: soak.py PROGRAM_FOLDER ROUNDS FIRST_SEED WORK_FOLDER")
    folder, rounds, first_seed, work = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    programs = {name: os.path.join(folder, path) for name, path in
                (("duneforge", "generator/duneforge"), ("terrainconvert", "tools/terrainconvert"),
                 ("modelinfo", "tools/modelinfo"), ("terrainview", "tools/terrainview"))}
    for path in programs.values():
        if not os.access(path, os.X_OK):
            sys.exit("soak: %s is missing" % path)
    os.makedirs(work, exist_ok=True)
    failures = 0
    tally = {}
    started = time.monotonic()
    print("soak: %d rounds, seeds %d to %d, programs of %s" %
          (rounds, first_seed, first_seed + rounds - 1, folder), flush=True)
    for i in range(rounds):
        seed = first_seed + i
        round_folder = os.path.join(work, "round-%d" % seed)
        shutil.rmtree(round_folder, ignore_errors=True)
        os.makedirs(round_folder)
        reports = os.path.join(round_folder, "sanitizer")
        asan = "log_path=%s:exitcode=%d:detect_leaks=1:abort_on_error=0" % (reports, SANITIZER_STATUS[0])
        ubsan = "log_path=%s:exitcode=%d:print_stacktrace=1:halt_on_error=1" % (reports, SANITIZER_STATUS[1])
        env = dict(os.environ, ASAN_OPTIONS=asan, UBSAN_OPTIONS=ubsan, TMPDIR=round_folder)
        try:
            outcome = one_round(programs, seed, round_folder, env)
            tally[outcome] = tally.get(outcome, 0) + 1
            shutil.rmtree(round_folder)
        except (RoundFailure, ValueError, KeyError, OSError) as failure:
            failures += 1
            print("soak: round %d (seed %d) FAILED: %s\n  kept %s\n  replay: scripts/soak 1 %d" %
                  (i + 1, seed, failure, round_folder, seed), flush=True)
    seconds = time.monotonic() - started
    print("soak: %d rounds in %.0f s, %d failed" % (rounds, seconds, failures))
    for (kind, reached), count in sorted(tally.items()):
        print("  %-20s %-18s %d" % (kind, reached, count))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

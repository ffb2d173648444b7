#!/usr/bin/env python3
"""The Python module against what it binds, run by hand, never as a test.

Usage (from the repository's root, after building the module and duneforge):
    PYTHONPATH=build/checked/python /usr/bin/python3 bench/python_bench.py \
        build/checked/generator/duneforge [rounds]

1. generate: one 1024 x 1024 tile with the terrain example's rows, through
   terrain_toolkit.generate and through duneforge on the same command file
   (in a fresh folder, its height array removed before each run), in
   alternating order, wall time each. Prints both times and the paired ratio
   generate / duneforge per round and as the median (target: at most 1.05).
2. load_terrain of a 4096 x 4096 16-bit PNG: in a fresh interpreter, the
   peak resident set the call adds (the peak after it, less the resident
   set before it) against the size of the array it returns (target: at
   most 2).
"""
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

import terrain_toolkit as tt

ROOT = pathlib.Path(__file__).resolve().parent.parent


def one_tile_command(size):
    """The terrain example's command file with one tile of size x size."""
    fields = (ROOT / "examples" / "terrain.txt").read_text().split("\n")
    header = fields[1].split()
    fields[1] = " ".join(["1", "1", str(size), str(size)] + header[4:])
    return "\n".join(fields)


def time_generate(duneforge, rounds):
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        command = folder / "cmd_noise.txt"
        command.write_text(one_tile_command(1024))
        ratios = []
        for r in range(rounds):
            times = {}
            order = ("generate", "duneforge") if r % 2 == 0 else ("duneforge", "generate")
            for which in order:
                (folder / "noise_arr.txt").unlink(missing_ok=True)
                start = time.perf_counter()
                if which == "generate":
                    tt.generate(command)
                else:
                    subprocess.run([duneforge], cwd=folder, check=True)
                times[which] = time.perf_counter() - start
            ratios.append(times["generate"] / times["duneforge"])
            print(f"round {r + 1}: generate {times['generate']:.3f} s, duneforge "
                  f"{times['duneforge']:.3f} s, ratio {ratios[-1]:.3f}")
        print(f"generate / duneforge, median of {rounds} rounds: {statistics.median(ratios):.3f} "
              "(target at most 1.05)")


# The child's own peak: VmHWM starts anew with the program (ru_maxrss would
# keep the parent's peak across the exec). NumPy is loaded before the
# baseline is taken.
LOAD_PEAK = """
import sys
import numpy
import terrain_toolkit as tt
def status(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(key))
before = status("VmRSS:")
terrain = tt.load_terrain(sys.argv[1])
print(terrain.heights.nbytes, status("VmHWM:") - before)
"""


def measure_load_peak():
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "big.png"
        y, x = np.mgrid[0:4096, 0:4096] / 4096.0
        heights = np.sin(x * 20.0) * np.cos(y * 13.0) * 100.0 + x * 50.0
        tt.save_terrain(path, heights)
        del heights, x, y
        out = subprocess.run([sys.executable, "-c", LOAD_PEAK, str(path)], check=True, capture_output=True,
                             text=True, env=dict(os.environ)).stdout.split()
        array, added = int(out[0]), int(out[1])
        print(f"load_terrain 4096 x 4096 PNG16: array {array / 2**20:.1f} MiB, peak added "
              f"{added / 2**20:.1f} MiB, ratio {added / array:.2f} (target at most 2)")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    time_generate(os.path.abspath(sys.argv[1]), rounds)
    measure_load_peak()


if __name__ == "__main__":
    main()

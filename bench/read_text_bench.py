#!/usr/bin/env python3
"""Shows that ReadTextFile is linear in the length of the file: reads files
of 20,000, 100,000 and 500,000 lines (each into a buffer that holds it all)
and prints the time per line and the ratios between the sizes, beside
`cat` of the same files for scale.

The reading runs in a small program (read_text_bench.cpp) built here
against an optimised build of the library.

    python3 bench/read_text_bench.py [--rounds N]
"""
import argparse
import os
import statistics
import sys
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_common import build_library_program, seconds  # noqa: E402
LINES = (20000, 100000, 500000)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    program = build_library_program("read_text_bench.cpp")
    with tempfile.TemporaryDirectory() as work:
        files = {}
        for lines in LINES:
            path = os.path.join(work, "%d.txt" % lines)
            with open(path, "w") as f:
                for i in range(lines):
                    f.write("Zeile %d: %s\n" % (i, "x" * (i % 60)))
            files[lines] = path
        times = {}
        for lines, path in files.items():
            read = subprocess.run([program, path, "1"], stdout=subprocess.PIPE, check=True).stdout.decode().strip()
            if int(read) != os.path.getsize(path) - 1:
                raise SystemExit("ReadTextFile read %s characters of %d" % (read, os.path.getsize(path)))
            times[lines] = (statistics.median(seconds([program, path, "1"]) for _ in range(args.rounds)),
                            statistics.median(seconds(["cat", path]) for _ in range(args.rounds)))
        print("lines      ReadTextFile   per line      cat   ratio")
        for lines, (read, cat) in times.items():
            print("%7d %13.4fs %8.1fns %7.4fs %7.2f" % (lines, read, read / lines * 1e9, cat, read / cat))
        base = LINES[0]
        for lines in LINES[1:]:
            print("%d x the lines took %.2f x the time" % (lines // base, times[lines][0] / times[base][0]))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Times the finder's listings of one folder of 100,000 files in every sort
mode against `ls -f` (unsorted) and `ls` (sorted) of the same folder, and
SortNameList of 50,000 names against 10,000.

The folder: 100,000 empty files with names of mixed case, several
extension lengths, no extension, leading dots and umlaut bytes, from a
fixed seed. The listings run in a small program (listing_bench.cpp) built
here against an optimised build of the library. Every command runs
interleaved with the others, the machine warm, over several rounds; the
script prints median wall times (the program's whole run, start-up and
exit included, as for ls) and the ratios.

    python3 bench/listing_bench.py [--rounds N] [--folder DIR] [--files N]
"""
import argparse
import os
import random
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_common import build_library_program, output, seconds  # noqa: E402

MODES = (0, 1, 2, 3, 4)


def make_folder(folder, count, seed=20261208):
    rng = random.Random(seed)
    os.makedirs(folder)
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    extensions = ("", "c", "txt", "TXT", "html", "jpeg", "tar.gz", "longextension")
    made = set()
    while len(made) < count:
        base = "".join(rng.choice(letters) for _ in range(rng.randrange(3, 24)))
        if rng.random() < 0.05:
            base = "." + base
        if rng.random() < 0.05:
            base = "\xe4" + base
        ext = rng.choice(extensions)
        name = base + ("." + ext if ext else "")
        if name in made:
            continue
        made.add(name)
        fd = os.open(os.path.join(os.fsencode(folder), name.encode("latin-1")), os.O_WRONLY | os.O_CREAT, 0o644)
        os.ftruncate(fd, rng.randrange(100000))
        os.close(fd)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--files", type=int, default=100000)
    parser.add_argument("--folder", default=os.path.join(HERE, "work", "listing"))
    args = parser.parse_args()

    program = build_library_program("listing_bench.cpp", "bench-listing")
    folder = "%s-%d" % (args.folder, args.files)
    if not os.path.exists(folder + ".done"):
        print("making %d files in %s ..." % (args.files, folder), flush=True)
        make_folder(folder, args.files)
        open(folder + ".done", "w").close()

    listed = int(output([program, "list", "4", folder], "latin-1").split()[0])
    if listed != args.files:
        sys.exit("the listing found %d files of %d" % (listed, args.files))

    commands = {"mode %d" % m: [program, "list", str(m), folder] for m in MODES}
    commands["ls -f"] = ["ls", "-f", folder]
    commands["ls"] = ["ls", folder]
    for command in commands.values():
        seconds(command)  # warm
    times = {name: [] for name in commands}
    for _ in range(args.rounds):
        for name, command in commands.items():
            times[name].append(seconds(command))
    median = {name: statistics.median(values) for name, values in times.items()}
    print("folder of %d files, median of %d rounds" % (args.files, args.rounds))
    for name, value in median.items():
        print("  %-8s %.3f s   ratio to ls -f %5.2f   ratio to ls %5.2f"
              % (name, value, value / median["ls -f"], value / median["ls"]))

    sort_times = {}
    for count in (10000, 50000):
        runs = [float(output([program, "sortnames", str(count)], "latin-1").split()[1]) for _ in range(args.rounds)]
        sort_times[count] = statistics.median(runs)
        print("SortNameList of %d names: median %.4f s" % (count, sort_times[count]))
    print("SortNameList 50,000 / 10,000: time ratio %.2f (5 x the names)" % (sort_times[50000] / sort_times[10000]))


if __name__ == "__main__":
    main()

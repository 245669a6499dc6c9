#!/usr/bin/env python3
"""Times the record walkers (BuildTreeEntryList, BuildTreeFileList) against
`find TREE -printf '%s %p\\n'` on the generated tree of bench/ (the one
walk_bench.py uses, about 200,000 files), and again on a tree of the same
shape with a fifth of its entries, to show that five times the entries
cost about five times the time.

The walkers run in a small program (tree_walkers_bench.cpp) built here
against an optimised build of the library. All commands run interleaved,
the machine warm, over several rounds; the script prints median times and
ratios and checks that the walkers found what find found.

    python3 bench/tree_walkers_bench.py [--rounds N] [--tree DIR]
"""
import argparse
import os
import random
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_common import build_library_program, median_times, output  # noqa: E402
import walk_bench  # noqa: E402  (the generated tree)


def make_fifth_tree(root, seed=20261208):
    """The shape of walk_bench's tree with a fifth of its folders and files."""
    rng = random.Random(seed)

    def make_file(folder, name):
        size = rng.choice((0, 1, 100, 4096, 65536, 10**6, 3 * 10**9)) + rng.randrange(1000)
        fd = os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT, 0o644)
        os.ftruncate(fd, size)
        os.close(fd)

    os.makedirs(os.path.join(root, "big"))
    for i in range(2000):
        make_file(os.path.join(root, "big"), "file%05d.dat" % i)
    for a in range(4):
        for b in range(30):
            for c in range(31):
                folder = os.path.join(root, "a%02d" % a, "b%02d" % b, "c%02d" % c)
                os.makedirs(folder)
                for f in range(10):
                    make_file(folder, "f%d.txt" % f)
    for chain in range(2):
        folder = os.path.join(root, "deep%d" % chain)
        for level in range(60):
            folder = os.path.join(folder, "level%02d" % level)
            os.makedirs(folder)
            for f in range(2):
                make_file(folder, "g%d" % f)


def check_counts(program, tree):
    """The walkers must find every entry that find finds in a folder whose
    text stays below their folder limit of 254 characters."""
    kinds = [line.split(" ", 1)[0] for line in output(["find", tree, "-mindepth", "1", "-printf", "%y %h\n"])
             .splitlines() if len(line.split(" ", 1)[1].encode()) < 254]
    entries = int(output([program, "entries", tree]).split()[0])
    files = int(output([program, "files", tree]).split()[0])
    if entries != len(kinds) or files != kinds.count("f"):
        sys.exit("walkers found %d entries, %d files; find %d, %d" % (entries, files, len(kinds), kinds.count("f")))
    return entries, files


def time_tree(program, tree, rounds):
    commands = {
        "BuildTreeEntryList": [program, "entries", tree],
        "BuildTreeFileList": [program, "files", tree],
        "find": ["find", tree, "-printf", "%s %p\n"],
    }
    return median_times(commands, rounds)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--tree", default=os.path.join(HERE, "work", "tree"))
    args = parser.parse_args()

    program = build_library_program("tree_walkers_bench.cpp")
    if not os.path.exists(args.tree + ".total"):
        print("making the tree in", args.tree, "...", flush=True)
        total = walk_bench.make_tree(args.tree)
        with open(args.tree + ".total", "w") as f:
            f.write(str(total))
    fifth = args.tree + "-fifth"
    if not os.path.exists(fifth + ".done"):
        print("making the smaller tree in", fifth, "...", flush=True)
        make_fifth_tree(fifth)
        open(fifth + ".done", "w").close()

    results = {}
    for label, tree in (("full", args.tree), ("fifth", fifth)):
        entries, files = check_counts(program, tree)
        results[label] = (entries, time_tree(program, tree, args.rounds))
        print("%s tree: %d entries, %d files" % (label, entries, files))
        for name, median in results[label][1].items():
            ratio = "" if name == "find" else "  ratio to find %.2f" % (median / results[label][1]["find"])
            print("  %-20s median %.3f s%s" % (name, median, ratio))
    entry_ratio = results["full"][0] / results["fifth"][0]
    for name in ("BuildTreeEntryList", "BuildTreeFileList", "find"):
        print("%-20s full/fifth time %.2f for %.2f x the entries"
              % (name, results["full"][1][name] / results["fifth"][1][name], entry_ratio))


if __name__ == "__main__":
    main()

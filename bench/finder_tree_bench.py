#!/usr/bin/env python3
"""Times CFileFinder::ListTreeFiles against `find TREE -printf '%s %p\\n'`
on the generated wide tree of bench/ (the one walk_bench.py makes, about
200,000 files), and again on the tree of the same shape with a fifth of its
entries that tree_walkers_bench.py makes, to show that five times the
entries cost about five times the time.

The listing runs in a small program (finder_tree_bench.cpp) built here
against an optimised build of the library; it prints what find prints.
Both commands run interleaved, the machine warm, over several rounds; the
script prints median times and ratios and checks that the listing found
every file that find found whose path fits the finder's 260-character
records.

    python3 bench/finder_tree_bench.py [--rounds N] [--work DIR]
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_common import build_library_program, median_times, output  # noqa: E402
import tree_walkers_bench as walkers  # noqa: E402  (the trees and the timing)
import walk_bench  # noqa: E402


def check_files(program, tree):
    found = [line.split(" ", 1)[1] for line in output(["find", tree, "-type", "f", "-printf", "%s %p\n"])
             .splitlines()]
    fitting = [path for path in found if len(path.encode()) < 260]
    listed = output([program, tree]).splitlines()
    if len(listed) != len(fitting):
        sys.exit("ListTreeFiles found %d files, find %d that fit" % (len(listed), len(fitting)))
    return len(listed)


def time_tree(program, tree, rounds):
    # glibc's localtime looks at /etc/localtime again on every call while
    # TZ is not set; each record's write date costs that look then.
    commands = {"ListTreeFiles": [program, tree], "ListTreeFiles TZ=UTC": ["env", "TZ=UTC", program, tree],
                "find": ["find", tree, "-printf", "%s %p\n"]}
    return median_times(commands, rounds)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--work", default=os.path.join(HERE, "work"))
    args = parser.parse_args()

    program = build_library_program("finder_tree_bench.cpp")
    args.tree = walk_bench.ensure_tree(args.work, "wide")[0]
    fifth = args.tree + "-fifth"
    if not os.path.exists(fifth + ".done"):
        print("making the smaller tree in", fifth, "...", flush=True)
        walkers.make_fifth_tree(fifth)
        open(fifth + ".done", "w").close()

    files = {name: check_files(program, tree) for name, tree in (("full", args.tree), ("fifth", fifth))}
    full = time_tree(program, args.tree, args.rounds)
    small = time_tree(program, fifth, args.rounds)
    print("tree            files   ListTreeFiles      find   ratio   with TZ=UTC   ratio")
    for name, times in (("full", full), ("fifth", small)):
        print("%-8s %12d %13.3fs %8.3fs %7.2f %12.3fs %7.2f" % (
            name, files[name], times["ListTreeFiles"], times["find"], times["ListTreeFiles"] / times["find"],
            times["ListTreeFiles TZ=UTC"], times["ListTreeFiles TZ=UTC"] / times["find"]))
    print("full/fifth: %.2f x the files took %.2f x the time" %
          (files["full"] / files["fifth"], full["ListTreeFiles"] / small["ListTreeFiles"]))


if __name__ == "__main__":
    main()

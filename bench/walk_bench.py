#!/usr/bin/env python3
"""Times `vorkstat TREE /X` against `du -sb TREE` on one generated tree.

The tree: about 200,000 files in 20,000 folders, some of them deep, one
folder of 10,000 files; lengths from a fixed seed, files sparse so the disk
holds almost nothing. The two commands run interleaved, the machine warm,
over several rounds; the script checks vorkstat's total against the sum of
the file lengths and prints the median time ratio and vorkstat's peak
memory.

    python3 bench/walk_bench.py [--rounds N] [--tree DIR] [--vorkstat PATH]
"""
import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)


def make_tree(root, seed=20261208):
    """Returns the sum of the file lengths it wrote."""
    rng = random.Random(seed)
    total = 0

    def make_file(folder, name):
        nonlocal total
        size = rng.choice((0, 1, 100, 4096, 65536, 10**6, 3 * 10**9)) + rng.randrange(1000)
        fd = os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT, 0o644)
        os.ftruncate(fd, size)
        os.close(fd)
        total += size

    os.makedirs(root)
    big = os.path.join(root, "big")
    os.mkdir(big)
    for i in range(10000):
        make_file(big, "file%05d.dat" % i)
    # 18,600 folders in a broad tree of depth 3 with 10 files each.
    for a in range(20):
        for b in range(30):
            for c in range(31):
                folder = os.path.join(root, "a%02d" % a, "b%02d" % b, "c%02d" % c)
                os.makedirs(folder)
                for f in range(10):
                    make_file(folder, "f%d.txt" % f)
    # Deep chains: 10 of 60 levels, 2 files per level.
    for chain in range(10):
        folder = os.path.join(root, "deep%d" % chain)
        for level in range(60):
            folder = os.path.join(folder, "level%02d" % level)
            os.makedirs(folder)
            for f in range(2):
                make_file(folder, "g%d" % f)
    return total


def run(command):
    """Runs a command; returns (seconds, stdout)."""
    start = time.perf_counter()
    child = subprocess.run(command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if child.returncode < 0:
        sys.exit("%s died: %s" % (command, child.returncode))
    return seconds, child.stdout.decode()


def peak_memory_kib(command):
    """Peak resident memory of a command, as GNU time reports it (a child
    forked from this Python process would count Python's own pages)."""
    if not shutil.which("/usr/bin/time"):
        return None
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    return int(result.stderr.decode().strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--tree", default=os.path.join(HERE, "work", "tree"))
    parser.add_argument("--vorkstat", default=os.path.join(TOP, "build", "run", "vorkstat"))
    args = parser.parse_args()

    if not os.path.exists(args.vorkstat):
        subprocess.check_call(["bash", os.path.join(TOP, "scripts", "run.sh"), "/tmp", "/X"],
                              stdout=subprocess.DEVNULL)
    expected_file = args.tree + ".total"
    if not os.path.exists(expected_file):
        shutil.rmtree(args.tree, ignore_errors=True)
        print("making the tree in", args.tree, "...", flush=True)
        total = make_tree(args.tree)
        with open(expected_file, "w") as f:
            f.write(str(total))
    expected = int(open(expected_file).read())

    # Warm the caches with one run of each.
    run(["du", "-sb", args.tree])
    run([args.vorkstat, args.tree, "/X"])

    ratios, v_times, d_times = [], [], []
    for _ in range(args.rounds):
        v_seconds, v_out = run([args.vorkstat, args.tree, "/X"])
        d_seconds, _ = run(["du", "-sb", args.tree])
        m = re.match(r"Speicherbedarf: (\d+) Bytes", v_out)
        if not m or int(m.group(1)) != expected:
            sys.exit("vorkstat reported %r, expected %d" % (v_out, expected))
        ratios.append(v_seconds / d_seconds)
        v_times.append(v_seconds)
        d_times.append(d_seconds)

    print("total checked: %d bytes" % expected)
    print("vorkstat median %.3f s, du -sb median %.3f s" % (statistics.median(v_times), statistics.median(d_times)))
    print("ratio vorkstat/du: median %.2f (min %.2f, max %.2f) over %d rounds"
          % (statistics.median(ratios), min(ratios), max(ratios), args.rounds))
    v_peak = peak_memory_kib([args.vorkstat, args.tree, "/X"])
    d_peak = peak_memory_kib(["du", "-sb", args.tree])
    print("peak memory: vorkstat %s KiB, du %s KiB" % (v_peak, d_peak))


if __name__ == "__main__":
    main()

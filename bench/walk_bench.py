#!/usr/bin/env python3
"""Times `vorkstat TREE /X` against the floor (bench/floor_walk.c: the least
a walk of file lengths must do, on one thread), against `du -sb TREE` and
against gdu (a walker that reads folders in parallel too), on generated
trees, in one run.

The trees, both from fixed seeds, files sparse so the disk holds almost
nothing:
  wide   about 200,000 files in 20,000 folders, some of them deep, one folder
         of 10,000 files, short names;
  long   200,000 files in 20,000 folders, names of 50 to 240 characters,
         about 10 entries per folder;
  slow   20,000 files in 2,000 folders, seen through bench/slow_fuse.c, a
         FUSE passthrough that waits 0.2 ms in every getattr, readlink and
         readdir, with the kernel's attribute and name caches off and 64
         threads serving calls: a file system whose every metadata call is
         slow, as on a network share (--slow; needs /dev/fuse and root).

The commands run interleaved, the order turning from round to round, so
that the load of a shared machine falls on all alike. Each of
vorkstat's totals is checked against the sum of the file lengths the script
wrote (the floor's too). Printed per tree, for wall time and for CPU
time (user and system of each command alone): median times, the ratios
of vorkstat to each other command (median of the per-round ratios, with
their range), and the peak memory of each command; vorkstat's peak memory
on a tree of a tenth of the size shows whether it stays flat. How far the
machine was shared: the processors that everything else kept busy during
the runs (from /proc/stat), and the load average.

Warm (default): one run of each first, then every round from the page cache.
Cold (--cold): the page cache and the inode and dentry caches are dropped
before every single run, through /proc/sys/vm/drop_caches; that needs root,
and without it the script says so and skips the cold rounds.

gdu, fuse3 and libfuse3-dev come from Debian; the script installs them when
they are missing (with sudo when not run as root).

    python3 bench/walk_bench.py [--rounds N] [--cold] [--cold-rounds N]
                                [--slow] [--slow-rounds N]
                                [--trees wide,long] [--work DIR] [--vorkstat PATH]
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
SIZES = (0, 1, 100, 4096, 65536, 10**6, 3 * 10**9)


class TreeWriter:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.total = 0

    def file(self, folder, name):
        size = self.rng.choice(SIZES) + self.rng.randrange(1000)
        fd = os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT, 0o644)
        os.ftruncate(fd, size)
        os.close(fd)
        self.total += size


def write_broad_folders(w, root, counts, file_name):
    """Folders three levels deep, counts[0] x counts[1] x counts[2] of them,
    with 10 files each."""
    for a in range(counts[0]):
        for b in range(counts[1]):
            for c in range(counts[2]):
                folder = os.path.join(root, "a%02d" % a, "b%02d" % b, "c%02d" % c)
                os.makedirs(folder)
                for f in range(10):
                    w.file(folder, file_name % f)


def make_wide_tree(root):
    """Returns the sum of the file lengths it wrote."""
    w = TreeWriter(20261208)
    os.makedirs(root)
    big = os.path.join(root, "big")
    os.mkdir(big)
    for i in range(10000):
        w.file(big, "file%05d.dat" % i)
    # 18,600 folders in a broad tree of depth 3 with 10 files each.
    write_broad_folders(w, root, (20, 30, 31), "f%d.txt")
    # Deep chains: 10 of 60 levels, 2 files per level.
    for chain in range(10):
        folder = os.path.join(root, "deep%d" % chain)
        for level in range(60):
            folder = os.path.join(folder, "level%02d" % level)
            os.makedirs(folder)
            for f in range(2):
                w.file(folder, "g%d" % f)
    return w.total


def make_long_tree(root):
    """20,000 folders, each with 10 files and on average one subfolder (a
    tree of fan-out 4, about 8 levels), every name 50 to 240 characters."""
    w = TreeWriter(20261209)
    letters = "abcdefghijklmnopqrstuvwxyz0123456789_-."

    def name(index):
        length = w.rng.randrange(50, 241)
        head = "%05d_" % index  # unique within its folder
        return head + "".join(w.rng.choice(letters) for _ in range(length - len(head)))

    os.makedirs(root)
    folders, queue, made = [root], [root], 1
    while queue and made < 20000:
        parent = queue.pop(0)
        for i in range(4):
            if made >= 20000:
                break
            child = os.path.join(parent, name(i))
            os.mkdir(child)
            folders.append(child)
            queue.append(child)
            made += 1
    for folder in folders:
        for f in range(10):
            w.file(folder, name(10 + f))
    return w.total


def ensure_tree(work, kind):
    root = os.path.join(work, kind)
    total_file = root + ".total"
    if not os.path.exists(total_file):
        shutil.rmtree(root, ignore_errors=True)
        print("making the %s tree in %s ..." % (kind, root), flush=True)
        total = TREES[kind](root)
        with open(total_file, "w") as f:
            f.write(str(total))
    return root, int(open(total_file).read())


def ensure_packages():
    """gdu, and for the slow tree fuse3 and libfuse3-dev, from Debian."""
    wanted = []
    if shutil.which("gdu") is None:
        wanted.append("gdu")
    if shutil.which("fusermount3") is None:
        wanted.append("fuse3")
    if subprocess.run(["pkg-config", "--exists", "fuse3"], stderr=subprocess.DEVNULL).returncode != 0:
        wanted += ["libfuse3-dev", "pkg-config"]
    if not wanted:
        return
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.check_call(sudo + ["apt-get", "update", "-q"], env=env, stdout=subprocess.DEVNULL)
    subprocess.check_call(sudo + ["apt-get", "install", "-y", "-q"] + wanted, env=env, stdout=subprocess.DEVNULL)


def make_slow_tree(root):
    """20,000 files in 2,000 folders: 20 x 10 x 10 folders of 10 files."""
    w = TreeWriter(20261210)
    os.makedirs(root)
    write_broad_folders(w, root, (20, 10, 10), "f%d")
    return w.total


TREES = {"wide": make_wide_tree, "long": make_long_tree, "slow": make_slow_tree}


def build_floor(work):
    source = os.path.join(HERE, "floor_walk.c")
    binary = os.path.join(work, "floor_walk")
    if not os.path.exists(binary) or os.path.getmtime(binary) < os.path.getmtime(source):
        subprocess.check_call(["cc", "-O2", "-o", binary, source])
    return binary


def build_slow_fuse(work):
    source = os.path.join(HERE, "slow_fuse.c")
    binary = os.path.join(work, "slow_fuse")
    if not os.path.exists(binary) or os.path.getmtime(binary) < os.path.getmtime(source):
        flags = subprocess.check_output(["pkg-config", "--cflags", "--libs", "fuse3"]).decode().split()
        subprocess.check_call(["cc", "-O2", "-o", binary, source] + flags)
    return binary


class SlowMount:
    """The slow tree seen through the FUSE passthrough, for a `with` block."""

    def __init__(self, work, source):
        self.program = build_slow_fuse(work)
        self.source = source
        self.point = os.path.join(work, "slow-mount")

    def __enter__(self):
        os.makedirs(self.point, exist_ok=True)
        subprocess.call(["fusermount3", "-u", "-q", self.point], stderr=subprocess.DEVNULL)
        subprocess.check_call([self.program, self.source, self.point, "-o", "max_threads=64"])
        return self.point

    def __exit__(self, *exc):
        subprocess.call(["fusermount3", "-u", self.point])


def release_build():
    """Builds vorkstat as scripts/run.sh does and returns its path."""
    build = os.path.join(TOP, "build", "run")
    subprocess.check_call(["cmake", "-S", TOP, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                           "-DVORKSTAT_TESTS=OFF"], stdout=subprocess.DEVNULL)
    subprocess.check_call(["cmake", "--build", build, "--target", "vorkstat"], stdout=subprocess.DEVNULL)
    for candidate in (os.path.join(build, "tool", "vorkstat"), os.path.join(build, "vorkstat")):
        if os.path.exists(candidate):
            return candidate
    sys.exit("no vorkstat in %s after the build" % build)


def drop_caches():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def can_drop_caches():
    if os.geteuid() != 0:
        return "not running as root"
    try:
        drop_caches()
    except OSError as error:
        return "cannot write /proc/sys/vm/drop_caches (%s)" % error.strerror
    return None


def run(command):
    """Runs a command; returns (wall seconds, CPU seconds, stdout). The CPU
    time (user and system, of that child alone) is what a busy machine
    disturbs least; wall time also holds the waits for the disk and for the
    processor."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    output = child.stdout.read()
    child.stdout.close()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    child.returncode = 0  # reaped above
    if os.WIFSIGNALED(status):
        sys.exit("%s died: signal %d" % (command, os.WTERMSIG(status)))
    return seconds, usage.ru_utime + usage.ru_stime, output.decode()


def busy_seconds():
    """Processor seconds the whole machine has spent on anything but waiting,
    so far (None where /proc/stat cannot be read)."""
    try:
        with open("/proc/stat") as f:
            ticks = [int(t) for t in f.readline().split()[1:]]
    except OSError:
        return None
    # user, nice, system, idle, I/O wait, interrupts, soft interrupts
    return (sum(ticks[:7]) - ticks[3] - ticks[4]) / os.sysconf("SC_CLK_TCK")


def peak_memory_kib(command):
    """Peak resident memory of a command, as GNU time reports it (a child
    forked from this Python process would count Python's own pages)."""
    if not os.path.exists("/usr/bin/time"):
        return None
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    return int(result.stderr.decode().strip().splitlines()[-1])


def total_of(name, output):
    if name == "vorkstat":
        m = re.match(r"Speicherbedarf: (\d+) Bytes", output)
    elif name == "floor":
        m = re.match(r"(\d+)\s*$", output)
    else:
        return None  # du counts folders too: its total is not the sum of file lengths
    return int(m.group(1)) if m else -1


def measure(tree, expected, commands, rounds, cold):
    """Per command: lists of wall and of CPU seconds, one per round; and per
    run, the processors that the rest of the machine kept busy meanwhile
    (other programs, and the kernel's threads, some of them working for
    the command), which says how far the machine was shared."""
    wall = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    others = []
    names = list(commands)
    for r in range(rounds):
        order = names[r % len(names):] + names[:r % len(names)]
        for name in order:
            if cold:
                drop_caches()
            busy_before = busy_seconds()
            seconds, cpu_seconds, output = run(commands[name])
            if busy_before is not None:
                others.append(max(0.0, busy_seconds() - busy_before - cpu_seconds) / seconds)
            total = total_of(name, output)
            if total is not None and total != expected:
                sys.exit("%s reported %r on %s, expected %d" % (name, output, tree, expected))
            wall[name].append(seconds)
            cpu[name].append(cpu_seconds)
    return wall, cpu, others


def ratio_text(a, b):
    ratios = [x / y for x, y in zip(a, b) if y > 0]
    if not ratios:
        return "n/a"
    return "%.3f (range %.3f-%.3f)" % (statistics.median(ratios), min(ratios), max(ratios))


def report(label, measured, rounds):
    others = [name for name in measured[0] if name != "vorkstat"]
    if measured[2]:
        print("  %s: besides the command the machine kept %.2f processors busy (median of the runs; range %.2f-%.2f),"
              " load average now %.2f" % ((label, statistics.median(measured[2]), min(measured[2]), max(measured[2]))
                                         + os.getloadavg()[:1]))
    for kind, times in zip(("wall", "cpu"), measured[:2]):
        v = times["vorkstat"]
        medians = ", ".join("%s %.3f s" % (name, statistics.median(t)) for name, t in times.items())
        print("  %s %s, %d rounds: medians %s" % (label, kind, rounds, medians))
        print("    " + "   ".join("vorkstat/%s %s" % (name, ratio_text(v, times[name])) for name in others))


def commands_for(vorkstat, floor, tree):
    return {
        "vorkstat": [vorkstat, tree, "/X"],
        "floor": [floor, tree],
        "du": ["du", "-sb", tree],
        "gdu": ["gdu", "-npsa", tree],
    }


def peaks_text(commands):
    return ", ".join("%s %s KiB" % (name, peak_memory_kib(command)) for name, command in commands.items())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--cold", action="store_true", help="also time with the caches dropped before each run")
    # Cold times vary more than warm ones: a round at a busy moment weighs less among seven.
    parser.add_argument("--cold-rounds", type=int, default=7)
    parser.add_argument("--slow", action="store_true", help="also time the slow FUSE file system")
    parser.add_argument("--slow-rounds", type=int, default=3)
    parser.add_argument("--trees", default="wide,long")
    parser.add_argument("--work", default=os.path.join(HERE, "work"))
    parser.add_argument("--vorkstat", help="the program to time; default: the release build of this checkout")
    args = parser.parse_args()

    ensure_packages()
    if args.vorkstat is None:
        args.vorkstat = release_build()
    os.makedirs(args.work, exist_ok=True)
    floor = build_floor(args.work)
    cold_refused = can_drop_caches() if args.cold else None
    print("%d processors online; the machine may be shared (load average %.2f %.2f %.2f), so take the medians"
          " and ranges as such" % ((os.cpu_count(),) + os.getloadavg()))

    for kind in [t for t in args.trees.split(",") if t]:
        tree, expected = ensure_tree(args.work, kind)
        commands = commands_for(args.vorkstat, floor, tree)
        print("%s tree %s: total checked %d bytes" % (kind, tree, expected))
        for command in commands.values():
            run(command)  # warm the caches
        report("warm", measure(tree, expected, commands, args.rounds, False), args.rounds)
        if args.cold and cold_refused:
            print("  cold: skipped, %s" % cold_refused)
        elif args.cold:
            report("cold", measure(tree, expected, commands, args.cold_rounds, True), args.cold_rounds)
            for command in commands.values():
                run(command)  # leave the caches warm for what follows
        print("  peak memory: " + peaks_text(commands))

    if args.slow:
        source, expected = ensure_tree(args.work, "slow")
        print("slow tree %s through FUSE: total checked %d bytes; vorkstat's peak memory here, a tenth of the"
              " other trees: %s KiB" % (source, expected, peak_memory_kib([args.vorkstat, source, "/X"])))
        with SlowMount(args.work, source) as point:
            commands = commands_for(args.vorkstat, floor, point)
            report("slow", measure(point, expected, commands, args.slow_rounds, False), args.slow_rounds)
            print("  peak memory: " + peaks_text(commands))


if __name__ == "__main__":
    main()

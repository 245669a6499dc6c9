"""What the library benchmarks share: building a small timing program
against an optimised build of the library, and running commands."""
import os
import statistics
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)


def build_library_program(source, build_name="bench"):
    """Builds bench/<source> against a release libfilelib.a in build/<build_name>
    and returns the program's path."""
    build = os.path.join(TOP, "build", build_name)
    subprocess.check_call(["cmake", "-S", TOP, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                           "-DVORKSTAT_TESTS=OFF"], stdout=subprocess.DEVNULL)
    subprocess.check_call(["cmake", "--build", build, "--target", "filelib"], stdout=subprocess.DEVNULL)
    library = next(path for path in (os.path.join(build, "filelib", "libfilelib.a"),
                                     os.path.join(build, "libfilelib.a")) if os.path.exists(path))
    program = os.path.join(build, os.path.splitext(source)[0])
    subprocess.check_call(["c++", "-std=c++17", "-O2", "-I", TOP, os.path.join(HERE, source), library,
                           "-o", program])
    return program


def seconds(command):
    """Wall time of one run, its output thrown away."""
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def output(command, encoding="utf-8"):
    return subprocess.run(command, stdout=subprocess.PIPE, check=True).stdout.decode(encoding)


def median_times(commands, rounds):
    """Runs each command once to warm the caches, then all of them in turn
    for `rounds` rounds, so a shared machine's load falls on all alike;
    returns each command's median time."""
    for command in commands.values():
        seconds(command)
    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name, command in commands.items():
            times[name].append(seconds(command))
    return {name: statistics.median(values) for name, values in times.items()}

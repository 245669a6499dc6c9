#!/usr/bin/env python3
"""Runs check_layout.py over small made-up trees: each breach must be
reported, and a tree that keeps the rules must pass."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layout.py")

ARCHITECTURE = """# Architecture

## What a file may include

| file in | may include |
|---|---|
| `filelib/platform/` | the system's headers |
| `filelib/text/` | `filelib/platform/` |
| `filelib/enum/` | `filelib/text/`, `filelib/platform/` |
| `tool/` | `filelib/` |
| `tests/` | `filelib/`, `tool/`, `tests/` |
| `fuzz/` | `filelib/` |

## After the table
"""

SOUND_TREE = {
    "filelib/CMakeLists.txt": "add_subdirectory(text)\nadd_subdirectory(platform)\nadd_subdirectory(enum)\n",
    "filelib/platform/CMakeLists.txt": "set(PLATFORM_POSIX\n  io_posix.cpp\n)\n",
    "filelib/platform/io.h": "#pragma once\n#include <cstdint>\n",
    "filelib/platform/io_posix.cpp": "#include \"filelib/platform/io.h\"\n#include <unistd.h>\n#ifdef _WIN32\n#endif\n",
    "filelib/text/CMakeLists.txt": "target_sources(filelib PRIVATE fields.cpp)\n",
    "filelib/text/fields.h": "#pragma once\n#include \"filelib/platform/io.h\"\n",
    "filelib/text/fields.cpp": "#include \"filelib/text/fields.h\"\n#include <cstring>\n",
    # A header that moved up keeps its old installed path by forwarding.
    "filelib/text/finder.h": "// Moved.\n#pragma once\n\n#include \"filelib/enum/finder.h\"\n",
    "filelib/enum/CMakeLists.txt": "target_sources(filelib PRIVATE finder.cpp)\n",
    "filelib/enum/finder.h": "#pragma once\n#include \"filelib/text/fields.h\"\n",
    "filelib/enum/finder.cpp": "#include \"filelib/enum/finder.h\"\n",
    "tool/CMakeLists.txt": "add_executable(t main.cpp)\n",
    "tool/main.cpp": "#include \"filelib/enum/finder.h\"\nint main() {}\n",
    "tests/CMakeLists.txt": "set(TEST_SOURCES\n  enum/finder_test.cpp\n  support/run_posix.cpp\n)\n",
    "tests/enum/finder_test.cpp": "#include \"support/run.h\"\n#include \"tool/main.cpp\"\n#include <gtest/gtest.h>\n",
    "tests/support/run.h": "#pragma once\n",
    "tests/support/run_posix.cpp": "#include <sys/wait.h>\n#if defined(__linux__)\n#endif\n",
    "fuzz/CMakeLists.txt": "set(FUZZ_TARGETS\n  text_fuzz\n)\n",
    "fuzz/text_fuzz.cpp": "#include \"filelib/text/fields.h\"\n",
}


def run_checker(changes):
    """Writes the sound tree with the changes over it; returns (status, output)."""
    with tempfile.TemporaryDirectory() as root:
        files = dict(SOUND_TREE, **{"ARCHITECTURE.md": ARCHITECTURE})
        files.update(changes)
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        done = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return done.returncode, done.stdout


class CheckLayoutTest(unittest.TestCase):
    def test_sound_tree_passes(self):
        status, output = run_checker({})
        self.assertEqual((status, output), (0, ""))

    def test_each_breach_is_reported(self):
        cases = [
            # (what changes, the words the report must contain)
            ({"filelib/text/extra.cpp": "\n"}, "filelib/text/extra.cpp: not named"),
            ({"tests/text/extra_test.cpp": "\n"}, "tests/text/extra_test.cpp: not named"),
            ({"fuzz/other_fuzz.cpp": "\n"}, "fuzz/other_fuzz.cpp: not named"),
            ({"filelib/text/CMakeLists.txt": "# fields.cpp\n"}, "filelib/text/fields.cpp: not named"),
            ({"filelib/text/fields.h": "#include \"filelib/enum/finder.h\"\n"},
             "filelib/text/fields.h:1: includes filelib/enum/finder.h"),
            ({"filelib/text/fields.cpp": "#include \"tool/main.cpp\"\n"},
             "filelib/text/fields.cpp:1: includes tool/main.cpp"),
            # Sources keep to the order as headers do.
            ({"filelib/text/fields.cpp": "#include \"filelib/enum/finder.h\"\n"},
             "filelib/text/fields.cpp:1: includes filelib/enum/finder.h"),
            # A forwarding header holds the one include and nothing else,
            # of a header of its own name.
            ({"filelib/text/finder.h": "#pragma once\n#include \"filelib/enum/finder.h\"\nint f();\n"},
             "filelib/text/finder.h:2: includes filelib/enum/finder.h"),
            ({"filelib/text/other.h": "#pragma once\n#include \"filelib/enum/finder.h\"\n"},
             "filelib/text/other.h:2: includes filelib/enum/finder.h"),
            ({"filelib/text/finder.cpp": "#include \"filelib/enum/finder.h\"\n",
              "filelib/text/CMakeLists.txt": "target_sources(filelib PRIVATE fields.cpp finder.cpp)\n"},
             "filelib/text/finder.cpp:1: includes filelib/enum/finder.h"),
            ({"filelib/enum/finder.h": "#pragma once\n#include \"tests/support/run.h\"\n"},
             "filelib/enum/finder.h:2: includes tests/support/run.h"),
            ({"fuzz/text_fuzz.cpp": "#include \"tool/main.cpp\"\n"}, "fuzz/text_fuzz.cpp:1: includes tool/main.cpp"),
            ({"filelib/enum/finder.cpp": "#include <dirent.h>\n"}, "filelib/enum/finder.cpp:1: <dirent.h> is a system header"),
            ({"tool/main.cpp": "# include <windows.h>\n"}, "tool/main.cpp:1: <windows.h> is a system header"),
            ({"tests/enum/finder_test.cpp": "#include <unistd.h>\n"}, "tests/enum/finder_test.cpp:1: <unistd.h>"),
            ({"filelib/enum/finder.h": "#include <gtest/gtest.h>\n"}, "filelib/enum/finder.h:1: <gtest/gtest.h>"),
            ({"filelib/text/fields.cpp": "#ifdef _WIN32\n#endif\n"}, "filelib/text/fields.cpp:1: asks for a system macro"),
            ({"tests/enum/finder_test.cpp": "#if defined(__linux__) && 1\n#endif\n"},
             "tests/enum/finder_test.cpp:1: asks for a system macro"),
            ({"bench/x.cpp": "\n", "filelib/amount/amount.h": "\n"}, "filelib/amount/amount.h: its folder has no row"),
            ({"ARCHITECTURE.md": "# Architecture\n"}, "no table"),
        ]
        for changes, expected in cases:
            with self.subTest(expected=expected):
                status, output = run_checker(changes)
                self.assertEqual(status, 1, output)
                self.assertIn(expected, output)


if __name__ == "__main__":
    unittest.main()

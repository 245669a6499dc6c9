#!/usr/bin/env python3
"""Checks the house rules that the compiler does not:

  - every .cpp of the library, the command, the tests and the fuzz targets is
    named in a CMakeLists.txt of its folder or of a folder above it, so that
    no file is left out of the build unnoticed;

Prints each breach and exits with 1 when there is one.
  check_layout.py [SOURCE_ROOT]
"""
import os
import re
import sys

CHECKED_FOLDERS = ("filelib", "tool", "tests", "fuzz")


def cmake_words(path):
    """The words of a CMakeLists.txt outside its comments."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        return set()
    text = re.sub(r"#[^\n]*", "", text)
    return set(re.findall(r"[^\s()\"${}]+", text))


def unlisted_sources(root):
    breaches = []
    for top in CHECKED_FOLDERS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(".cpp"):
                    continue
                if not is_listed(root, folder, name):
                    rel = os.path.relpath(os.path.join(folder, name), root)
                    breaches.append(f"{rel}: not named in the CMakeLists.txt of its folder")
    return breaches


def is_listed(root, folder, name):
    """True when a CMakeLists.txt from the file's folder up to the root names
    it by its path relative to that CMakeLists.txt (with or without .cpp)."""
    here = folder
    while True:
        rel = os.path.relpath(os.path.join(folder, name), here).replace(os.sep, "/")
        words = cmake_words(os.path.join(here, "CMakeLists.txt"))
        if rel in words or rel[: -len(".cpp")] in words:
            return True
        if os.path.samefile(here, root):
            return False
        here = os.path.dirname(here)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    breaches = unlisted_sources(root)
    for line in breaches:
        print(line)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())

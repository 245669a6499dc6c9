#!/usr/bin/env python3
"""Checks the house rules that the compiler does not:

  - every .cpp of the library, the command, the tests and the fuzz targets is
    named in a CMakeLists.txt of its folder or of a folder above it, so that
    no file is left out of the build unnoticed;
  - every #include keeps to the table "What a file may include" in
    ARCHITECTURE.md: headers and sources alike only downwards, system headers
    and system macros only in the platform layer and the tests' per-system
    helpers. A forwarding header (nothing but one include of the header of
    the same name in another folder) keeps an installed path for the
    programs that include it there, and may name any header of filelib/.

Prints each breach and exits with 1 when there is one.
  check_layout.py [SOURCE_ROOT]
"""
import os
import re
import sys

CHECKED_FOLDERS = ("filelib", "tool", "tests", "fuzz")
SOURCE_ENDINGS = (".cpp", ".h")

STANDARD_HEADERS = set("""
algorithm any array atomic bitset cassert cctype cerrno cfenv cfloat charconv
chrono cinttypes climits clocale cmath codecvt complex condition_variable
csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar
cwchar cwctype deque exception execution filesystem forward_list fstream
functional future initializer_list iomanip ios iosfwd iostream istream
iterator limits list locale map memory memory_resource mutex new numeric
optional ostream queue random ratio regex scoped_allocator set shared_mutex
sstream stack stdexcept streambuf string string_view system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility
valarray variant vector
assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h
setjmp.h signal.h stdarg.h stddef.h stdint.h stdio.h stdlib.h string.h
time.h uchar.h wchar.h wctype.h
""".split())
TEST_HEADERS = {"gtest/gtest.h"}
SYSTEM_MACROS = re.compile(r"\b(_WIN32|_WIN64|_MSC_VER|__MINGW32__|__MINGW64__|__linux__|__linux|__unix__|__unix|__APPLE__|__CYGWIN__)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
CONDITIONAL = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b")


def cmake_words(path):
    """The words of a CMakeLists.txt outside its comments."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        return set()
    text = re.sub(r"#[^\n]*", "", text)
    return set(re.findall(r"[^\s()\"${}]+", text))


def project_files(root, endings):
    for top in CHECKED_FOLDERS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith(endings):
                    yield folder, name


def relative(root, path):
    return os.path.relpath(path, root).replace(os.sep, "/")


def unlisted_sources(root):
    breaches = []
    for folder, name in project_files(root, (".cpp",)):
        if not is_listed(root, folder, name):
            rel = relative(root, os.path.join(folder, name))
            breaches.append(f"{rel}: not named in the CMakeLists.txt of its folder")
    return breaches


def is_listed(root, folder, name):
    """True when a CMakeLists.txt from the file's folder up to the root names
    it by its path relative to that CMakeLists.txt (with or without .cpp)."""
    here = folder
    while True:
        rel = relative(here, os.path.join(folder, name))
        words = cmake_words(os.path.join(here, "CMakeLists.txt"))
        if rel in words or rel[: -len(".cpp")] in words:
            return True
        if os.path.samefile(here, root):
            return False
        here = os.path.dirname(here)


def include_rules(root):
    """The table of ARCHITECTURE.md: folder -> the folders its headers may include."""
    rules = {}
    in_table = False
    with open(os.path.join(root, "ARCHITECTURE.md"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("## "):
                in_table = line.strip() == "## What a file may include"
                continue
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if not in_table or len(cells) != 2:
                continue
            folder = re.fullmatch(r"`([^`]+/)`", cells[0])
            if folder:
                rules[folder.group(1)] = re.findall(r"`([^`<]+/)`", cells[1])
    return rules


def folder_rule(rules, rel):
    """The longest table folder that holds the file, or None."""
    best = None
    for folder in rules:
        if rel.startswith(folder) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def may_use_system(rel):
    return rel.startswith("filelib/platform/") or re.fullmatch(r"tests/support/[^/]+_(posix|win)\.cpp", rel)


def include_target(root, rel, target):
    """The project path an include names, or None for one outside the project."""
    if os.path.isfile(os.path.join(root, target)):
        return target
    if rel.startswith("tests/") and os.path.isfile(os.path.join(root, "tests", target)):
        return "tests/" + target
    return None


def include_breaches(root):
    rules = include_rules(root)
    if not rules:
        return ["ARCHITECTURE.md: no table under \"## What a file may include\""]
    breaches = []
    for folder, name in project_files(root, SOURCE_ENDINGS):
        rel = relative(root, os.path.join(folder, name))
        own = folder_rule(rules, rel)
        if own is None:
            breaches.append(f"{rel}: its folder has no row in the include table of ARCHITECTURE.md")
            continue
        with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        forwarding = is_forwarding_header(rel, lines)
        for number, line in enumerate(lines, 1):
            where = f"{rel}:{number}"
            if CONDITIONAL.match(line) and SYSTEM_MACROS.search(line) and not may_use_system(rel):
                breaches.append(f"{where}: asks for a system macro outside the platform layer")
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, target = match.groups()
            if bracket == "<":
                allowed = target in STANDARD_HEADERS or (rel.startswith("tests/") and target in TEST_HEADERS)
                if not allowed and not may_use_system(rel):
                    breaches.append(f"{where}: <{target}> is a system header, included outside the platform layer")
                continue
            path = include_target(root, rel, target)
            if path is None:
                continue  # a missing header is the compiler's to report
            breach = include_direction(rules, own, rel, path, forwarding)
            if breach:
                breaches.append(f"{where}: includes {path}, {breach}")
    return breaches


def is_forwarding_header(rel, lines):
    """True for a header whose code is only #pragma once and one include of
    the header of the same name in another folder of the library."""
    if not rel.endswith(".h"):
        return False
    code = [line.strip() for line in lines if line.strip() and not line.strip().startswith("//")]
    if len(code) != 2 or code[0] != "#pragma once":
        return False
    match = INCLUDE.match(code[1])
    return (match is not None and match.group(1) == '"' and match.group(2).startswith("filelib/")
            and os.path.basename(match.group(2)) == os.path.basename(rel) and match.group(2) != rel)


def include_direction(rules, own, rel, path, forwarding=False):
    if path.startswith(own):
        return None
    if any(path.startswith(folder) for folder in rules[own]):
        return None
    if forwarding and path.startswith("filelib/"):
        return None
    return f"which {own} may not include (ARCHITECTURE.md)"


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    breaches = unlisted_sources(root) + include_breaches(root)
    for line in breaches:
        print(line)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())

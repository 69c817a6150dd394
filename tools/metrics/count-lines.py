#!/usr/bin/env python3
"""Counts the lines of code of the tests against all the other code of the repository.

    tools/metrics/count-lines.py [REPOSITORY]

A line counts when it is not blank and not wholly comment: C, C++ and resource scripts
without their // and /* */ comments, Python without # lines and docstrings, shell, CMake
and make without # lines, NSIS scripts without ; and # lines. A script named for its role
(debian/rules, the maintainer scripts) is known by its #! line. Pictures, sounds, fonts,
JSON, XML (the WiX source among them), Markdown, the desktop file and licence texts are not
code and are not counted. Only the files git tracks are read (in a tree that is no git
checkout, every file but those of build folders).

The tests are tests/ and the Debian package's own test (debian/tests/). Prints the lines of
the tests per folder and per language, those of everything else per folder and per
language, and the ratio of the two.
"""

import ast
import io
import subprocess
import sys
import tokenize
from collections import defaultdict
from pathlib import Path

C_LIKE = {".c", ".cpp", ".h", ".rc"}


def language(path):
    """The language a tracked file is counted as, or None when it is not code."""
    if path.suffix in C_LIKE:
        return "C++" if path.suffix != ".c" else "C"
    if path.suffix == ".py":
        return "Python"
    if path.suffix == ".sh":
        return "shell"
    if path.name == "CMakeLists.txt" or path.suffix == ".cmake":
        return "CMake"
    if path.suffix == ".nsi":
        return "NSIS"
    return None


def interpreter(text):
    """The language of an executable script without a suffix, from its #! line."""
    first = text.split("\n", 1)[0]
    if first.startswith("#!"):
        if "python" in first:
            return "Python"
        if first.rstrip().endswith(("sh", "bash")):
            return "shell"
        if first.rstrip().endswith("make -f"):
            return "make"
    return None


def count_c(text):
    """Non-blank lines with something outside // and /* */ comments (strings are skipped
    whole, so a // inside a literal is not taken for a comment)."""
    lines = set()
    line = 1
    i = 0
    n = len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
        elif c in "\"'":
            lines.add(line)
            i += 1
            while i < n and text[i] != c and text[i] != "\n":
                i += 2 if text[i] == "\\" else 1
            i += 1
        elif text.startswith('R"', i):
            lines.add(line)
            delimiter = text[i + 2:text.index("(", i)]
            end = text.find(")" + delimiter + '"', i)
            end = n if end < 0 else end + len(delimiter) + 2
            line += text.count("\n", i, end)
            i = end
        else:
            if not c.isspace():
                lines.add(line)
            i += 1
    return len(lines)


def count_python(text):
    """Lines that hold a token other than a comment, not counting docstrings."""
    docstrings = set()
    for node in ast.walk(ast.parse(text)):
        if isinstance(node, (ast.Module, ast.ClassDef, ast.FunctionDef, ast.AsyncFunctionDef)):
            body = node.body
            if body and isinstance(body[0], ast.Expr) and isinstance(body[0].value, ast.Constant) \
                    and isinstance(body[0].value.value, str):
                docstrings.update(range(body[0].lineno, body[0].end_lineno + 1))
    source_lines = text.splitlines()
    lines = set()
    skipped = {tokenize.COMMENT, tokenize.NL, tokenize.NEWLINE, tokenize.INDENT,
               tokenize.DEDENT, tokenize.ENDMARKER, tokenize.ENCODING}
    for token in tokenize.generate_tokens(io.StringIO(text).readline):
        if token.type in skipped:
            continue
        for number in range(token.start[0], token.end[0] + 1):
            if number not in docstrings and source_lines[number - 1].strip():
                lines.add(number)
    return len(lines)


def count_hash(text, marks=("#",)):
    """Shell and CMake: non-blank lines that do not start with #."""
    return sum(1 for line in text.splitlines()
               if line.strip() and not line.lstrip().startswith(marks))


def count_nsis(text):
    """NSIS scripts: non-blank lines that do not start with ; or #."""
    return count_hash(text, (";", "#"))


COUNTERS = {"C++": count_c, "C": count_c, "Python": count_python, "shell": count_hash,
            "CMake": count_hash, "NSIS": count_nsis, "make": count_hash}


def folder_of(path):
    """tests/<part> for a test, the top folder for the rest (files at the top: '.')."""
    parts = path.parts
    if parts[0] == "tests" or parts[:2] == ("debian", "tests"):
        return "/".join(parts[:2]) if len(parts) > 2 else "tests"
    return parts[0] if len(parts) > 1 else "."


def table(title, counts):
    total = sum(counts.values())
    print(f"  {title:<28} {total:6d}")
    for key in sorted(counts, key=lambda k: (-counts[k], k)):
        print(f"    {key:<26} {counts[key]:6d}")
    return total


def tracked_files(root):
    """The files git tracks; without git or outside a checkout (an unpacked archive), every
    file below root but those of hidden folders, build folders and node_modules."""
    try:
        return subprocess.run(["git", "-C", str(root), "ls-files", "-z"], check=True,
                              capture_output=True).stdout.decode().split("\0")
    except (OSError, subprocess.CalledProcessError):
        print("(not a git checkout, or no git: every file of the tree is counted)")
        skipped = lambda part: part.startswith(".") or part.startswith("build") or part == "node_modules"
        return [str(p.relative_to(root)) for p in sorted(root.rglob("*"))
                if p.is_file() and not any(skipped(part) for part in p.relative_to(root).parts[:-1])]


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2])
    tracked = tracked_files(root)
    by_folder = {True: defaultdict(int), False: defaultdict(int)}
    by_language = {True: defaultdict(int), False: defaultdict(int)}
    for name in filter(None, tracked):
        path = Path(name)
        file = root / path
        if not file.is_file():
            continue
        kind = language(path)
        if kind is None:  # a script named for its role (debian/rules, zefirana.postinst) by its #! line
            try:
                kind = interpreter(file.read_text(encoding="utf-8"))
            except UnicodeDecodeError:
                kind = None
        if kind is None:
            continue
        lines = COUNTERS[kind](file.read_text(encoding="utf-8"))
        is_test = path.parts[0] == "tests" or path.parts[:2] == ("debian", "tests")
        by_folder[is_test][folder_of(path)] += lines
        by_language[is_test][kind] += lines

    print("Lines of code (non-blank, not wholly comment; files tracked by git)")
    tests = table("tests/, per folder", by_folder[True])
    table("tests/, per language", by_language[True])
    other = table("other code, per folder", by_folder[False])
    table("other code, per language", by_language[False])
    print(f"  tests / other code = {tests} / {other} = {tests / other:.2f}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Finds string literals of the program's sources that hold characters beyond ASCII without the
_cp suffix, which turns them into Windows-1252 while compiling (src/text/cp1252_literal.h).
Without it a literal would reach the user as UTF-8 bytes read as Windows-1252.

    tools/check_literals.py [--fix] [FILE...]

By default it reads every .cpp and .h under src/ but those of sintonix-fontes (src/sources and
src/app/fontes_main.cpp) and the two mains, which speak UTF-8: they write to standard streams
and files, not to the console.

Prints FILE:LINE for each such literal and exits 1 when there is one; --fix appends the suffix.
"""
import pathlib
import sys


def literals(text):
    """Yields (start, end, prefix) of each string literal; end is past the closing quote."""
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            if i < 0:
                return
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2)
            if i < 0:
                return
            i += 2
        elif c == "'":
            i += 1
            while i < n and text[i] != "'":
                i += 2 if text[i] == "\\" else 1
            i += 1
        elif c == '"':
            j = i
            while j > 0 and (text[j - 1].isalnum() or text[j - 1] == "_"):
                j -= 1
            prefix = text[j:i]
            if prefix.endswith("R"):
                delim_end = text.find("(", i)
                delim = text[i + 1:delim_end]
                end = text.find(")" + delim + '"', delim_end) + len(delim) + 2
            else:
                end = i + 1
                while end < n and text[end] != '"':
                    end += 2 if text[end] == "\\" else 1
                end += 1
            yield i, end, prefix
            i = end
        else:
            i += 1


def groups(text):
    """Concatenated literals: lists of (start, end, prefix) separated by blanks only."""
    group = []
    for start, end, prefix in literals(text):
        if group and text[group[-1][1]:start - len(prefix)].strip() == "" and not prefix:
            group.append((start, end, prefix))
        else:
            if group:
                yield group
            group = [(start, end, prefix)]
    if group:
        yield group


def suffix_at(text, end):
    j = end
    while j < len(text) and (text[j].isalnum() or text[j] == "_"):
        j += 1
    return text[end:j]


def check(path, fix):
    text = path.read_text(encoding="utf-8")
    found, edits = [], []
    for group in groups(text):
        if any(p for _, _, p in group):
            continue
        if not any(ord(ch) > 127 for s, e, _ in group for ch in text[s:e]):
            continue
        if any(suffix_at(text, e) == "_cp" for _, e, _ in group):
            continue
        found.append(text.count("\n", 0, group[0][0]) + 1)
        edits.append(group[-1][1])
    if fix and edits:
        for e in sorted(edits, reverse=True):
            text = text[:e] + "_cp" + text[e:]
        path.write_text(text, encoding="utf-8")
    return found


def main(argv):
    fix = "--fix" in argv
    files = [pathlib.Path(a) for a in argv if a != "--fix"]
    if not files:
        root = pathlib.Path(__file__).resolve().parent.parent / "src"
        files = sorted(p for p in root.rglob("*") if p.suffix in (".cpp", ".h")
                       and p.parent.name != "sources" and not p.name.endswith("_main.cpp"))
    bad = 0
    for path in files:
        for line in check(path, fix):
            print(f"{path}:{line}: a literal beyond ASCII without _cp" + (" (fixed)" if fix else ""))
            bad += 1
    return 1 if bad and not fix else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

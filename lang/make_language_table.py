#!/usr/bin/env python3
"""Turns the STRINGTABLE entries of the language library's resource scripts
into a sorted C++ table, so that code without the DLL (the Linux tools, native
tests) reads exactly the texts the DLL carries.

usage: make_language_table.py OUTPUT.cpp SCRIPT.rc...
"""
import re
import sys

ENTRY = re.compile(r'^\s*(\d+)\s*,?\s*"((?:[^"]|"")*)"\s*(//.*)?$')


def entries(path):
    inside = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            word = line.strip()
            if word == "STRINGTABLE":
                continue
            if word == "BEGIN":
                inside = True
                continue
            if word == "END":
                inside = False
                continue
            if not inside or not word or word.startswith("//"):
                continue
            m = ENTRY.match(line)
            if not m:
                sys.exit(f"{path}:{number}: not a numeric string entry: {word}")
            text = m.group(2).replace('""', '"')
            if "\\" in text:
                sys.exit(f"{path}:{number}: escapes are not supported in texts")
            yield int(m.group(1)), text, f"{path}:{number}"


def cxx(text):
    return 'u"' + text.replace('"', '\\"') + '"'


def main():
    out, scripts = sys.argv[1], sys.argv[2:]
    table = {}
    for script in scripts:
        for ident, text, where in entries(script):
            if ident in table:
                sys.exit(f"{where}: string {ident} is defined twice")
            if ident > 65535:
                sys.exit(f"{where}: string id {ident} is out of range")
            table[ident] = text
    lines = [
        "// Generated from the language library's resource scripts; do not edit.",
        '#include "language_text.h"',
        "",
        "namespace qvx::lang {",
        "",
        "extern const LanguageEntry kLanguageTable[] = {",
    ]
    lines += [f"    {{{ident}, {cxx(table[ident])}}}," for ident in sorted(table)]
    lines += ["};", f"extern const size_t kLanguageTableSize = {len(table)};", "", "}  // namespace qvx::lang", ""]
    text = "\n".join(lines)
    try:
        with open(out, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()

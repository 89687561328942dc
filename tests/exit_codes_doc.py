#!/usr/bin/env python3
"""The README's exit-code table lists exactly the codes of app/exit_codes.h/.cpp, in order, with the same
text. ctest runs it (test "exit_codes_doc"); exit 1 with the difference when they part."""
import os
import re
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def program_rows():
    header = open(os.path.join(SOURCE, "app", "exit_codes.h"), encoding="utf-8").read()
    table = open(os.path.join(SOURCE, "app", "exit_codes.cpp"), encoding="utf-8").read()
    rows = []
    for name, meaning in re.findall(r'\{ExitCode::(\w+), "[^"]*",\s*((?:"[^"]*"\s*)+)\}', table):
        number = re.search(r"\b%s = (\d+)" % name, header).group(1)
        rows.append((number, "".join(re.findall(r'"([^"]*)"', meaning))))
    return rows


def readme_rows():
    text = open(os.path.join(SOURCE, "README.md"), encoding="utf-8").read()
    start = text.index("<!-- exit codes:")
    rows = []
    for line in text[start:].splitlines()[3:]:
        m = re.match(r"\| (\d+) \| (.*) \|$", line)
        if not m:
            break
        rows.append((m.group(1), m.group(2)))
    return rows


if __name__ == "__main__":
    want, have = program_rows(), readme_rows()
    if not want:
        print("no exit codes found in app/exit_codes.cpp")
        sys.exit(1)
    if want != have:
        print("README exit-code table differs from app/exit_codes.cpp:")
        print("program:", want)
        print("README: ", have)
        sys.exit(1)
    print("exit-code table: %d codes, README matches" % len(want))

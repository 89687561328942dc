#!/usr/bin/env python3
"""scripts/check_includes.py on small source trees written here: each tree holds one kind of include, and
the check must name exactly the breaches it holds.

    python3 tests/scripts/check_includes_test.py
"""
import importlib.util
import os
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
spec = importlib.util.spec_from_file_location("check_includes", os.path.join(SOURCE, "scripts", "check_includes.py"))
check_includes = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check_includes)


def inc(*headers):
    return "".join('#include "%s"\n' % h for h in headers) + "int x;\n"


# (name, {path: text}, the breaches expected, as pieces of their lines, one piece per breach)
CASES = [
    ("downward includes pass", {
        "app/a.cpp": inc("web/w.h", "install/i.h", "ui/u.h", "layout/l.h", "state/s.h", "base/b.h", "build_config.h",
                         "res/resource.h"),
        "web/w.h": inc("ui/u.h", "layout/l.h"), "install/i.h": inc("ui/u.h", "state/s.h"),
        "ui/u.cpp": inc("ui/u.h", "res/resource.h", "layout/l.h"), "ui/u.h": "", "layout/l.h": inc("state/s.h"),
        "state/s.h": inc("base/b.h"), "base/b.h": "",
    }, []),
    ("an upward include", {"state/s.cpp": inc("layout/l.h"), "layout/l.h": ""},
     ["state/s.cpp includes layout/l.h (layout/ is above state/)"]),
    ("app from below", {"base/b.cpp": inc("app/a.h"), "app/a.h": ""}, ["base/b.cpp includes app/a.h"]),
    ("peers", {"install/i.cpp": inc("web/w.h"), "web/w.cpp": inc("install/i.h"), "web/w.h": "", "install/i.h": ""},
     ["install/i.cpp includes web/w.h (web/ and install/ are peers)",
      "web/w.cpp includes install/i.h (web/ and install/ are peers)",
      "include loop between install/i, web/w"]),
    ("the generated header below app", {"web/w.cpp": inc("build_config.h")},
     ["web/w.cpp includes build_config.h (the generated build_config.h is of app/'s level)"]),
    ("resource ids outside app and ui", {"web/w.cpp": inc("res/resource.h")}, ["web/w.cpp includes res/resource.h"]),
    ("two files including each other's headers", {
        "layout/a.h": "", "layout/a.cpp": inc("layout/a.h", "layout/b.h"),
        "layout/b.h": "", "layout/b.cpp": inc("layout/b.h", "layout/a.h"),
    }, ["include loop between layout/a, layout/b: layout/a -> layout/b; layout/b -> layout/a"]),
    ("a loop round three files", {
        "install/a.cpp": inc("install/b.h"), "install/b.cpp": inc("install/c.h"), "install/c.cpp": inc("install/a.h"),
        "install/a.h": "", "install/b.h": "", "install/c.h": "",
    }, ["include loop between install/a, install/b, install/c"]),
    ("a file's own header and a chain without a way back", {
        "ui/a.h": "", "ui/a.cpp": inc("ui/a.h", "ui/b.h"), "ui/b.h": inc("ui/c.h"), "ui/c.h": "",
    }, []),
]


class CheckIncludes(unittest.TestCase):
    def test_trees(self):
        for name, files, expected in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as src:
                for path, text in files.items():
                    os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
                    with open(os.path.join(src, path), "w") as f:
                        f.write(text)
                found = check_includes.check(src)
                self.assertEqual(len(found), len(expected), found)
                for piece in expected:
                    self.assertTrue(any(piece in p for p in found), (piece, found))

    def test_known_breaches_pass_new_and_mended_ones_fail(self):
        known = {"a known one", "a mended one"}
        table = [
            (["a known one", "a mended one"], True, []),
            (["a known one", "a mended one", "a new one"], False, ["a new one"]),
            (["a known one"], False, ["no longer found, take it out of KNOWN: a mended one"]),
        ]
        for problems, ok, lines in table:
            with self.subTest(problems=problems):
                printed, passed = check_includes.verdict(problems, known)
                self.assertEqual(passed, ok, printed)
                for line in lines:
                    self.assertIn(line, printed)

    def test_this_tree_has_no_breach_beyond_the_known_ones(self):
        _, passed = check_includes.verdict(check_includes.check(SOURCE), check_includes.KNOWN)
        self.assertTrue(passed, "\n".join(check_includes.verdict(check_includes.check(SOURCE), check_includes.KNOWN)[0]))


if __name__ == "__main__":
    sys.exit(not unittest.main(verbosity=2, exit=False).result.wasSuccessful())

#!/usr/bin/env python3
"""The verdict of a 32-bit test program run under emulation (scripts/ia32/run-tests.py): from what
GoogleTest printed, never from the exit code alone. An emulator crash is a skip that names it, never a
pass; a failure printed before a crash is a failure."""
import importlib.util
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location("run_tests", os.path.join(HERE, "..", "scripts", "ia32", "run-tests.py"))
run_tests = importlib.util.module_from_spec(spec)
spec.loader.exec_module(run_tests)

HEAD = "[==========] Running 3 tests from 1 test suite.\n[ RUN      ] A.One\n[       OK ] A.One (0 ms)\n"
PASS_TAIL = "[==========] 3 tests from 1 test suite ran. (5 ms total)\n[  PASSED  ] 3 tests.\n"
CASES = [
    # (what, output, exit code, timed out, state, words the reason must hold)
    ("all passed", HEAD + PASS_TAIL, 0, False, "passed", ["3 tests passed"]),
    ("passed, then the emulator crashed on the way out", HEAD + PASS_TAIL +
     "qemu: uncaught target signal 11 (Segmentation fault) - core dumped\n", 139, False, "passed", ["3 tests"]),
    ("a failure printed, then a crash", HEAD + "[ RUN      ] A.Two\nx.cpp:12: Failure\nExpected equality\n"
     "qemu: uncaught target signal 11 (Segmentation fault) - core dumped\n", 139, False, "failed",
     ["a failure at x.cpp:12", "exit code 139"]),
    ("a failed test and the closing lines", HEAD + "[  FAILED  ] A.Two (1 ms)\n[==========] 3 tests from 1 "
     "test suite ran.\n[  PASSED  ] 2 tests.\n[  FAILED  ] 1 test, listed below:\n[  FAILED  ] A.Two\n\n"
     " 1 FAILED TEST\n", 1, False, "failed", ["A.Two"]),
    ("a crash before any result", HEAD + "[ RUN      ] A.Two\n"
     "wine: Unhandled page fault; unexpected trap 14\n", 139, False, "skipped",
     ["cannot run here:", "exit code 139", "unexpected trap", "2 tests started"]),
    ("nothing printed at all (exit 0: a 32-bit program that never ran)", "", 0, False, "skipped",
     ["cannot run here:", "0 tests started"]),
    ("timed out while running", HEAD, -1, True, "skipped", ["cannot run here:", "timed out"]),
    ("timed out after the closing line is no pass", HEAD + PASS_TAIL, -1, True, "skipped", ["timed out"]),
]


class Verdict(unittest.TestCase):
    def test_cases(self):
        for what, output, rc, timed_out, state, words in CASES:
            with self.subTest(case=what):
                got, reason = run_tests.verdict(output, rc, timed_out)
                self.assertEqual(got, state, reason)
                for w in words:
                    self.assertIn(w, reason)


if __name__ == "__main__":
    unittest.main()

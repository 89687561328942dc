#!/usr/bin/env python3
"""tests/e2e/leftovers.py finds the programs an e2e module left running in its Wine prefix, to end them
before the next module starts. Other tests run beside the e2e modules with the same prefix in their
environment and the program's path on their command line (the binary checks read the program file): they
must never be taken for the program itself.

    python3 tests/scripts/leftovers_test.py
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import leftovers  # noqa: E402


class PrefixPrograms(unittest.TestCase):
    def setUp(self):
        self.prefix = tempfile.mkdtemp(prefix="leftovers-test-")
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            p.kill()
            p.wait()
        os.rmdir(self.prefix)

    def start(self, argv0, *args, prefix=None):
        """A process whose command line is argv0 + args, with WINEPREFIX set as a Wine program of the prefix
        (or of `prefix`) has it; it waits on its standard input until killed."""
        env = dict(os.environ, WINEPREFIX=prefix or self.prefix)
        p = subprocess.Popen(["bash", "-c", 'exec -a "$0" python3 -c "import sys; sys.stdin.read()" "$@"', argv0]
                             + list(args),
                             stdin=subprocess.PIPE, env=env)
        self.procs.append(p)
        deadline = time.monotonic() + 20
        while not (leftovers._cmdline(p.pid) or b"").startswith(argv0.encode() + b"\0"):  # until bash exec'd it
            self.assertLess(time.monotonic(), deadline, "the process never took its command line")
            time.sleep(0.01)
        return p.pid

    def test_only_the_programs_themselves_are_found(self):
        cases = [  # (argv0, more arguments, found)
            ("/build/win64/QuarnWebInstall.exe", ["/LOG=Z:\\x.log"], True),
            ("C:\\QuarnCAD\\QuarnWin32\\QuarnWin32.exe", [], True),
            ("/build/win64/QuarnWebInstallShortStall.exe", [], True),
            ("/build/win64/driver.exe", ["serve"], True),
            ("/build/win64/unkeyed/QUARNWEBINSTALL.EXE", [], True),
            ("python3", ["tests/binary_checks.py", "/build/win64/QuarnWebInstall.exe"], False),
            ("osslsigncode", ["sign", "-in", "/build/win64/QuarnWebInstall.exe"], False),
            ("C:\\windows\\system32\\explorer.exe", ["/desktop"], False),
        ]
        pids = {self.start(argv0, *args): (argv0, found) for argv0, args, found in cases}
        other = self.start("/build/win64/QuarnWebInstall.exe", prefix=self.prefix + "-other")
        found = set(leftovers.prefix_processes(prefix=self.prefix))
        for pid, (argv0, expected) in pids.items():
            with self.subTest(program=argv0):
                self.assertEqual(pid in found, expected)
        self.assertNotIn(other, found, "a program of another prefix")
        everything = set(leftovers.prefix_processes(names=None, prefix=self.prefix))
        self.assertEqual(everything & set(pids), set(pids))


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""quarn_wine_start_display (scripts/wine-env.sh) started by several test runs at the same moment: each
must get an Xvfb of its own. A run that took another run's display would lose its windows when that run
ends and kills its Xvfb.

    python3 tests/scripts/wine_env_display_test.py
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_ENV = os.path.join(SOURCE, "scripts", "wine-env.sh")

# Starts the display, says which one it got and whether the Xvfb behind it is its own, then waits for a
# line on stdin (so that every starter holds its display while the others start) and ends its Xvfb.
STARTER = r'''
. "$1"
quarn_wine_start_display || { echo "FAILED"; exit 1; }
own=dead
kill -0 "$QUARN_XVFB_PID" 2>/dev/null && own=alive
owner="$(readlink /proc/"$QUARN_XVFB_PID"/exe 2>/dev/null || true)"
echo "$DISPLAY $own ${owner##*/}"
read -r _
kill "$QUARN_XVFB_PID" 2>/dev/null || true
'''


def start_display_function():
    with open(WINE_ENV, encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"^quarn_wine_start_display\(\) \{\n.*?^\}\n", text, re.M | re.S)
    if not m:
        raise AssertionError("scripts/wine-env.sh has no quarn_wine_start_display")
    return m.group(0)


class DisplayStart(unittest.TestCase):
    def test_starters_at_the_same_moment_get_displays_of_their_own(self):
        if shutil.which("Xvfb") is None:
            self.fail("Xvfb is not installed (scripts/deps.sh installs it)")
        work = tempfile.mkdtemp(prefix="quarn-display-test-")
        self.addCleanup(shutil.rmtree, work, True)
        fn = os.path.join(work, "start_display.sh")
        with open(fn, "w", encoding="utf-8") as f:
            f.write(start_display_function())
        env = dict(os.environ)
        env.pop("QUARN_USE_DISPLAY", None)
        for round_ in range(3):
            with self.subTest(round=round_):
                starters = [subprocess.Popen(["bash", "-c", STARTER, "starter", fn], stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
                            for _ in range(3)]
                seen = []
                try:
                    for p in starters:
                        seen.append(p.stdout.readline().split())
                finally:
                    for p in starters:
                        try:
                            p.communicate("\n", timeout=30)
                        except subprocess.TimeoutExpired:
                            p.kill()
                            p.wait()
                self.assertTrue(all(s and s[0].startswith(":") for s in seen), seen)
                self.assertEqual([s[1:] for s in seen], [["alive", "Xvfb"]] * len(seen),
                                 "every starter runs on an Xvfb of its own: %r" % seen)
                self.assertEqual(len({s[0] for s in seen}), len(seen), "three displays: %r" % seen)


if __name__ == "__main__":
    sys.exit(unittest.main(verbosity=2, exit=False).result.wasSuccessful() is False)

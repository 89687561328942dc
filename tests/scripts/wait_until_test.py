#!/usr/bin/env python3
"""harness.wait_until, the e2e tests' one wait: it returns what it waited for as soon as it holds, fails
at once at an end nobody waits for, and does not mistake the awaited state for such an end when that
state arrives between its look at the predicate and its look for an end (a box that appears just then is
both: on a loaded machine that window is wide, and the web-install module failed in it).

    python3 tests/scripts/wait_until_test.py
"""
import os
import sys
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import harness  # noqa: E402


class Screen:
    """A screen whose box appears after a given number of looks (predicate and end check alike)."""

    def __init__(self, box_after_looks, box):
        self.looks = 0
        self.box_after = box_after_looks
        self.box_text = box

    def _look(self):
        self.looks += 1
        return self.box_text if self.looks > self.box_after else None

    def box(self):
        return self._look()

    def unexpected_end(self):
        box = self._look()
        return "message box %r" % box if box else ""


class WaitUntilTest(unittest.TestCase):
    def test_the_awaited_box_appearing_between_the_two_looks_is_returned(self):
        # Look 1: the predicate sees nothing; look 2: the end check sees the box that just appeared.
        screen = Screen(1, "Felül kívánja írni?")
        got = harness.wait_until(screen.box, 5, interval=0.001, what="the question", ended=screen.unexpected_end)
        self.assertEqual(got, "Felül kívánja írni?")

    def test_an_end_that_is_not_the_awaited_state_fails_at_once(self):
        calls = []

        def never():
            calls.append(1)
            return None
        with self.assertRaises(harness.UnexpectedEnd) as e:
            harness.wait_until(never, 30, interval=0.001, what="the question",
                               ended=lambda: "message box 'hiba'")
        self.assertIn("the question", str(e.exception))
        self.assertIn("hiba", str(e.exception))
        self.assertEqual(len(calls), 2, "the predicate is looked at once more, then the wait fails")

    def test_returns_as_soon_as_it_holds_and_times_out_otherwise(self):
        screen = Screen(3, "kész")
        self.assertEqual(harness.wait_until(screen.box, 5, interval=0.001), "kész")
        self.assertEqual(screen.looks, 4)
        with self.assertRaises(TimeoutError):
            harness.wait_until(lambda: None, 0.05, interval=0.001, what="nothing", ended=lambda: "")


if __name__ == "__main__":
    unittest.main()

"""Several files in flight at once, under the real program, over HTTPS and over HTTP.

A set whose file list has hash data ([Hashes]) is fetched up to four files at a time, each on its own
connection; a set without it (an old set) one file after the other in the list's order. The test server
serves the set's extra files slowly ("trickle"), so that the transfers last long enough to overlap if
they run at once, and logs when each request arrived and each answer ended (servers.TestServers.transfers).
The program is driven like a user (hostile_run) on drive W:.

- hashed_set_overlaps: the server sees more than one request for a file of the set open at once (never
  more than four), the set installs with exact bytes and the percentage shown only grows;
- old_set_in_order: every file requested in the list's order, each only after the answer before it ended;
- cancel_during_parallel: Cancel while several files are in flight: the run ends cancelled within the
  transfers' bounds, no file is requested after it, and not every file was requested;
- failed_file_in_parallel: a file missing on the server ends the phase: its box names it, and no file is
  requested after it failed.
"""
import hashlib
import os
import time
import unittest

import fault_suite
import harness
import servers
from web_install_kit import B_EXIT, BUTTON, FRAME, PERCENT, ROOT, TestSet

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

HTTP_ONLY = {"match": "*/Update.ini", "scheme": "https", "action": "status", "status": 404}
EXTRA = 12                 # the extra files f01.dat ... of disc 1, after the test set's own three
EXTRA_SIZE = 160_000
MOST_AT_ONCE = 4           # the build's QUARN_PARALLEL_TRANSFERS (CMakeLists.txt)
# A request that arrives this long after the Cancel click was made by a transfer started after Cancel
# took effect: the click reaches the dialog through the driver in well under this.
CANCEL_REACH_S = 1.0


def extra_name(i):
    return "f%02d.dat" % i


def extra_files():
    return {extra_name(i): bytes((j * (i + 3) + i) & 0xFF for j in range(EXTRA_SIZE)) for i in range(1, EXTRA + 1)}


def trickle(chunk, delay):
    return {"match": "*/f*.dat", "action": "trickle", "chunk": chunk, "delay": delay}


class Case(fault_suite.Case):
    """hashed: whether the file list carries [Hashes] for every file; rules: the server's rules."""

    fields = {"hashed": True, "rules": ()}


def set_files(test):
    """The set's files of disc 1 as the server sees them, in the list's order."""
    return ["setup.cfg", "QuarnWin32.ex_", "big.dat"] + [extra_name(i) for i in range(1, EXTRA + 1)]


def file_answers(test):
    """The server's answers for files of the set (not Update.ini, Sign.ini, Install.ini or the lists)."""
    names = set(set_files(test))
    return [t for t in test.srv.transfers() if t["path"].rsplit("/", 1)[-1] in names]


def most_at_once(answers):
    """The most answers open at the same moment (from the arrival and end times the server logged)."""
    events = sorted([(a["start"], 1) for a in answers] + [(a["end"], -1) for a in answers],
                    key=lambda e: (e[0], e[1]))
    most = now = 0
    for _, step in events:
        now += step
        most = max(most, now)
    return most


def installed_exactly(test):
    for name, data in test.extra.items():
        with open(os.path.join(test.drive_dir(), ROOT, "QuarnWin32", "Data", name), "rb") as f:
            test.assertEqual(f.read(), data, name)
    with open(os.path.join(test.drive_dir(), ROOT, "QuarnWin32", "Data", "big.dat"), "rb") as f:
        test.assertEqual(f.read(), test.set.big)


def percent_only_grows(test):
    shown = [float(v.decode("ascii").strip().rstrip("%")) for v in test.log.texts(PERCENT) if v.strip()]
    test.assertTrue(shown, "a percentage was shown")
    test.assertEqual(shown, sorted(shown), "the percentage went back")
    test.assertEqual(shown[-1], 100.0)


def overlapped(test, run):
    answers = file_answers(test)
    test.assertEqual(sorted(a["path"].rsplit("/", 1)[-1] for a in answers), sorted(set_files(test)),
                     "every file requested once")
    most = most_at_once(answers)
    test.assertGreater(most, 1, "the files were fetched one after the other")
    test.assertLessEqual(most, MOST_AT_ONCE)
    installed_exactly(test)
    percent_only_grows(test)


def strictly_in_order(test, run):
    answers = file_answers(test)
    test.assertEqual([a["path"].rsplit("/", 1)[-1] for a in sorted(answers, key=lambda a: a["start"])],
                     set_files(test), "requested in the list's order, each once")
    # The request log (written as each request arrives) says the same.
    requested = [r[2].rsplit("/", 1)[-1] for r in test.srv.requests()]
    test.assertEqual([n for n in requested if n in set(set_files(test))], set_files(test))
    ordered = sorted(answers, key=lambda a: a["start"])
    for before, after in zip(ordered, ordered[1:]):
        test.assertGreaterEqual(after["start"], before["end"] - 0.01,
                                "%s was requested before %s had arrived" % (after["path"], before["path"]))
    test.assertEqual(most_at_once(answers), 1)
    installed_exactly(test)
    percent_only_grows(test)


def cancel_when_in_flight(test, run):
    """Presses Cancel once at least two files of the set are being served at once."""
    if getattr(run, "cancel_clicked", None) is not None:
        return
    arrived = [r[2] for r in test.srv.requests() if r[2].endswith(".dat") and "/f" in r[2]]
    ended = [t["path"] for t in test.srv.transfers() if t["path"].endswith(".dat") and "/f" in t["path"]]
    if len(arrived) - len(ended) >= 2:
        run.in_flight_at_cancel = len(arrived) - len(ended)
        run.cancel_clicked = time.time()
        test.drv("click", "ctl=%d" % FRAME, BUTTON)
        harness.wait_until(lambda: test.drv.text("ctl=%d" % FRAME, BUTTON) == B_EXIT, 30,
                           what="the run to end after Cancel")
        run.cancel_took = time.time() - run.cancel_clicked


def stopped_everything(test, run):
    test.assertIsNotNone(getattr(run, "cancel_clicked", None), "two files were never in flight at once")
    # The files in flight keep receiving bytes and finish (a transfer that stalls would end within the
    # bound after Cancel); a file of EXTRA_SIZE at the trickle's rate takes about 2 s.
    test.assertLess(run.cancel_took, 15.0)
    # Every answer has ended: the program holds no connection open after its end.
    harness.wait_until(lambda: len(test.srv.transfers()) == len(test.srv.requests()), 15,
                       what="every answer to end")
    late = [(a["path"], round(a["start"] - run.cancel_clicked, 2)) for a in file_answers(test)
            if a["start"] > run.cancel_clicked + CANCEL_REACH_S]
    test.assertEqual(late, [], "files requested after Cancel")
    requested = {a["path"].rsplit("/", 1)[-1] for a in file_answers(test)}
    test.assertLess(len(requested), len(set_files(test)), "Cancel stopped the files not yet requested")
    # Nothing after the disc's files: not the staged Install.ini, not the next disc's list.
    test.assertFalse([r for r in test.srv.requests() if r[2].endswith("Fajls_2.ini")])
    test.assertFalse(os.path.exists(os.path.join(test.drive_dir(), ROOT, "QuarnWin32", "Data", "big.dat")),
                     "nothing was installed")


def first_failure_ends_the_phase(test, run):
    test.assertIn("f05.dat", run.boxes[0][1], "the box names the file that failed")
    answers = file_answers(test)
    failed = [a for a in answers if a["path"].endswith("/f05.dat")]
    test.assertEqual([a["status"] for a in failed], [404], "a 404 is final: asked once")
    late = [(a["path"], round(a["start"] - failed[0]["end"], 2)) for a in answers
            if a["start"] > failed[0]["end"] + CANCEL_REACH_S]
    test.assertEqual(late, [], "files requested after the failed one had failed")
    test.assertFalse([r for r in test.srv.requests() if r[2].endswith("Fajls_2.ini")])
    test.assertFalse(os.path.exists(os.path.join(test.drive_dir(), ROOT, "QuarnWin32", "Data", "big.dat")),
                     "nothing was installed")


CASES = [
    Case("hashed_set_overlaps", "a set with hash data; its 12 extra files trickle (16 KB every 50 ms)",
         "more than one and at most four files in flight at once; installed, exact bytes",
         rules=[trickle(16384, 0.05)], check=overlapped, bound=120),
    Case("old_set_in_order", "the same set without hash data",
         "every file requested in the list's order, each after the one before it arrived; installed",
         hashed=False, rules=[trickle(16384, 0.05)], check=strictly_in_order, bound=180),
    Case("cancel_during_parallel", "a set with hash data; Cancel while two or more files are in flight",
         "cancelled end; no file requested after Cancel; the transfers in flight end", end="cancelled",
         rules=[trickle(8192, 0.05)], check=stopped_everything, during=cancel_when_in_flight, bound=120),
    Case("failed_file_in_parallel", "a set with hash data; f05.dat is missing on the server (404)",
         "the box names f05.dat; no file requested after it failed; interrupted end", end="cancelled",
         boxes=["download"], rules=[{"match": "*/f05.dat", "action": "status", "status": 404},
                                    trickle(16384, 0.05)], check=first_failure_ends_the_phase, bound=120),
]


class ParallelTransfers(fault_suite.FaultSuite, unittest.TestCase):
    drive = "W"
    installer_name = "parallel_transfers"
    work_name = "parallel-e2e"
    suite = None
    shots = "parallel"
    cases = CASES
    only_env = "QUARN_PARALLEL_CASES"
    variants = ("https", "http")
    variant_name = "scheme"

    def set_up_case(self, case, scheme):
        plain = TestSet(self.tree, big_size=300_000)
        self.extra = extra_files()
        lines = ["File%d=\\%s \\QuarnWin32\\Data\\%s" % (i + 2, extra_name(i), extra_name(i))
                 for i in range(1, EXTRA + 1)]
        if case.hashed:
            contents = [("setup.cfg", plain.setup_cfg), ("QuarnWin32.ex_", plain.program),
                        ("big.dat", plain.big)] + sorted(self.extra.items())
            lines += ["[Hashes]"] + ["%s=%d %s" % (name, len(data), hashlib.sha256(data).hexdigest())
                                     for name, data in contents]
        systems = len(plain.program) + len(plain.big) + EXTRA * EXTRA_SIZE
        self.set = TestSet(self.tree, big_size=300_000, list_extra=lines, files=self.extra,
                           sizes={"Systems": systems})
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))
        self.srv.set_rules(([HTTP_ONLY] if scheme == "http" else []) + list(case.rules))

    def check_run(self, case, scheme, run):
        used = {t["scheme"] for t in self.srv.transfers() if "/KelvaranDemo/" in t["path"]}
        self.assertEqual(used, {scheme})

    def test_cases(self):
        self.run_cases()


if __name__ == "__main__":
    harness.main()

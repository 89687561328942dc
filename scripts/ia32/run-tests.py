#!/usr/bin/env python3
"""run-tests.py --build DIR --results DIR [--name NAME] [--timeout S] PROGRAM.exe [ARGS...]

Runs one 32-bit GoogleTest program of the i686 build under the emulated 32-bit Wine
(scripts/ia32/chroot.sh run) and records one line in RESULTS/suites.tsv: NAME, passed | failed |
skipped, and why. Its whole output goes to RESULTS/NAME.log and is printed.

The emulator crashes now and then (qemu's segfaults, Wine's "unexpected trap"), and a failing assertion
can end the process with a crash after printing its failure, so the verdict comes from what GoogleTest
printed, never from the exit code alone:
  - a failure printed ("[  FAILED  ]" or a ": Failure" line): failed, naming the tests;
  - GoogleTest's closing "[  PASSED  ] N tests." and no failure: passed;
  - neither (the program ended, or was ended, before its tests did): skipped, with the emulator's
    reason; such a run is never counted as passed. The reason begins "cannot run here:" (a limit of this
    machine's emulation, which the summary lists as a skip without failing CI).
Exits 0 when passed or skipped, 1 when failed.
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FAILED = re.compile(r"^\[  FAILED  \] (\S+)")
FAILURE = re.compile(r"^(.*): Failure$")
PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.")
RAN = re.compile(r"^\[==========\] (\d+) tests? from .* ran\.")
CRASH = re.compile(r"(uncaught target signal \d+[^\n]*|unexpected trap[^\n]*|Segmentation fault[^\n]*|"
                   r"recvmsg: Connection reset by peer)")


def verdict(output, rc, timed_out):
    """("passed" | "failed" | "skipped", reason) from a GoogleTest program's output."""
    lines = output.splitlines()
    failed = sorted({m.group(1) for line in lines for m in [FAILED.match(line)] if m and "," not in m.group(1)})
    failures = [m.group(1) for line in lines for m in [FAILURE.match(line)] if m]
    passed = next((int(m.group(1)) for line in lines for m in [PASSED.match(line)] if m), None)
    if failed or failures:
        what = ", ".join(failed) if failed else "a failure at " + failures[0]
        return "failed", "%s (%s)" % (what, "exit code %d" % rc if not timed_out else "timed out")
    if passed is not None and not timed_out:
        ran = next((int(m.group(1)) for line in lines for m in [RAN.match(line)] if m), passed)
        return "passed", "%d tests passed (of %d run)" % (passed, ran)
    crash = CRASH.findall(output)
    how = ("timed out" if timed_out else "exit code %d" % rc) + (": " + crash[-1].strip() if crash else "")
    started = sum(1 for line in lines if line.startswith("[ RUN      ]"))
    return "skipped", ("cannot run here: the emulated 32-bit Wine ended before the tests did (%s; %d tests "
                       "started, GoogleTest printed no result)" % (how, started))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--results", required=True)
    ap.add_argument("--name", default="win32-unit-emulated")
    ap.add_argument("--timeout", type=int, default=1200)
    ap.add_argument("program", nargs=argparse.REMAINDER)
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    exe = os.path.join(build, a.program[0])
    cmd = [os.path.join(HERE, "chroot.sh"), "run", build, "wine", exe] + a.program[1:]
    timed_out = False
    try:
        p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=a.timeout)
        out, rc = p.stdout.decode("utf-8", "replace"), p.returncode
    except subprocess.TimeoutExpired as e:
        out, rc, timed_out = (e.stdout or b"").decode("utf-8", "replace"), -1, True
    os.makedirs(a.results, exist_ok=True)
    with open(os.path.join(a.results, a.name + ".log"), "w", encoding="utf-8") as f:
        f.write(out)
    sys.stdout.write(out)
    state, reason = verdict(out, rc, timed_out)
    if rc == 125 and state == "skipped":
        reason = "the chroot could not be entered (exit code 125; see the output above)"
        state = "failed"
    with open(os.path.join(a.results, "suites.tsv"), "a", encoding="utf-8") as f:
        f.write("%s\t%s\t%s\n" % (a.name, state, reason.replace("\t", " ").replace("\n", " ")))
    print("== %s: %s: %s" % (a.name, state, reason))
    return 1 if state == "failed" else 0


if __name__ == "__main__":
    sys.exit(main())

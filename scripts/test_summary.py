#!/usr/bin/env python3
"""The closing lines of scripts/test.sh: how long each stage took, what failed, what was skipped and why,
and the counts ("N passed, N failed, N skipped"). Exits 1 when a test failed, a stage failed, or -- with
CI=true -- a suite skipped that could have run here (a skip whose reason begins "cannot run here:" is a
limit of the machine, reported but not a failure).

Reads the folder scripts/test.sh writes: timings.tsv (stage, seconds, exit code), suites.tsv (suites run
outside ctest: name, passed|failed|skipped, reason), and per ctest run LABEL.ctest.log (ctest's own
lines) and LABEL.LastTest.log (every test's output: the e2e modules and the GoogleTest programs print
"SKIPPED <case>: <reason>" for each skipped case).
"""
import glob
import os
import re
import sys

RESULT = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (.*?)\s+[\d.]+ sec\s*$")


def verdict(line):
    """(name, "Passed" | "Skipped" | what the failure says) of one ctest result line, or None."""
    m = RESULT.match(line)
    if not m:
        return None
    rest = m.group(1)
    name = re.split(r" \.{2,}| {2,}|\*\*\*|Subprocess ", rest)[0].strip()
    tail = rest[len(name):].strip(" .")
    if re.search(r"(^|\s)Passed$", tail):
        return name, "Passed"
    if tail.endswith("Skipped"):
        return name, "Skipped"
    return name, tail.replace("***", " ").strip() or "failed"
SECTION = re.compile(r"^\d+/\d+ Testing: (\S+)")
SKIP_LINE = re.compile(r"^SKIPPED (.*)$")


def skip_reasons(last_test_log):
    """{ctest name: [reason lines]} from a LastTest.log."""
    out = {}
    current = None
    try:
        with open(last_test_log, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = SECTION.match(line)
                if m:
                    current = m.group(1)
                    continue
                m = SKIP_LINE.match(line.rstrip("\n"))
                if m and current:
                    out.setdefault(current, []).append(m.group(1))
    except OSError:
        pass
    return out


def main(folder):
    ci = os.environ.get("CI", "").lower() in ("1", "true", "yes")
    passed, failed, skipped = [], [], []   # (label, name[, reasons])
    retried = []                            # (label, name, what the first run said)
    for log in sorted(glob.glob(os.path.join(folder, "*.ctest.log"))):
        label = os.path.basename(log)[:-len(".ctest.log")]
        if label.endswith(".retry"):
            continue
        reasons = skip_reasons(os.path.join(folder, label + ".LastTest.log"))
        # A test that failed is run once more (scripts/test.sh); its second verdict is in LABEL.retry.ctest.log.
        again = {}
        retry_log = os.path.join(folder, label + ".retry.ctest.log")
        if os.path.exists(retry_log):
            with open(retry_log, encoding="utf-8", errors="replace") as f:
                for line in f:
                    v = verdict(line)
                    if v is not None:
                        again[v[0]] = v[1]
        with open(log, encoding="utf-8", errors="replace") as f:
            for line in f:
                v = verdict(line)
                if v is None:
                    continue
                name, what = v
                if what == "Passed":
                    passed.append((label, name))
                elif what == "Skipped":
                    skipped.append((label, name, reasons.get(name) or ["(no reason printed)"]))
                elif again.get(name) == "Passed":
                    retried.append((label, name, what))
                else:
                    failed.append((label, name + " (" + what + ")"))
    suites = os.path.join(folder, "suites.tsv")
    if os.path.exists(suites):
        with open(suites, encoding="utf-8") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                name, state, reason = parts[0], parts[1], (parts[2] if len(parts) > 2 else "")
                if state == "passed":
                    passed.append(("suite", name))
                elif state == "skipped":
                    skipped.append(("suite", name, [reason]))
                else:
                    failed.append(("suite", name + (": " + reason if reason else "")))
    stage_failed = []
    print("\n== summary")
    timings = os.path.join(folder, "timings.tsv")
    if os.path.exists(timings):
        total = 0
        whole = None
        with open(timings) as f:
            for line in f:
                stage, seconds, rc = (line.rstrip("\n").split("\t") + ["0"])[:3]
                if stage == "whole":
                    whole = int(seconds)
                    continue
                total += int(seconds)
                print("stage %-18s %4d s%s" % (stage, int(seconds), "" if rc == "0" else "  (FAILED, exit %s)" % rc))
                if rc != "0" and not stage.endswith("-tests") and stage != "fuzz":
                    stage_failed.append(stage)
        print("stages together    %4d s" % total)
        if whole is not None:
            # The x86_64 stages run beside the others: the whole command takes less than their sum.
            print("whole command      %4d s (%.1f min)" % (whole, whole / 60.0))
    for label, name in failed:
        print("FAILED  %s: %s" % (label, name))
    for label, name, what in retried:
        print("RETRIED %s: %s: failed (%s), passed only when run again; the first run's output is above"
              % (label, name, what))
    for stage in stage_failed:
        print("FAILED  stage %s (see its output above)" % stage)
    bad_skips = []
    for label, name, why in skipped:
        for reason in why:
            print("SKIPPED %s: %s: %s" % (label, name, reason))
        if ci and not all(r.startswith("cannot run here:") or ": cannot run here:" in r for r in why):
            bad_skips.append(name)
    if bad_skips:
        print("FAILED  CI=true: skipped although they can run here: %s" % ", ".join(bad_skips))
    if retried:
        print("%d passed only on a second run (not counted as passed below)" % len(retried))
    print("%d passed, %d failed, %d skipped" % (len(passed), len(failed) + len(stage_failed), len(skipped)))
    ok = not failed and not stage_failed and not bad_skips
    if ok and retried:
        print("ALL TESTS PASSED (%d of them only when run a second time: see RETRIED above)" % len(retried))
    else:
        print("ALL TESTS PASSED" if ok else "SOME TESTS FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

#!/usr/bin/env python3
"""tests/e2e/lane.py: a test given lane K runs with lane K's build and environment, lane 0 and no lane run
as they are, and a lane that was given but not prepared fails instead of running in another lane's build
(two modules on one prefix, display and ports break each other). Also that ctest itself hands out the
lanes of a spec file one test per lane, as scripts/test.sh relies on.

    python3 tests/scripts/lane_test.py
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LANE = os.path.join(SOURCE, "tests", "e2e", "lane.py")
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import lane  # noqa: E402

# Prints what it was started with: its arguments and the lane environment it sees.
SHOW = ("import json, os, sys; print(json.dumps({'argv': sys.argv[1:], "
        "'env': {k: os.environ.get(k) for k in ('QUARN_BUILD', 'WINEPREFIX', 'HOME', 'LOCPATH', "
        "'QUARN_PKI', 'DISPLAY', 'KEEP')}}))")


class LaneTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="lane-test-")
        self.addCleanup(shutil.rmtree, self.tmp)
        self.build = os.path.join(self.tmp, "win64")
        self.lane1 = os.path.join(self.tmp, "win64-lane1")
        os.makedirs(os.path.join(self.build, "lanes"))
        self.lane_env = {"QUARN_BUILD": self.lane1, "WINEPREFIX": self.lane1 + "/wineprefix",
                         "HOME": self.lane1 + "/home", "LOCPATH": self.lane1 + "/locale",
                         "QUARN_PKI": self.lane1 + "/pki", "DISPLAY": ":41"}
        with open(os.path.join(self.build, "lanes", "1.env"), "w") as f:
            f.write("".join("%s=%s\n" % kv for kv in self.lane_env.items()))

    def run_lane(self, group, *args):
        env = dict(os.environ, QUARN_BUILD=self.build, WINEPREFIX=self.build + "/wineprefix",
                   HOME=self.build + "/home", LOCPATH=self.build + "/locale", QUARN_PKI=self.build + "/pki",
                   DISPLAY=":40", KEEP="kept")
        env.pop("CTEST_RESOURCE_GROUP_0_LANES", None)
        if group is not None:
            env["CTEST_RESOURCE_GROUP_0_LANES"] = group
        return subprocess.run([sys.executable, LANE, "--build", self.build, "--", sys.executable, "-c", SHOW]
                              + list(args), env=env, capture_output=True, text=True, timeout=60)

    def shown(self, proc):
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return json.loads(proc.stdout.strip().splitlines()[-1])

    def test_lane_k_runs_with_the_lanes_build_and_environment(self):
        got = self.shown(self.run_lane("id:1,slots:1", "--build", self.build, "--out=%s/x.log" % self.build,
                                       self.build + "/win_tests.exe", "--source", SOURCE,
                                       self.build + "-other/a"))
        self.assertEqual(got["argv"], ["--build", self.lane1, "--out=%s/x.log" % self.lane1,
                                       self.lane1 + "/win_tests.exe", "--source", SOURCE,
                                       self.build + "-other/a"])
        self.assertEqual({k: got["env"][k] for k in self.lane_env}, self.lane_env)
        self.assertEqual(got["env"]["KEEP"], "kept")

    def test_lane_0_and_no_lane_run_as_they_are(self):
        for group in ("id:0,slots:1", None):
            with self.subTest(group=group):
                got = self.shown(self.run_lane(group, "--build", self.build))
                self.assertEqual(got["argv"], ["--build", self.build])
                self.assertEqual(got["env"]["QUARN_BUILD"], self.build)
                self.assertEqual(got["env"]["DISPLAY"], ":40")

    def test_a_lane_not_prepared_or_badly_described_fails(self):
        os.makedirs(os.path.join(self.build, "lanes"), exist_ok=True)
        with open(os.path.join(self.build, "lanes", "3.env"), "w") as f:
            f.write("QUARN_BUILD=/x\nDISPLAY=:3\n")   # no prefix, home, locale, PKI
        for group, says in (("id:2,slots:1", "2.env does not exist"), ("id:3,slots:1", "names no WINEPREFIX"),
                            ("lanes", "not id:K,slots:N")):
            with self.subTest(group=group):
                proc = self.run_lane(group, "--build", self.build)
                self.assertEqual(proc.returncode, 1)
                self.assertIn(says, proc.stderr)
                self.assertEqual(proc.stdout, "", "the command must not run")

    def test_move_args_leaves_look_alike_paths(self):
        self.assertEqual(lane.move_args(["/b/win64", "/b/win64/x", "/b/win64x", "--a=/b/win64/y", "x=/b/win64"],
                                        "/b/win64/", "/b/L"),
                         ["/b/L", "/b/L/x", "/b/win64x", "--a=/b/L/y", "x=/b/win64"])


class CtestHandsOutLanesTest(unittest.TestCase):
    """Three tests that each hold their lane until all three have started: they finish only if ctest runs
    them side by side in three different lanes; with the one-lane spec of a build they run one at a time."""

    PROJECT = r'''
cmake_minimum_required(VERSION 3.20)
project(lanes NONE)
enable_testing()
set(CTEST_RESOURCE_SPEC_FILE ${CMAKE_CURRENT_SOURCE_DIR}/one.json)
foreach(i 1 2 3)
  add_test(NAME t${i} COMMAND @PY@ @HOLD@ @DIR@ ${i})
  set_tests_properties(t${i} PROPERTIES RESOURCE_GROUPS lanes:1 TIMEOUT 60)
endforeach()
'''
    # Writes its lane id, then waits (up to 20 s) for the others when asked to; prints the lanes it saw.
    HOLD = r'''
import os, sys, time
d, i = sys.argv[1], sys.argv[2]
lane = os.environ.get("CTEST_RESOURCE_GROUP_0_LANES", "none")
open(os.path.join(d, "started-" + i), "w").write(lane)
if os.path.exists(os.path.join(d, "together")):
    end = time.monotonic() + 20
    while len([n for n in os.listdir(d) if n.startswith("started-")]) < 3:
        if time.monotonic() > end:
            sys.exit("the other tests did not start beside this one")
        time.sleep(0.05)
print("LANE", lane)
'''

    def test_three_lanes_run_three_tests_at_once_one_lane_one_at_a_time(self):
        if not shutil.which("ctest") or not shutil.which("cmake"):
            self.fail("cmake and ctest are needed (scripts/deps.sh installs them)")
        tmp = tempfile.mkdtemp(prefix="lane-ctest-")
        self.addCleanup(shutil.rmtree, tmp)
        src, work = os.path.join(tmp, "src"), os.path.join(tmp, "work")
        os.makedirs(src)
        os.makedirs(work)
        with open(os.path.join(src, "hold.py"), "w") as f:
            f.write(self.HOLD)
        with open(os.path.join(src, "CMakeLists.txt"), "w") as f:
            f.write(self.PROJECT.replace("@PY@", sys.executable).replace("@HOLD@", os.path.join(src, "hold.py"))
                    .replace("@DIR@", work))
        for name, ids in (("one.json", ["0"]), ("three.json", ["0", "1", "2"])):
            with open(os.path.join(src, name), "w") as f:
                json.dump({"version": {"major": 1, "minor": 0},
                           "local": [{"lanes": [{"id": i, "slots": 1} for i in ids]}]}, f)
        subprocess.run(["cmake", "-S", src, "-B", os.path.join(tmp, "b")], check=True, capture_output=True)

        def started():
            return sorted(open(os.path.join(work, n)).read() for n in os.listdir(work) if n.startswith("started-"))

        # Side by side: each test holds its lane until all three have started.
        open(os.path.join(work, "together"), "w").close()
        proc = subprocess.run(["ctest", "-j", "4", "--resource-spec-file", os.path.join(src, "three.json")],
                              cwd=os.path.join(tmp, "b"), capture_output=True, text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.assertEqual(started(), ["id:0,slots:1", "id:1,slots:1", "id:2,slots:1"])
        # The build's own spec (one lane): never two at once, so nothing is told to wait for the others.
        for n in os.listdir(work):
            os.remove(os.path.join(work, n))
        proc = subprocess.run(["ctest", "-j", "4"], cwd=os.path.join(tmp, "b"), capture_output=True,
                              text=True, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
        self.assertEqual(started(), ["id:0,slots:1"] * 3)
        # ctest says "Start N" as it starts a test: one at a time means each result before the next start.
        events = re.findall(r"^\s*(Start)\s+\d+: t\d|^\d+/3 (Test)\s+#\d+: t\d", proc.stdout, re.M)
        self.assertEqual(["".join(e) for e in events], ["Start", "Test"] * 3, proc.stdout)


if __name__ == "__main__":
    unittest.main()

"""Disk faults under the real program: the target drive fills up, or will not be written at all.

The test drive W: is a folder of the build (BUILD/drives/w, linked into the prefix by
scripts/wine-env.sh); each case mounts a small tmpfs there, or a read-only one on the drive or on one
target folder, before the program starts, and unmounts it at the end. Wine resolves the drive's link
at every access, so a mount made after the wineserver started is seen. Mounting needs root: without it
the cases are skipped with a message saying so (the test command lists the skip in its summary).

The program is driven like a user (tests/e2e/hostile_run.py): drive W:, Telepítés, every box answered by
the case's rules, and at the end a scan that nothing was written outside the allowed folders. The rows
run are written to BUILD/reliability/disk_faults.tsv; docs/reliability.md lists every case.
"""
import os
import shutil
import subprocess
import unittest

import harness
import hostile_run
import reliability_doc
import servers
from test_unattended import Watcher, read_log
from web_install_kit import ROOT, MessageLog, TestSet

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

SUITE = "disk_faults"
BIG = 1_000_000                  # big.dat: the file that meets the fault


class Case:
    """mount: (path below the drive folder, tmpfs options), made before the program starts; end, boxes
    and answers as in the hostile-server suite; check(test, run): what else must hold."""

    def __init__(self, name, what, outcome, mount, end, boxes, answers=None, check=None, prepare=None,
                 sizes=None):
        self.name, self.what, self.outcome, self.mount = name, what, outcome, mount
        self.end, self.boxes, self.answers, self.check, self.prepare = end, list(boxes), answers, check, prepare
        self.sizes = sizes


def installed(test, *parts):
    return os.path.join(test.drive_dir(), ROOT, "QuarnWin32", *parts)


def staged(test, name):
    return installed(test, "Install", "Disc_01", name)


def record_written():
    return harness.reg_query(harness.RECORD_KEY + "\\QuarnCAD WebE2E", "SubSystem") is not None


def full_while_copying(stopped):
    def check(test, run):
        # The whole set was staged; the copy of big.dat broke off with the disk full.
        with open(staged(test, "big.dat"), "rb") as f:
            test.assertEqual(f.read(), test.set.big)
        test.assertTrue(os.path.exists(installed(test, "setup.cfg")))
        partial = installed(test, "Data", "big.dat")
        test.assertLess(os.path.getsize(partial), BIG, "the partial target stays, shorter")
        test.assertIn("big.dat", run.boxes[0][1])
        test.assertEqual(record_written(), not stopped, "the record only when the user went on")
    return check


def full_while_downloading(test, run):
    # The cut download is deleted, never staged as whole, and named; nothing was installed.
    test.assertEqual(run.boxes[0][1], "A(z) big.dat fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!")
    test.assertFalse(os.path.exists(staged(test, "big.dat")))
    test.assertTrue(os.path.exists(staged(test, "setup.cfg")))
    test.assertFalse(os.path.exists(installed(test, "setup.cfg")))
    test.assertFalse(record_written())


def target_folder_read_only(stopped):
    def check(test, run):
        test.assertTrue(os.path.exists(installed(test, "setup.cfg")), "the files before it were installed")
        test.assertFalse(os.path.exists(installed(test, "Data", "big.dat")))
        test.assertIn("W:\\%s\\QuarnWin32\\Data\\big.dat" % ROOT, run.boxes[0][1])
        test.assertEqual(record_written(), not stopped)
    return check


def drive_read_only(test, run):
    test.assertEqual(os.listdir(test.drive_dir()), [], "nothing could be written, nothing was")
    test.assertFalse(record_written())


def refused_for_space(test, run):
    # The check comes before the first request for a set file: nothing but the staging folders.
    text = run.boxes[0][1]
    test.assertIn("W: meghajtón", text)
    test.assertIn("A telepítéshez szükséges: 3 MB, szabad: 1 MB", text)
    # (The installation log in the staging folder is the run's own record.)
    files = [os.path.join(d, f) for d, _, fs in os.walk(test.drive_dir()) for f in fs if f != "QuarnInstall.log"]
    test.assertEqual(files, [])
    test.assertTrue(os.path.isdir(installed(test, "Install")))
    set_files = [p for (_, _, p, _, _) in test.srv.requests() if "/KelvaranDemo/" in p]
    test.assertEqual([p.rsplit("/", 1)[1] for p in set_files], ["Sign.ini", "Install.ini"])


def installed_whole(test, run):
    with open(installed(test, "Data", "big.dat"), "rb") as f:
        test.assertEqual(f.read(), test.set.big)


def data_folder(test):
    os.makedirs(installed(test, "Data"))


DATA = os.path.join(ROOT, "QuarnWin32", "Data")
# The disk-full cases need a run that starts although the set does not fit: a description that
# understates the set's sizes gets past the free-space check, as a drive that other programs fill
# meanwhile would.
UNDERSTATED = {"Setup": 1, "Systems": 1}
CASES = [
    Case("too_little_space", "the target drive has 1.5 MB free; the set needs about 1 MB staged plus 1 MB "
         "installed", "the space message names the drive, the megabytes needed and free, before any set "
         "file is requested; OK: the cancelled end; nothing written but the staging folders",
         ("", "size=1536k"), "cancelled", ["space"], None, refused_for_space),
    Case("enough_space", "the target drive has 4 MB free for the same set", "no message; installed",
         ("", "size=4m"), "success", [], None, installed_whole),
    Case("disk_full_copy_cancel", "the target drive fills up while the files are copied (1.5 MB filesystem, "
         "sizes understated in Install.ini); "
         "Cancel at the write error", "message 8 names source and target; Cancel stops after that file: no "
         "record; the partial target is left", ("", "size=1536k"), "cancelled", ["8"], {"8": "cancel"},
         full_while_copying(True), sizes=UNDERSTATED),
    Case("disk_full_copy_ok", "as disk_full_copy_cancel, OK at the write error",
         "message 8; OK goes on with the next file, and the run ends as a success with "
         "the partial target", ("", "size=1536k"), "success", ["8"], {"8": "ok"}, full_while_copying(False),
         sizes=UNDERSTATED),
    Case("disk_full_download", "the target drive fills up during the download (600 KB filesystem, sizes "
         "understated in Install.ini)",
         "the cut file is deleted and the run ends there: a box names it and says its download failed, then "
         "the interrupted end; nothing copied, no record", ("", "size=600k"), "cancelled", ["download"], None,
         full_while_downloading, sizes=UNDERSTATED),
    Case("read_only_target_folder", "a target folder on a read-only filesystem; Cancel at the error",
         "message 6 names the target; Cancel stops after that file: no record", (DATA, "ro,size=64k"),
         "cancelled", ["6"], {"6": "cancel"}, target_folder_read_only(True), data_folder),
    Case("read_only_target_folder_ok", "as read_only_target_folder, OK at the error",
         "message 6; the file counts as done, the run goes on and ends as a success without it",
         (DATA, "ro,size=64k"), "success", ["6"], {"6": "ok"}, target_folder_read_only(False), data_folder),
    Case("read_only_drive", "the whole target drive read-only",
         "the staging folders cannot be made, so nothing is downloaded; the copy finds no list and asks for "
         "the disc (4): Cancel ends the run; nothing written", ("", "ro,size=64k"), "cancelled", ["4"],
         None, drive_read_only),
]


def mount(path, options):
    p = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "quarn-test-drive", path],
                       capture_output=True, text=True)
    return p.returncode == 0, p.stderr.strip()


def unmount(path):
    if subprocess.run(["umount", path], capture_output=True).returncode != 0:
        subprocess.run(["umount", "-l", path], capture_output=True)


def is_mount(path):
    return os.path.ismount(path)


class DiskFaults(hostile_run.HostileRunning, unittest.TestCase):
    drive = "W"
    installer_name = "disk_faults"
    rows = []

    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD, "disk-faults-e2e")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        cls.tree = os.path.join(cls.work, "tree")
        drive = os.path.join(harness.BUILD, "drives", "w")
        os.makedirs(drive, exist_ok=True)
        if os.geteuid() != 0:
            raise unittest.SkipTest("cannot run here: the disk faults mount small filesystems, which needs root "
                                    "(the test command run as root includes them)")
        ok, why = mount(drive, "size=64k")
        if not ok:
            raise unittest.SkipTest("cannot run here: root may not mount a filesystem on this machine: " + why)
        unmount(drive)
        cls.drv = harness.Driver()

    @classmethod
    def tearDownClass(cls):
        cls.drv.close()
        hostile_run.write_rows(SUITE, cls.rows)

    def setUp(self):
        self.srv = None
        self.installer = None
        self.mounted = []
        self.root = ROOT

    def clear_drive(self):
        for path in reversed(self.mounted):
            unmount(path)
        self.mounted = []
        drive = self.drive_dir()
        while is_mount(drive):     # left by an earlier run that was killed
            unmount(drive)
        shutil.rmtree(os.path.join(drive, ROOT), ignore_errors=True)
        harness_reg_delete(harness.RECORD_KEY + "\\QuarnCAD WebE2E")

    def test_cases(self):
        for case in CASES:
            with self.subTest(case=case.name):
                self.run_case(case)
        self.assertEqual([c.name for c in CASES if c.name not in reliability_doc.listed_cases()], [],
                         "docs/reliability.md must list every case: run tests/reliability_doc.py --write")

    def test_silent_too_little_space_ends_with_its_code(self):
        """/S /DRIVE=W on a drive with 1.5 MB free for a set that needs about 3 MB: no window of ours, the
        space refusal answered silently, nothing fetched after Install.ini, and exit code 7 with the log's
        end line saying why (the refusal used to end as cancelled, exit code 1)."""
        self.clear_drive()
        self.set = TestSet(self.tree, big_size=BIG)
        self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")).start()
        try:
            ok, why = mount(self.drive_dir(), "size=1536k")
            self.assertTrue(ok, why)
            self.mounted.append(self.drive_dir())
            watcher = Watcher("disk_silent_space")
            self.installer = harness.Installer(args=["/S", "/DRIVE=" + self.drive, "/NOSTART"],
                                               name="disk_silent_space")
            code = self.installer.wait_exit(120)
            self.assertEqual(watcher.finish(), [], "a window of ours appeared in a silent run")
            self.assertEqual(code, 7)
            lines = read_log(os.path.join(installed(self, "Install"), "QuarnInstall.log"))
            text = "\n".join(lines)
            self.assertIn('box (silent, default answer): "Nincs el\u00e9g szabad hely a(z) W: meghajt\u00f3n!', text)
            self.assertEqual(lines[-1], "end: exit code 7 (not enough space)")
            set_files = [p for (_, _, p, _, _) in self.srv.requests() if "/KelvaranDemo/" in p]
            self.assertEqual([p.rsplit("/", 1)[1] for p in set_files], ["Sign.ini", "Install.ini"])
            self.assertFalse(record_written())
        finally:
            if self.installer is not None and self.installer.proc.poll() is None:
                self.installer.kill()
            self.srv.stop()
            self.srv = None
            self.clear_drive()

    def run_case(self, case):
        self.clear_drive()
        self.set = TestSet(self.tree, big_size=BIG, sizes=case.sizes)
        self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")).start()
        try:
            before = hostile_run.Snapshot.take(self.scan_roots())
            if case.prepare:
                case.prepare(self)
            where, options = case.mount
            target = os.path.join(self.drive_dir(), where) if where else self.drive_dir()
            ok, why = mount(target, options)
            self.assertTrue(ok, why)
            self.mounted.append(target)
            self.log = MessageLog(os.path.join(self.work, case.name + ".msglog"))
            self.start_installation()
            run = self.run_to_end(case.answers, 60, shots="disk_" + case.name)
            self.rows.append((case.name, case.what, run.summary()))
            self.assertEqual((run.end, run.kinds()), (case.end, case.boxes), run.boxes)
            after = hostile_run.Snapshot.take(self.scan_roots())
            self.assertEqual(self.outside_writes(before, after, ROOT,
                                                 os.path.join(self.work, case.name + ".changes")), [])
            if case.check:
                case.check(self, run)
        finally:
            if self.installer is not None and self.installer.proc.poll() is None:
                self.installer.kill()
            self.drv("unhook", check=False)
            self.srv.stop()
            self.srv = None
            self.clear_drive()


def harness_reg_delete(key):
    subprocess.run(["wine", "reg", "delete", key, "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL, env=harness.wine_env())


if __name__ == "__main__":
    harness.main()

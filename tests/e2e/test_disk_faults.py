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
import re
import subprocess
import unittest

import fault_suite
import harness
import servers
from test_unattended import Watcher, read_log
from web_install_kit import ROOT, TestSet

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

BIG = 1_000_000                  # big.dat: the file that meets the fault


class Case(fault_suite.Case):
    """mount: (path below the drive folder, tmpfs options), made before the program starts; end, boxes
    and answers as in the hostile-server suite; check(test, run): what else must hold; prepare(test):
    acts on the drive before the mount; sizes: the parts' sizes Install.ini declares instead of the real
    ones."""

    fields = {"mount": None, "prepare": None, "sizes": None}

    def __init__(self, name, what, outcome, mount, end, boxes, answers=None, check=None, prepare=None, sizes=None):
        super().__init__(name, what, outcome, end, boxes, answers=answers, check=check, mount=mount,
                         prepare=prepare, sizes=sizes)


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
    test.assertEqual(run.boxes[0][1], "A(z) ' big.dat ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!")
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


def disc_folder_is_a_file(test):
    # A file where the first disc's staging folder belongs; the case's mount goes on a spare folder.
    os.makedirs(os.path.join(test.drive_dir(), ROOT, "spare"))
    os.makedirs(installed(test, "Install"))
    with open(installed(test, "Install", "Disc_01"), "wb") as f:
        f.write(b"not a folder")


def disc_folder_not_made(test, run):
    # No server is blamed: no download box; the installation went on to the copy, which asked for the disc.
    log = "\n".join(read_log(installed(test, "Install", "QuarnInstall.log")))
    test.assertRegex(log, r"download stopped: the disc folder W:\\\S+\\Install\\Disc_01 could not be made "
                          r"\(a file has its name, error 183\); the installation goes on with what is staged")
    test.assertNotIn("let\u00f6lt\u00e9se a WEB-r\u0151l sikertelen", log)
    test.assertFalse(record_written())


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
    Case("disc_folder_is_a_file", "a file stands where the first disc's staging folder belongs",
         "the download stops there and the installation goes on: no download box, the log names the local "
         "cause; the copy finds no list and asks for the disc (4): Cancel ends the run", (os.path.join(ROOT, "spare"), "size=64k"),
         "cancelled", ["4"], None, disc_folder_not_made, disc_folder_is_a_file),
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


class DiskFaults(fault_suite.FaultSuite, unittest.TestCase):
    drive = "W"
    installer_name = "disk_faults"
    work_name = "disk-faults-e2e"
    suite = "disk_faults"   # BUILD/reliability/disk_faults.tsv
    shots = "disk"
    cases = CASES
    scan = True

    @classmethod
    def suite_can_run(cls):
        drive = os.path.join(harness.BUILD, "drives", "w")
        os.makedirs(drive, exist_ok=True)
        if os.geteuid() != 0:
            raise unittest.SkipTest("cannot run here: the disk faults mount small filesystems, which needs root "
                                    "(the test command run as root includes them)")
        ok, why = mount(drive, "size=64k")
        if not ok:
            raise unittest.SkipTest("cannot run here: root may not mount a filesystem on this machine: " + why)
        unmount(drive)

    def setUp(self):
        super().setUp()
        self.mounted = []

    def forget(self):
        """Also the filesystems a run mounted (and one an earlier, killed run left on the drive)."""
        for path in reversed(self.mounted):
            unmount(path)
        self.mounted = []
        while is_mount(self.drive_dir()):
            unmount(self.drive_dir())
        super().forget()

    def set_up_case(self, case, variant):
        self.set = TestSet(self.tree, big_size=BIG, sizes=case.sizes)
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))

    def before_start(self, case, variant):
        if case.prepare:
            case.prepare(self)
        where, options = case.mount
        target = os.path.join(self.drive_dir(), where) if where else self.drive_dir()
        ok, why = mount(target, options)
        self.assertTrue(ok, why)
        self.mounted.append(target)

    def test_cases(self):
        self.run_cases()

    def test_silent_too_little_space_ends_with_its_code(self):
        """/S /DRIVE=W on a drive with 1.5 MB free for a set that needs about 3 MB: no window of ours, the
        space refusal answered silently, nothing fetched after Install.ini, and exit code 7 with the log's
        end line saying why (the refusal used to end as cancelled, exit code 1)."""
        self.forget()
        self.addCleanup(self.forget)
        self.set = TestSet(self.tree, big_size=BIG)
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))
        self.addCleanup(self.end_program)
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

    def silent_run(self, name):
        watcher = Watcher(name)
        self.installer = harness.Installer(args=["/S", "/DRIVE=" + self.drive, "/NOSTART"], name=name)
        code = self.installer.wait_exit(180)
        self.assertEqual(watcher.finish(), [], "a window of ours appeared in a silent run")
        path = os.path.join(installed(self, "Install"), "QuarnInstall.log")
        if not os.path.exists(path):
            path = harness.temp_install_log()
        with open(path, "rb") as f:
            raw = f.read()
        self.assertTrue(raw.endswith(b"\r\n"), "exit code %s; the log (%s) ends:\n%s"
                        % (code, path, raw[-3000:].decode("cp1250", "replace")))
        return code, read_log(path)

    def remount_free(self, free):
        """The drive's tmpfs resized so that `free` bytes (whole pages) are left beside what it holds."""
        st = os.statvfs(self.drive_dir())
        used = (st.f_blocks - st.f_bfree) * st.f_frsize
        size = (used + free + 4095) // 4096 * 4096
        p = subprocess.run(["mount", "-o", "remount,size=%d" % size, self.drive_dir()], capture_output=True, text=True)
        self.assertEqual(p.returncode, 0, p.stderr)

    def test_repair_needs_room_only_for_what_is_missing(self):
        """A whole installation, then setup.cfg removed from the staging folder and from the root folder: the
        next run needs room for that file only (twice) and the margin, not for the whole set again. With
        less free than that it is refused (exit code 7, the needed bytes in the log); with just that much
        (the figure the refusal logged, plus the filesystem's page rounding) it passes the check and puts
        the file back. Counting the whole set, both runs were refused."""
        self.forget()
        self.addCleanup(self.forget)
        self.set = TestSet(self.tree, big_size=BIG)
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))
        self.addCleanup(self.end_program)
        ok, why = mount(self.drive_dir(), "size=64m")  # the installer copies itself too
        self.assertTrue(ok, why)
        self.mounted.append(self.drive_dir())
        code, _ = self.silent_run("disk_repair_first")
        self.assertEqual(code, 0)
        for path in (staged(self, "setup.cfg"), installed(self, "setup.cfg")):
            os.remove(path)
        set_bytes = len(self.set.setup_cfg) + len(self.set.program) + len(self.set.big)

        # Not enough: less free than the margin alone.
        self.remount_free(128 * 1024)
        code, lines = self.silent_run("disk_repair_refused")
        text = "\n".join(lines)
        self.assertEqual(code, 7, text[-2000:])
        self.assertRegex(text, r"space check: \d+ bytes of the set staged and \d+ installed on W: already")
        m = re.search(r"too little space on W: \((\d+) bytes needed, (\d+) free\)", text)
        self.assertIsNotNone(m, text[-2000:])
        needed = int(m.group(1))
        self.assertLessEqual(needed, 2 * len(self.set.setup_cfg) + 256 * 1024 + 4096,
                             "only the missing file and the margin are counted")
        self.assertLess(needed, set_bytes, "the files already there were counted again")

        # Just enough: the needed bytes free (page rounding adds at most one page).
        self.remount_free(needed)
        code, lines = self.silent_run("disk_repair_just_enough")
        text = "\n".join(lines)
        self.assertEqual(code, 0, text[-2000:])
        self.assertNotIn("too little space", text)
        with open(installed(self, "setup.cfg"), "rb") as f:
            self.assertEqual(f.read(), self.set.setup_cfg)


if __name__ == "__main__":
    harness.main()

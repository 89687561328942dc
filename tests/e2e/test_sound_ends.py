"""Ends that must stay sound: the real program under Wine, driven like a user against the test servers, in
the cases where it used to follow a wrong or unsafe path. Each case runs a whole installation on drive V:
and checks what the user sees (the end, the boxes and who owns them) and what the run left behind (files,
attributes, registry, started programs), with the scan of hostile_run that nothing was written outside the
folders an installation may write to.

Run with the 64-bit build (the default test command) and with the 32-bit one:
    . scripts/wine-env.sh build/win32 && quarn_wine_start_display && quarn_wine_boot
    python3 tests/e2e/test_sound_ends.py --build build/win32 --source .
The memory case writes its figures to BUILD/sound_ends_memory.txt.
"""
import os
import shutil
import signal
import subprocess
import time
import unittest

import harness
import hostile_run
import servers
from web_install_kit import FRAME, ROOT, STATUS, MessageLog, TestSet, filler

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

RECORD = harness.RECORD_KEY + "\\QuarnCAD WebE2E"                  # the 32-bit view, as reg.exe reaches it
RECORD_64 = "HKLM\\Software\\QuarnSoft\\QuarnCAD WebE2E"          # the same name in the 64-bit view
BLANK_ROOT = "Quarn Acc"
MANY_LINES = 7_900_000          # empty lines inside the file list: 15.8 MB, below the 16 MiB bound
MEMORY_ALLOWANCE_MB = 64        # the most the huge list may add to the program's usual peak
RETRY = "újrapróbálás".encode("cp1250")  # the status field's text while a file is tried again


def prefix_processes(exe):
    """Host pids of this prefix's running processes of one program (Wine shows the Windows command line)."""
    found = []
    prefix = ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
            if exe.encode() not in cmdline or b"driver.exe" in cmdline:
                continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix in f.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            continue
    return found


def vm_hwm_kb(pid):
    """The process's peak resident memory so far (kB), 0 when it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def reg(*args):
    return subprocess.run(["wine", "reg"] + list(args), capture_output=True, env=harness.wine_env(),
                          stdin=subprocess.DEVNULL)


def standin_bytes():
    path = os.path.join(harness.BUILD, "tools", "standin", "QuarnWin32.exe")
    if not os.path.exists(path):
        raise unittest.SkipTest("the stand-in system is not built")
    with open(path, "rb") as f:
        return f.read()


class SoundEnds(hostile_run.HostileRunning, unittest.TestCase):
    drive = "V"
    installer_name = "sound_ends"

    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD, "sound-ends-e2e")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        cls.tree = os.path.join(cls.work, "tree")
        cls.drv = harness.Driver()

    @classmethod
    def tearDownClass(cls):
        cls.drv.close()

    def setUp(self):
        self.srv = None
        self.installer = None
        self.root = ROOT
        self.forget()
        self.addCleanup(self.cleanup)

    def cleanup(self):
        if self.installer is not None and self.installer.proc.poll() is None:
            self.installer.kill()
        for pid in prefix_processes("QuarnWin32.exe") + prefix_processes("Quarn.exe"):
            os.kill(pid, signal.SIGKILL)
        self.drv("unhook", check=False)
        if self.srv is not None:
            self.srv.stop()
        self.forget()

    def forget(self):
        for root in (ROOT, BLANK_ROOT):
            shutil.rmtree(os.path.join(self.drive_dir(), root), ignore_errors=True)
        for name in ("Quarn.exe", "started.log"):
            path = os.path.join(self.drive_dir(), name)
            if os.path.exists(path):
                os.remove(path)
        self.drv("closeall", "ExplorerWClass", 0, check=False)
        harness.reg_delete(RECORD)
        harness.reg_delete(RECORD_64)

    def staged(self, *parts):
        return os.path.join(self.drive_dir(), self.root, "QuarnWin32", "Install", "Disc_01", *parts)

    def installed(self, *parts):
        return os.path.join(self.drive_dir(), self.root, "QuarnWin32", *parts)

    def run_set(self, name, rules=(), start_after=False, answers=None, bound=60, during=None, started=None,
                **set_options):
        """Serves a TestSet, runs the program to its end and checks that nothing was written outside the
        root folder. started(): called once the installation has begun, before the run is followed to its
        end (a case that looks at the first box before it is answered). Returns the run (hostile_run.Run)."""
        os.makedirs(self.drive_dir(), exist_ok=True)
        self.set = TestSet(self.tree, big_size=300_000, **set_options)
        if self.srv is None:
            self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")).start()
        self.srv.set_rules(list(rules))
        self.log = MessageLog(os.path.join(self.work, name + ".msglog"))
        before = hostile_run.Snapshot.take(self.scan_roots())
        self.start_installation(start_after=start_after)
        if started is not None:
            started()
        run = self.run_to_end(answers, bound, during, shots="sound_" + name)
        after = hostile_run.Snapshot.take(self.scan_roots())
        self.assertEqual(self.outside_writes(before, after, self.root, os.path.join(self.work, name + ".changes")),
                         [])
        return run

    def web_dialog_handle(self):
        """The web installation dialog's window handle (it has the options dialog's title)."""
        _, windows = self.drv("list")
        for line in windows:
            hwnd = line.split()[0]
            rc, out = self.drv("dump", "hwnd=" + hwnd, check=False)
            if rc == 0 and any(l.startswith("id=%d " % FRAME) for l in out):
                return int(hwnd, 16)
        self.fail("no web installation dialog among %r" % windows)

    # ---- the cases ----------------------------------------------------------------------------------------
    def test_missing_root_box_is_owned_by_the_web_dialog(self):
        """The description names no root folder: the box comes up owned by the web dialog (the worker
        thread has no focus window: the box used to have no owner and could fall behind the dialog)."""
        os.makedirs(self.drive_dir(), exist_ok=True)
        self.set = TestSet(self.tree, root_directory=False)
        self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")).start()
        self.log = MessageLog(os.path.join(self.work, "missing_root.msglog"))
        self.start_installation()
        # Looked at before run_to_end answers it.
        _, out = self.drv("msgbox", "QuarnCAD System Error!", "none", 30000)
        owner = int(dict(l.split("=", 1) for l in out if "=" in l)["owner"], 16)
        dialog = self.web_dialog_handle()
        harness.screenshot("sound_missing_root_box")
        run = self.run_to_end(bound=30)
        self.assertEqual((run.end, run.kinds()), ("cancelled", ["root"]))
        self.assertNotEqual(owner, 0, "the box has no owner")
        self.assertEqual(owner, dialog, "the box is owned by the web dialog")

    def test_root_with_a_blank_starts_the_installed_program_not_a_decoy(self):
        """Root "Quarn Acc" and a program V:\\Quarn.exe: the unquoted command line would start V:\\Quarn.exe.
        The installed program starts (its log beside it), the decoy does not; the open command of the
        set's file type is written quoted."""
        self.root = BLANK_ROOT
        program = standin_bytes()
        os.makedirs(self.drive_dir(), exist_ok=True)
        with open(os.path.join(self.drive_dir(), "Quarn.exe"), "wb") as f:
            f.write(program)
        self.addCleanup(harness.reg_delete, "HKLM\\Software\\Classes\\.qsnd")
        self.addCleanup(harness.reg_delete, "HKLM\\Software\\Classes\\QuarnSound.Doc")
        run = self.run_set("blank_root", start_after=True, bound=90,
                           system=["RootDirectory=" + BLANK_ROOT, "CadSystem=QuarnCAD WebE2E", "SubSystem=Demo",
                                   "Version=9.20"],
                           files={"QuarnWin32.ex_": filler(program)},
                           install_extra=["[RegistryCommand]", "FileType1=.qsnd", "ClassName1=QuarnSound.Doc",
                                          "ExeFile1=QuarnWin32.exe %1", "IconFile1=QuarnWin32.exe,0"])
        self.assertEqual(run.end, "success", run.boxes)
        log = self.installed("started.log")
        harness.wait_until(lambda: os.path.exists(log), 30, what="the installed program to start")
        with open(log, "rb") as f:
            self.assertIn(b"V:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe", f.read())
        self.assertFalse(os.path.exists(os.path.join(self.drive_dir(), "started.log")), "the decoy was started")
        self.assertEqual(prefix_processes("Quarn.exe"), [])
        command = harness.reg_query("HKLM\\Software\\Classes\\QuarnSound.Doc\\Shell\\Open\\Command")
        self.assertEqual(command, '"V:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe" %1')

    def test_record_in_the_32bit_view_with_old_marks_cleared(self):
        """An uninstaller's marks in the 32-bit view, where the installed (32-bit) system reads the record:
        the run writes the record there and clears them, and leaves nothing in the 64-bit view. The 32-bit
        and the 64-bit program alike."""
        for value in ("UnInstalled By", "UnInstalled Time"):
            p = reg("add", RECORD, "/v", value, "/d", "earlier", "/f")
            self.assertEqual(p.returncode, 0, p.stderr)
        run = self.run_set("record_view")
        self.assertEqual(run.end, "success", run.boxes)
        self.assertEqual(harness.reg_query(RECORD, "SubSystem"), "Demo")
        self.assertEqual(harness.reg_query(RECORD, "Installed Path"), "V:\\" + ROOT)
        self.assertIsNone(harness.reg_query(RECORD, "UnInstalled By"))
        self.assertIsNone(harness.reg_query(RECORD, "UnInstalled Time"))
        self.assertIsNone(harness.reg_query(RECORD_64, "SubSystem"), "a record in the 64-bit view")

    def test_root_of_233_characters_ends_before_anything_is_written(self):
        """A root name of 233 characters: the program folder fits its 256 bytes, the staging folder does not.
        The run ends at the description (the missing-root box, the interrupted end) and writes nothing,
        neither on the drive nor below the current folder (it used to download the set into C:\Disc_01)."""
        self.root = None
        long_root = "R" * 233
        before = sorted(os.listdir(self.drive_dir())) if os.path.isdir(self.drive_dir()) else []
        run = self.run_set("root_233", system=["RootDirectory=" + long_root, "CadSystem=QuarnCAD WebE2E",
                                               "SubSystem=Demo", "Version=9.20"])
        self.assertEqual((run.end, run.kinds()), ("cancelled", ["root"]), run.boxes)
        self.assertEqual(sorted(os.listdir(self.drive_dir())), before)
        self.assertFalse(os.path.exists(harness.prefix_path("C:\\Disc_01")))
        self.assertFalse([p for p in self.srv.requests() if p[2].endswith("/Fajls_1.ini")], "nothing downloaded")
        self.assertIsNone(harness.reg_query(RECORD, "SubSystem"))

    def test_listed_file_missing_on_the_server_ends_the_run(self):
        """Disc 2's list names a file the server lacks (404). A box owned by the web dialog names the file
        and says its download failed; then the interrupted end with "Kilépés". No disc prompt (it used to
        ask for a floppy disc again and again), nothing copied, no record, the system not started (start
        afterwards is on); everything staged before the failed file stays."""
        program = standin_bytes()
        first, gone = b"disc two, first file\r\n" * 50, b"never served\r\n"
        seen = {}

        def look_at_the_box():
            _, out = self.drv("msgbox", "QuarnCAD telepités", "none", 30000)
            seen["owner"] = int(dict(l.split("=", 1) for l in out if "=" in l)["owner"], 16)
            seen["dialog"] = self.web_dialog_handle()
            harness.screenshot("sound_file_missing_box")

        run = self.run_set("file_missing", start_after=True, started=look_at_the_box,
                           rules=[{"match": "*/Disc_02/gone.dat", "action": "status", "status": 404}],
                           files={"QuarnWin32.ex_": filler(program)}, disc2={"first.dat": first, "gone.dat": gone})
        disc2 = os.path.join(os.path.dirname(self.staged()), "Disc_02")
        self.assert_download_failed(run, "gone.dat", program, [(os.path.join(disc2, "first.dat"), first)])
        self.assertEqual(seen["owner"], seen["dialog"], "the box is owned by the web dialog")
        self.assertFalse(os.path.exists(os.path.join(disc2, "gone.dat")))

    def test_disc_list_that_never_comes_ends_the_run(self):
        """Disc 2's list is answered 503 (busy) on every attempt. It used to pass for the end of the set:
        disc 1 was installed and the run ended as a success without disc 2. Now the list is asked for
        five times, the status field shows the retries, and then the run ends like any file that could
        not be downloaded: the box names Fajls_2.ini, nothing installed, no record, no launch."""
        program = standin_bytes()
        run = self.run_set("list_busy", start_after=True, rules=[{"match": "*/Disc_02/Fajls_2.ini", "action": "status",
                                                                  "status": 503}],
                           files={"QuarnWin32.ex_": filler(program)}, disc2={"second.dat": b"disc two\r\n" * 40})
        self.assert_download_failed(run, "Fajls_2.ini", program, [])
        asked = [r[3] for r in self.srv.requests() if r[2].endswith("/Disc_02/Fajls_2.ini")]
        self.assertEqual(asked, ["status"] * 5, "five attempts, each answered busy")
        self.assertEqual([r for r in self.srv.requests() if r[2].endswith("/Disc_02/second.dat")], [],
                         "nothing of disc 2 fetched")
        retries = [t for t in self.log.texts(STATUS) if t.startswith(RETRY) and t.endswith(b"/Fajls_2.ini")]
        self.assertEqual(sorted({t.split(b" ")[1] for t in retries}), [b"2/5", b"3/5", b"4/5", b"5/5"], retries)

    def assert_download_failed(self, run, name, program, more_staged):
        """The run ended at the file `name` that could not be downloaded: its box, the interrupted end, exit
        code 0 (no switches); disc 1's files and more_staged [(path, content)] stay staged, the failed file's
        disc has no list; nothing copied, recorded or started."""
        self.assertEqual((run.end, run.kinds()), ("cancelled", ["download"]), run.boxes)
        self.assertEqual(run.boxes[0][1], "A(z) ' %s ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!" % name)
        self.assertEqual(run.exit_code, 0, "a run without switches ends with 0")
        disc2 = os.path.join(os.path.dirname(self.staged()), "Disc_02")
        for path, content in [(self.staged("setup.cfg"), self.set.setup_cfg),
                              (self.staged("QuarnWin32.ex_"), program),
                              (self.staged("big.dat"), self.set.big)] + more_staged:
            with open(path, "rb") as f:
                self.assertEqual(f.read(), content, path)
        self.assertTrue(os.path.exists(self.staged("Fajls_1.ini")), "disc 1 arrived whole")
        self.assertFalse(os.path.exists(os.path.join(disc2, "Fajls_2.ini")), "a disc's list is staged last")
        # Nothing copied, recorded or started.
        for name in ("setup.cfg", "QuarnWin32.exe", os.path.join("Data", "big.dat"), os.path.join("Data", "first.dat"),
                     os.path.join("Data", "second.dat")):
            self.assertFalse(os.path.exists(self.installed(name)), name)
        self.assertIsNone(harness.reg_query(RECORD, "SubSystem"), "no record")
        self.assertEqual(prefix_processes("QuarnWin32.exe"), [], "nothing started")
        self.assertFalse(os.path.exists(self.installed("started.log")), "nothing started")

    def test_huge_file_list_bounded_memory(self):
        """A file list of millions of empty lines inside a part (15.8 MB, below the 16 MiB bound for files
        read whole), with one more file after them: the run ends as usual with that file installed, and
        the program's peak resident memory stays within MEMORY_ALLOWANCE_MB of the same set without the
        lines (the index of the list took about 1.6 GB before it was bounded)."""
        peaks = {}
        for name, extra in (("usual", []), ("huge", [""] * MANY_LINES)):
            seen = {"peak": 0}

            def during(run, seen=seen):
                for pid in prefix_processes("QuarnWebInstall.exe"):
                    seen["peak"] = max(seen["peak"], vm_hwm_kb(pid))

            run = self.run_set("list_" + name, bound=240, during=during,
                               list_extra=extra + ["File3=\\setup.cfg \\QuarnWin32\\after.cfg"])
            self.assertEqual(run.end, "success", run.boxes)
            with open(self.installed("after.cfg"), "rb") as f:
                self.assertEqual(f.read(), self.set.setup_cfg)
            self.assertGreater(seen["peak"], 0, "the program's memory was never read")
            peaks[name] = seen["peak"]
            self.forget()
        figures = "build %s: peak resident memory, usual set %.1f MB, with %d empty lines in the list %.1f MB" % (
            os.path.basename(harness.BUILD), peaks["usual"] / 1024, MANY_LINES, peaks["huge"] / 1024)
        print("\n" + figures)
        with open(os.path.join(harness.BUILD, "sound_ends_memory.txt"), "w") as f:
            f.write(figures + "\n")
        self.assertLess(peaks["huge"] - peaks["usual"], MEMORY_ALLOWANCE_MB * 1024, figures)


if __name__ == "__main__":
    harness.main()

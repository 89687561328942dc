"""The whole installation, from the program's start to the running installed system, driven like a user.

The sample set (sample/sample.qset) is published with quarnset and served by nginx on this build's two
hosts. Each run starts QuarnWebInstall.exe, picks drive U:, presses Telepítés and follows the program to
its end: download, installation, the Program Manager group (Wine's own service, in explorer) and the start
of the stand-in system, which records its start in started.log beside itself. Then everything the run
left is checked: the files byte for byte, the installation record, the file types, the font, the desktop
shortcut, the group and its items, the launch. Screenshots of every phase: BUILD/screenshots/full_*.png.

Runs:
  - over HTTPS, and over HTTP when the HTTPS host's certificate is not trusted (the fallback);
  - with the start box cleared: the program ends and nothing is started;
  - on a desktop of its own whose Program Manager service has been closed (Wine starts one per desktop):
    nobody answers, and after the time-out (about 15 seconds) the system is started all the same;
  - the same, with Cancel pressed during that wait: the program ends and starts nothing.

One of the sample set's commands is refused by Wine's service: "[AddItem(%s\\hh.exe <help file>,...)]"
names a program with an argument, and Wine only accepts an existing file as the item's target. The set
used here therefore carries one more help command without the argument, which Wine accepts; both are
checked (the refused one must not stop the list).
"""
import os
import shutil
import signal
import subprocess
import time
import unittest

import harness
import sample_set
from resource_ids import ID

DRIVE = "U"
ROOT = "V92Demo"
GROUP = "QuarnCAD 9.20 Demo"
HELP_ITEM = "QuarnCAD súgó"           # the sample's help command: refused by Wine (an argument)
MANUAL_ITEM = "QuarnCAD kézikönyv"     # added here: the help viewer alone, which Wine accepts
MANUAL_COMMAND = "Command = [AddItem(%%s\\hh.exe,%s)]" % MANUAL_ITEM
CAD_KEY = harness.RECORD_KEY + r"\QuarnCAD"
CLASSES = r"HKLM\Software\Classes"
FONTS_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts"
FONT_NAME = "DejaVu Sans (TrueType)"
FONT_FILE = "DejaVuSans.ttf"
FILE_TYPES = ((".qdw", "QuarnCAD.Rajz"), (".qbl", "QuarnCAD.Blokk"))
DRIVE_EDIT, START_AFTER = ID["IDC_DRIVE_EDIT"], ID["IDC_START_AFTER"]
OPTIONS = "ctl=%d" % DRIVE_EDIT         # the options dialog: the window with the drive field
WEB = harness.WEB_DIALOG               # the web installation dialog
STANDIN = "class=QuarnWin32Standin"
STATUS, TITLE = ID["IDC_WEB_STATUS"], ID["IDC_WEB_TITLE"]
T_SUCCEEDED = "A telepítés sikeresen végrehajtva!"
REPLACE_QUESTION = "kívánja"          # "Meglévő fájl: ...! Felül kívánja írni?"
TIMEOUT_S = 15                         # the conversation's time-out in the program

WORK = None
SET_DIR = None


def setUpModule():
    global WORK, SET_DIR
    if not os.path.exists(sample_set.standin()):
        raise unittest.SkipTest("the stand-in system is not built")
    WORK = sample_set.private_work_folder("full-install-e2e")
    # The sample set with one more command behind its help command (local files come along: they are
    # read beside the manifest).
    sample = os.path.join(WORK, "sample")
    shutil.copytree(os.path.join(harness.SOURCE, "sample"), sample)
    manifest = os.path.join(sample, "sample.qset")
    with open(manifest, encoding="utf-8") as f:
        text = f.read()
    help_line = next(l for l in text.splitlines() if l.startswith("Command = [AddItem(%s\\hh.exe "))
    text = text.replace(help_line, help_line + "\n" + MANUAL_COMMAND, 1)
    with open(manifest, "w", encoding="utf-8") as f:
        f.write(text)
    SET_DIR = os.path.join(WORK, "set")
    subprocess.run([sample_set.quarnset(), "build", "-q"] + sample_set.sign_args() +
                   ["-D", "STANDIN=" + sample_set.standin(), manifest, SET_DIR], check=True)


# ---- where things land --------------------------------------------------------------------------------
def target_root():
    return os.path.join(harness.BUILD, "drives", DRIVE.lower(), ROOT)


def program_folder_win():
    return "%s:\\%s\\QuarnWin32" % (DRIVE, ROOT)


def started_log():
    return os.path.join(target_root(), "QuarnWin32", "started.log")


def desktop_link():
    return harness.prefix_path("C:\\users\\%s\\Desktop\\%s.lnk" % (harness.wine_user(), GROUP))


def group_folder():
    return harness.prefix_path("C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\%s"
                               % (harness.wine_user(), GROUP))


def font_path():
    return harness.prefix_path("C:\\windows\\Fonts\\" + FONT_FILE)


reg_delete = harness.reg_delete


def prefix_processes(exe):
    """Host pids of this prefix's running processes of one program (Wine shows a process's Windows
    command line)."""
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


def standin_processes():
    return prefix_processes("QuarnWin32.exe")


def expected_files():
    return sample_set.expected_files(SET_DIR, target_root())


class FullInstall(unittest.TestCase):
    cert = None        # None: the trusted server certificate; "other": one nobody trusts (HTTP fallback)
    desktop = None     # a desktop of the program's own, without a Program Manager service
    shot_prefix = "full"

    def setUp(self):
        self.driver = harness.Driver()
        self.addCleanup(self.driver.close)
        self.forget_installation()
        pki = os.environ.get("QUARN_PKI") or os.path.join(harness.BUILD, "pki")
        cert = key = None
        if self.cert:
            cert, key = os.path.join(pki, self.cert + ".chain.crt"), os.path.join(pki, self.cert + ".key")
        self.nginx = sample_set.Nginx(harness.BUILD, SET_DIR, os.path.join(WORK, "nginx"), cert=cert, key=key,
                                      rate="600k")
        self.nginx.start()
        self.addCleanup(self.nginx.stop)
        self.nginx.clear_log()
        self.shots = []
        self.app = None
        self.addCleanup(self.end_program)

    def end_program(self):
        if self.app is not None and self.app.proc.poll() is None:
            self.app.kill()
        for pid in prefix_processes("QuarnWebInstall.exe"):
            os.kill(pid, signal.SIGKILL)
        self.close_group_windows()
        for pid in standin_processes():
            os.kill(pid, signal.SIGKILL)

    def close_group_windows(self):
        """Wine opens a folder window for the created and for the shown group; they would stay until the
        wineserver ends."""
        self.driver("closeall", "ExplorerWClass", 0, check=False)

    def forget_installation(self):
        """Removes every trace of an earlier run, so that each run sees only what it wrote itself."""
        self.close_group_windows()
        for pid in standin_processes():
            os.kill(pid, signal.SIGKILL)
        shutil.rmtree(target_root(), ignore_errors=True)
        shutil.rmtree(group_folder(), ignore_errors=True)
        reg_delete(CAD_KEY)
        for ext, cls_name in FILE_TYPES:
            reg_delete(CLASSES + "\\" + ext)
            reg_delete(CLASSES + "\\" + cls_name)
        reg_delete(FONTS_KEY, FONT_NAME)
        for path in (desktop_link(), font_path()):
            if os.path.exists(path):
                os.remove(path)

    # ---- driving ----------------------------------------------------------------------------------------
    def shot(self, phase):
        name = "%s_%02d_%s" % (self.shot_prefix, len(self.shots) + 1, phase)
        self.shots.append(harness.screenshot(name))

    def start_program(self):
        exe = os.path.join(harness.BUILD, "QuarnWebInstall.exe")
        if self.desktop:
            # The driver follows the program onto its desktop and closes that desktop's service.
            self.driver("desktop", self.desktop)
            self.app = harness.Installer(exe=os.path.join(harness.BUILD, "driver.exe"),
                                         args=["runon", self.desktop, harness.win_path(exe)],
                                         name="full_install_" + self.shot_prefix)
        else:
            self.app = harness.Installer(name="full_install_" + self.shot_prefix)
        self.driver("wait", OPTIONS, harness.PROGRAM_START_MS)
        self.driver("waittext", OPTIONS, DRIVE_EDIT, ":", 10000)
        if self.desktop:
            self.driver("closeall", "WineDdeServerName", 15000)
            self.assertEqual(self.driver.value("progman", key="answers"), "0",
                             "a Program Manager service still answers on the program's desktop")

    def install(self, start_after=True, question=True):
        """Drives the options dialog and follows the web installation dialog to its end; answers the
        question about the user's own settings file with yes."""
        self.driver("settext", OPTIONS, DRIVE_EDIT, DRIVE + ":")
        if not start_after:
            self.driver("click", OPTIONS, START_AFTER)
            self.driver("waitstate", OPTIONS, START_AFTER, "checked=0")
        self.assertEqual(self.driver.state(OPTIONS, START_AFTER)["checked"], "1" if start_after else "0")
        self.shot("options")
        self.driver("click", OPTIONS, 1)
        self.driver("wait", WEB, 20000)
        seen = set()
        deadline = time.monotonic() + 240
        while time.monotonic() < deadline:
            rc, out = self.driver("msgbox", REPLACE_QUESTION, "none", 0, check=False)
            if rc == 0:
                self.shot("replace_question")
                self.driver("msgbox", REPLACE_QUESTION, "yes", 2000)
                seen.add("question")
                continue
            ended = harness.web_dialog_end(self.driver, (REPLACE_QUESTION,))
            if ended:
                self.shot("unexpected_end")
                self.fail("the installation ended before the success: " + ended)
            rc, out = self.driver("text", WEB, STATUS, check=False)
            if rc != 0:
                break  # the web installation dialog has closed
            status = next((l[5:] for l in out if l.startswith("text=")), "")
            if "download" not in seen and status.startswith("http"):
                seen.add("download")
                self.shot("download")
            elif "install" not in seen and ("%s:\\%s" % (DRIVE, ROOT)) in status:
                seen.add("install")
                self.shot("install")
            time.sleep(0.05)
        else:
            self.shot("not_ended")
            self.fail("the installation did not end; windows: %r" % (self.driver("list")[1],))
        self.assertIn("download", seen, "the download was never seen")
        if question:
            self.assertIn("question", seen, "the copy step did not ask about the user's settings file")

    def wait_until_drawn(self, window):
        """Waits until the window's title bar shows on the screen (a window can be listed as visible a
        moment before the display shows it)."""
        left, top, right, _ = (int(v) for v in self.driver("rect", window)[1][0].split())
        x, y = max(left, 0) + (right - left) // 2, max(top, 0) + 8

        def drawn():
            png = harness.screenshot("full_probe")
            try:
                return harness.pixel(png, x, y) != (0, 0, 0)
            finally:
                os.remove(png)
        harness.wait_until(drawn, 20, interval=0.2, what="%s to be drawn" % window)

    def wait_for_group_window(self):
        """Waits for Wine's folder window of the group and moves every such window aside, so that the
        screenshot shows it beside whatever else is open."""
        self.driver("wait", "class=ExplorerWClass", 20000)
        _, out = self.driver("list")
        for i, line in enumerate(l for l in out if "class=ExplorerWClass" in l):
            self.driver("move", "hwnd=" + line.split()[0], 360 + 30 * i, 260 + 30 * i)
        self.assertIn("title=" + GROUP, "\n".join(out))

    # ---- checks -----------------------------------------------------------------------------------------
    def assert_files(self):
        expected = expected_files()
        self.assertGreaterEqual(len(expected), 13)
        for path, data in expected.items():
            with self.subTest(path=path):
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data)
        with open(os.path.join(target_root(), "QuarnWin32", "QuarnWin32.exe"), "rb") as f, \
                open(sample_set.standin(), "rb") as g:
            self.assertEqual(f.read(), g.read(), "the installed system is the stand-in")

    def assert_record_types_font_shortcut(self):
        self.assertEqual(harness.reg_query(CAD_KEY, "SubSystem"), "QuarnWin32 Demo")
        self.assertEqual(harness.reg_query(CAD_KEY, "System Version"), "9.20")
        self.assertEqual(harness.reg_query(CAD_KEY, "Installed Path"), "%s:\\%s" % (DRIVE, ROOT), harness.last_reg_query)
        self.assertEqual(harness.reg_query(CAD_KEY, "Installed By"), harness.wine_user(), harness.last_reg_query)
        program = program_folder_win() + "\\"
        for ext, cls_name in FILE_TYPES:
            with self.subTest(file_type=ext):
                self.assertEqual(harness.reg_query(CLASSES + "\\" + ext), cls_name)
                self.assertEqual(harness.reg_query(CLASSES + "\\" + cls_name + "\\Shell\\Open\\Command"),
                                 program + "QuarnWin32.exe %1")
                self.assertEqual(harness.reg_query(CLASSES + "\\" + cls_name + "\\DefaultIcon"),
                                 program + "QuarnWin32.exe,0")
        self.assertEqual(harness.reg_query(FONTS_KEY, FONT_NAME), FONT_FILE)
        self.assertTrue(os.path.isfile(font_path()))
        link = self.read_link(desktop_link())
        self.assertEqual(link["path"].lower(), (program + "QuarnWin32.exe").lower())
        self.assertEqual(link["description"], GROUP)

    def read_link(self, path):
        self.assertTrue(os.path.exists(path), path)
        _, out = self.driver("link", harness.win_path(path))
        return dict(line.split("=", 1) for line in out if "=" in line)

    def assert_group(self):
        """The group Wine's Program Manager service made from the set's commands."""
        self.assertTrue(os.path.isdir(group_folder()), group_folder())
        items = sorted(os.listdir(group_folder()))
        self.assertEqual(items, sorted([GROUP + ".lnk", MANUAL_ITEM + ".lnk"]))
        # Every '#' became the root folder ...
        system = self.read_link(os.path.join(group_folder(), GROUP + ".lnk"))
        self.assertEqual(system["path"].lower(), (program_folder_win() + "\\QuarnWin32.exe").lower())
        # ... and the help command's "%s" the Windows folder.
        manual = self.read_link(os.path.join(group_folder(), MANUAL_ITEM + ".lnk"))
        self.assertEqual(manual["path"].lower(), "c:\\windows\\hh.exe")

    def assert_started(self):
        harness.wait_until(lambda: os.path.exists(started_log()), 30, what="the stand-in's started.log")
        with open(started_log(), "rb") as f:
            lines = f.read().decode("cp1250").splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn(program_folder_win() + "\\QuarnWin32.exe", lines[0])

    def assert_nothing_started(self):
        # The program has ended: a start would have happened before its end, and a started stand-in stays
        # until its window is closed.
        self.assertIsNotNone(self.app.proc.poll())
        self.assertEqual(standin_processes(), [])
        self.assertFalse(os.path.exists(started_log()))

    def assert_requests(self, scheme):
        reqs = self.nginx.requests()
        ours = [r for r in reqs if r[0] == scheme]
        self.assertTrue(ours, reqs)
        self.assertTrue(all(r[5] == "QuarnCAD UpDate" for r in ours), ours)
        self.assertTrue(ours[0][2].endswith("/Update.ini"), ours[0])
        if scheme == "http":
            # The HTTPS host was tried but refused before any request reached nginx.
            self.assertFalse([r for r in reqs if r[0] == "https" and r[1] == "GET"], reqs)
        else:
            self.assertFalse([r for r in reqs if r[0] == "http"], reqs)

    def put_users_settings_file(self):
        """The user's own settings file: the set installs it with "ask before replacing"."""
        os.makedirs(os.path.join(target_root(), "QuarnWin32"))
        with open(os.path.join(target_root(), "QuarnWin32", "quarn.cfg"), "wb") as f:
            f.write(b"; my own settings\r\n")

    def whole_run(self, scheme):
        self.put_users_settings_file()
        self.start_program()
        self.install(start_after=True)
        # The program closes after the last acknowledgement and starts the system.
        self.driver("wait", STANDIN, 60000)
        self.assertEqual(self.app.wait_exit(30), 0)
        self.assert_started()
        self.wait_for_group_window()
        self.wait_until_drawn(STANDIN)
        self.shot("system_running_and_program_group")
        self.assert_files()
        self.assert_record_types_font_shortcut()
        self.assert_group()
        self.assert_requests(scheme)
        with open(started_log(), "rb") as f:
            started = f.read().decode("cp1250").strip()
        print("\nevidence: the %s program installed %d files byte for byte over %s (%d requests); the started "
              "system logged %r" % ("32-bit" if harness.program_is_32bit() else "64-bit", len(expected_files()),
                                    scheme.upper(), len(self.nginx.requests()), started))


class OverHttps(FullInstall):
    shot_prefix = "full_https"

    def test_from_start_to_the_running_system_over_https(self):
        self.whole_run("https")


class OverHttpFallback(FullInstall):
    cert = "other"  # signed by a CA nobody trusts: the HTTPS host fails the probe
    shot_prefix = "full_http"

    def test_from_start_to_the_running_system_over_http(self):
        self.whole_run("http")


class StartBoxCleared(FullInstall):
    shot_prefix = "full_no_start"

    def test_with_the_start_box_cleared_nothing_starts(self):
        self.put_users_settings_file()
        self.start_program()
        self.install(start_after=False)
        self.assertEqual(self.app.wait_exit(60), 0)
        self.wait_for_group_window()
        self.shot("program_group_and_nothing_else")
        self.assert_group()
        self.assert_nothing_started()


class WithoutProgramManager(FullInstall):
    """The program on a desktop of its own, whose Program Manager service has been closed."""
    shot_prefix = "full_no_progman"

    def setUp(self):
        # A new desktop per run: its service, once closed, stays closed for the desktop's life.
        self.desktop = "QuarnNoProgman%d_%s" % (os.getpid(), self._testMethodName[5:15])
        super().setUp()

    def run_until_the_wait(self):
        # No settings file of the user's here: under Wine the copy step's question (asked from the worker
        # thread) is not among the windows of the program's desktop, where the driver looks.
        self.start_program()
        self.install(start_after=True, question=False)
        # The installation succeeded; the conversation now waits for an answer that does not come. The
        # options dialog stays, with Install disabled, and the system has not been started.
        self.assertEqual(self.driver.state(OPTIONS, 1)["enabled"], "0")
        self.assertIsNone(self.app.proc.poll())
        self.assertEqual(standin_processes(), [])
        self.shot("waiting_for_the_program_manager")

    def test_the_time_out_starts_the_system(self):
        self.shot_prefix = "full_no_progman_time_out"
        self.run_until_the_wait()
        waited_from = time.monotonic()
        self.driver("wait", STANDIN, (TIMEOUT_S + 30) * 1000)
        self.wait_until_drawn(STANDIN)
        self.shot("system_running")
        self.assertEqual(self.app.wait_exit(30), 0)
        self.assert_started()
        print("\nthe system started %.1f s after the installation had ended" % (time.monotonic() - waited_from))
        # Nobody made a group; everything else is in place.
        self.assertFalse(os.path.exists(group_folder()))
        self.assert_files()
        self.assert_record_types_font_shortcut()

    def test_cancel_during_the_wait_starts_nothing(self):
        self.shot_prefix = "full_no_progman_cancel"
        self.run_until_the_wait()
        self.driver("click", OPTIONS, 2)  # Mégsem
        self.assertEqual(self.app.wait_exit(30), 0)
        self.shot("cancelled")
        self.assert_nothing_started()


if __name__ == "__main__":
    harness.main()

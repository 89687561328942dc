"""What a whole run leaves behind: the installation record, the file types, the font and the desktop
shortcut, after the real program has downloaded the sample set (sample/sample.qset, published with
quarnset) from the test servers and installed it on drive T:. A Cancel pressed while files are copied
lets the copy finish but skips all four of these steps.

The program is driven like a user: drive T:, no start afterwards, Telepítés. The registry is read with
`wine reg query`, the shortcut through the shell link object (UI driver command `link`).
"""
import calendar
import os
import shutil
import subprocess
import time
import unittest

import harness
import sample_set
import servers
from resource_ids import ID
from options_session import CAPTION, OPTIONS_TITLE, OptionsTestCase

ROOT = "V92Demo"                 # RootDirectory of the sample set
CAD_KEY = harness.RECORD_KEY + r"\QuarnCAD"
CLASSES = r"HKLM\Software\Classes"
FONTS_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts"
FONT_NAME = "DejaVu Sans (TrueType)"
FONT_FILE = "DejaVuSans.ttf"
GROUP = "QuarnCAD 9.20 Demo"
FILE_TYPES = ((".qdw", "QuarnCAD.Rajz"), (".qbl", "QuarnCAD.Blokk"))
WEB_PROGRESS = ID["IDC_WEB_PROGRESS"]             # only the web installation dialog has the progress bar
WEB_TITLE = ID["IDC_WEB_TITLE"]
BUTTON = harness.IDCANCEL
T_CANCELLED = "A telepítési folyamat megszakítva!"
REPLACE_QUESTION = "kívánja"     # "Meglévő fájl: ...! Felül kívánja írni?"


def desktop_folder():
    return harness.prefix_path("C:\\users\\%s\\Desktop" % harness.wine_user())


SET = {}  # published once for the module: "dir", "srv"
TARGET = None
LINK = None
FONT_PATH = None


def setUpModule():
    global TARGET, LINK, FONT_PATH
    work = os.path.join(harness.BUILD, "installed-system-e2e")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    standin = os.path.join(harness.BUILD, "tools", "standin", "QuarnWin32.exe")
    if not os.path.exists(standin):
        raise unittest.SkipTest("the stand-in system is not built")
    SET["dir"] = os.path.join(work, "set")
    subprocess.run([sample_set.quarnset(), "build", "-q"] + sample_set.sign_args() + ["-D", "STANDIN=" + standin,
                    os.path.join(harness.SOURCE, "sample", "sample.qset"), SET["dir"]], check=True)
    SET["srv"] = servers.TestServers(harness.BUILD, SET["dir"], workdir=os.path.join(work, "srv")).start()
    TARGET = os.path.join(harness.BUILD, "drives", "t", ROOT)
    LINK = os.path.join(desktop_folder(), GROUP + ".lnk")
    FONT_PATH = harness.prefix_path("C:\\windows\\Fonts\\" + FONT_FILE)


def tearDownModule():
    harness.close_group_windows()
    if "srv" in SET:
        SET["srv"].stop()
        forget_installation()


def forget_installation():
    """Removes every trace of an earlier run, so that each case sees only what its own run wrote."""
    shutil.rmtree(TARGET, ignore_errors=True)
    harness.reg_delete(CAD_KEY)
    for ext, cls_name in FILE_TYPES:
        harness.reg_delete(CLASSES + "\\" + ext)
        harness.reg_delete(CLASSES + "\\" + cls_name)
    harness.reg_delete(FONTS_KEY, FONT_NAME)
    for path in (LINK, FONT_PATH):
        if os.path.exists(path):
            os.remove(path)


class InstallationRun(OptionsTestCase):
    """The program started on a clean target with the sample set served; helpers to drive a run."""

    def setUp(self):
        forget_installation()
        self.prepare_target()
        super().setUp()

    def prepare_target(self):
        """Hook for a case to put files on the target before the program starts."""

    # ---- driving ----
    def start_installation(self):
        self.driver("settext", self.dialog, ID["IDC_DRIVE_EDIT"], "T:")
        self.driver("click", self.dialog, ID["IDC_START_AFTER"])          # no start of the system afterwards
        self.driver("waitstate", self.dialog, ID["IDC_START_AFTER"], "checked=0")
        self.assertEqual(self.driver.state(self.dialog, ID["IDC_PART_SETUP"])["checked"], "1", "basic settings are installed")
        self.utc_before = time.time()
        self.driver("click", self.dialog, 1)             # Telepítés
        self.web = harness.wait_until(self.web_dialog, 20, what="the web installation dialog")

    def web_dialog(self):
        """The web installation dialog as "hwnd=..." (it has the options dialog's title), or None."""
        for line in self.windows_titled(OPTIONS_TITLE):
            spec = "hwnd=" + line.split()[0]
            rc, out = self.driver("dump", spec, check=False)
            if rc == 0 and any(l.startswith("id=%d " % WEB_PROGRESS) for l in out):
                return spec
        return None

    def web_text(self, control):
        return self.driver.text(self.web, control)

    def read_link(self):
        _, out = self.driver("link", harness.win_path(LINK))
        return dict(line.split("=", 1) for line in out if "=" in line)



class WholeRun(InstallationRun):
    def test_a_whole_run_leaves_record_file_types_font_and_shortcut(self):
        self.start_installation()
        harness.wait_until(lambda: self.web_dialog() is None, 180, what="the installation to end")
        utc_after = time.time()
        harness.screenshot("installed_system_after_run")
        self.assertTrue(os.path.exists(os.path.join(TARGET, "QuarnWin32", "QuarnWin32.exe")))

        # The record.
        self.assertEqual(harness.reg_query(CAD_KEY, "SubSystem"), "QuarnWin32 Demo")
        self.assertEqual(harness.reg_query(CAD_KEY, "System Version"), "9.20")
        self.assertEqual(harness.reg_query(CAD_KEY, "Installed Path"), "T:\\" + ROOT)
        self.assertEqual(harness.reg_query(CAD_KEY, "Installed By"), harness.wine_user())
        stamp = harness.reg_query(CAD_KEY, "Installed Time")
        at = calendar.timegm(time.strptime(stamp, "%Y.%m.%d. %H:%M:%S"))  # the record is in UTC
        self.assertTrue(int(self.utc_before) - 1 <= at <= utc_after + 1, (stamp, self.utc_before, utc_after))
        self.assertIsNone(harness.reg_query(CAD_KEY, "UnInstalled By"))

        # The file types.
        program = "T:\\%s\\QuarnWin32\\" % ROOT
        for ext, cls_name in FILE_TYPES:
            with self.subTest(file_type=ext):
                self.assertEqual(harness.reg_query(CLASSES + "\\" + ext), cls_name)
                self.assertEqual(harness.reg_query(CLASSES + "\\" + cls_name), cls_name)
                self.assertEqual(harness.reg_query(CLASSES + "\\" + cls_name + "\\Shell\\Open\\Command"),
                                 program + "QuarnWin32.exe %1")
                self.assertEqual(harness.reg_query(CLASSES + "\\" + cls_name + "\\DefaultIcon"),
                                 program + "QuarnWin32.exe,0")

        # The font: copied into the fonts folder by the copy step, registered by its bare file name.
        self.assertEqual(harness.reg_query(FONTS_KEY, FONT_NAME), FONT_FILE)
        with open(FONT_PATH, "rb") as f, open("/usr/share/fonts/truetype/dejavu/" + FONT_FILE, "rb") as g:
            self.assertEqual(f.read(), g.read())

        # The shortcut, named after the program group.
        self.assertTrue(os.path.exists(LINK), LINK)
        link = self.read_link()
        self.assertEqual(link["path"].lower(), (program + "QuarnWin32.exe").lower())
        self.assertEqual(link["description"], GROUP)
        self.assertEqual(link["workdir"].lower(), (program.rstrip("\\")).lower())
        self.assertEqual(link["icon"].lower(), (program + "QuarnWin32.exe").lower())
        self.assertEqual(link["index"], "0")
        self.assertEqual(link["args"], "")


class CancelWhileCopying(InstallationRun):
    """The user's own basic settings file is on the target: the copy asks before replacing it, and the
    question holds the run inside the copy step while Cancel is pressed."""

    def prepare_target(self):
        os.makedirs(os.path.join(TARGET, "QuarnWin32"))
        with open(os.path.join(TARGET, "QuarnWin32", "quarn.cfg"), "wb") as f:
            f.write(b"; my own settings\r\n")

    def test_cancel_during_copying_skips_record_file_types_font_and_shortcut(self):
        self.start_installation()
        _, box = self.driver("msgbox", REPLACE_QUESTION, "none", 120000)
        harness.screenshot("installed_system_replace_question")
        # Cancel while the copy step waits for the answer (the dialog's own command: its button is disabled
        # while the question is up).
        self.driver("click", self.web, BUTTON, "cmd")
        harness.wait_until(lambda: self.web_text(BUTTON) == "Megszakítva", 10, what="the cancel to be taken")
        self.driver("msgbox", REPLACE_QUESTION, "no")
        harness.wait_until(lambda: self.web_text(WEB_TITLE) == T_CANCELLED, 120, what="the cancelled end")
        harness.wait_until(lambda: self.web_text(BUTTON) == "Kilépés", 10, what="the exit button")
        harness.screenshot("installed_system_cancelled_while_copying")

        # The copy went on to its end; the user's file was kept as answered.
        self.assertTrue(os.path.exists(os.path.join(TARGET, "QuarnWin32", "QuarnWin32.exe")))
        with open(os.path.join(TARGET, "QuarnWin32", "quarn.cfg"), "rb") as f:
            self.assertEqual(f.read(), b"; my own settings\r\n")
        # None of the four steps after it ran.
        self.assertIsNone(harness.reg_query(CAD_KEY, "SubSystem"))
        for ext, cls_name in FILE_TYPES:
            self.assertIsNone(harness.reg_query(CLASSES + "\\" + ext), ext)
            self.assertIsNone(harness.reg_query(CLASSES + "\\" + cls_name), cls_name)
        self.assertIsNone(harness.reg_query(FONTS_KEY, FONT_NAME))
        self.assertFalse(os.path.exists(LINK))

        self.driver("click", self.web, BUTTON)
        self.assertEqual(self.wait_exit_code(30), 0)


if __name__ == "__main__":
    harness.main()

"""The installer started up to its options dialog, for the options dialog and drive chooser tests."""
import os
import unittest

import harness
from harness import Driver, Installer, screenshot, wait_until
from resource_ids import ID

DRIVE_EDIT, START_AFTER, CHOOSE_DRIVE = ID["IDC_DRIVE_EDIT"], ID["IDC_START_AFTER"], ID["IDC_CHOOSE_DRIVE"]
HELP_BUTTON, INFO_BUTTON = ID["IDC_HELP_BUTTON"], ID["IDC_INFO_BUTTON"]

OPTIONS_TITLE = "QuarnCAD DEMO letöltés a WEB-ről:"
CAPTION = "QuarnCAD telepités"  # message boxes and the backdrop
BACKDROP = "class=QuarnCAD WEB Install"
CHOOSER_TITLE = "Cél meghajtó kijelölése:"
STRING_1 = "Cél meghajtó kijelölési hiba! [a - z, A - Z]"
STRING_2 = "A cél meghajtó - %s - nem üzemképes, vagy más hiba!"

VK_END = 35


def missing_drive():
    """An upper-case drive letter the test prefix does not have."""
    dosdevices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
    present = {n[0].upper() for n in os.listdir(dosdevices) if len(n) == 2 and n[1] == ":"}
    for c in "QPONMLKJIH":
        if c not in present:
            return c
    raise RuntimeError("no free drive letter in the prefix")


class OptionsTestCase(unittest.TestCase):
    """Starts the installer and waits for its options dialog; ends it after each test."""

    def setUp(self):
        self.driver = Driver()
        self.app = Installer(name="installer-" + self.id().split(".")[-1])
        self.addCleanup(self._end)
        _, out = self.driver("wait", OPTIONS_TITLE, harness.PROGRAM_START_MS)
        self.dialog = "hwnd=" + out[0].split()[1]
        # The dialog is up once its start-up has put the drive into the field.
        self.driver("waittext", self.dialog, DRIVE_EDIT, ":", 10000)

    def _end(self):
        # End the program as a user would (answer a pending box, then Mégsem): a killed Wine process
        # now and then takes the next test's driver down with it.
        try:
            if self.app.proc.poll() is None:
                self.driver("msgbox", CAPTION, "ok", 200, check=False)
                self.driver("click", self.dialog, 2, check=False)
                self.app.proc.wait(timeout=10)
        except Exception:
            pass  # the driver or the program is gone already: killed below
        finally:
            if self.app.proc.poll() is None:
                self.app.kill()
            self.driver.close()

    # ---- helpers ----
    def field(self):
        return self.driver.text(self.dialog, DRIVE_EDIT)

    def type_behind(self, chars):
        """Types into the drive field with the caret behind its text (End, then the keys)."""
        self.driver("keyto", self.dialog, DRIVE_EDIT, VK_END)
        self.driver("type", self.dialog, DRIVE_EDIT, chars)

    def message_box(self, answer="ok"):
        """Waits for the program's message box, answers it, returns (caption, text, owner)."""
        _, out = self.driver("msgbox", CAPTION, answer, 10000)
        info = dict(line.split("=", 1) for line in out if "=" in line)
        return info["caption"], info["text"], info["owner"]

    def no_message_box(self):
        rc, _ = self.driver("msgbox", CAPTION, "none", 700, check=False)
        return rc != 0

    def dialog_handle(self):
        return int(self.dialog.split("=")[1], 16)

    def windows_titled(self, title):
        _, out = self.driver("list")
        return [l for l in out if ("title=" + title) in l]

    def shot(self, name, spec=None):
        rect = tuple(int(v) for v in self.driver("rect", spec or self.dialog)[1][0].split())
        full = screenshot(name + "_screen")
        return screenshot(name, rect), full

    def wait_exit_code(self, timeout=20):
        return self.app.wait_exit(timeout)


class WholeInstallationCase(OptionsTestCase):
    """An options dialog taken through a whole web installation onto DRIVE, the system not started."""
    DRIVE = "V"

    def web_dialog(self):
        """The web installation dialog (the one with the progress bar) as a driver spec, or None."""
        _, out = self.driver("list")
        for line in out:
            if ("title=" + OPTIONS_TITLE) in line:
                spec = "hwnd=" + line.split()[0]
                rc, controls = self.driver("dump", spec, check=False)
                if rc == 0 and any(c.startswith("id=%d " % ID["IDC_WEB_PROGRESS"]) for c in controls):
                    return spec
        return None

    def install(self, shot):
        self.driver("settext", self.dialog, ID["IDC_DRIVE_EDIT"], self.DRIVE + ":")
        self.driver("click", self.dialog, ID["IDC_START_AFTER"])  # no start of the system afterwards
        self.driver("waitstate", self.dialog, ID["IDC_START_AFTER"], "checked=0")
        self.driver("click", self.dialog, 1)    # Telepítés
        wait_until(self.web_dialog, 30, what="the web installation dialog")
        wait_until(lambda: self.web_dialog() is None, 180, what="the installation to end",
                   ended=lambda: harness.web_dialog_end(self.driver))
        screenshot(shot)


def main():
    harness.main()

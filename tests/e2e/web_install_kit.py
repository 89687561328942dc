"""Pieces shared by the tests that drive a whole web installation through the real program: the dialog's
texts and control ids, a small set written by the test itself (TestSet), the record msglog.dll keeps of
the web dialog's messages (MessageLog), and the steps of a user starting an installation
(WebDialogDriving).

    class MyTest(web_install_kit.WebDialogDriving, unittest.TestCase):
        drive = "T"                                  # the drive picked in the options dialog
        ...
        self.set = TestSet(tree)                     # the files the test servers serve
        self.log = MessageLog(path)
        self.start_installation()                    # needs self.drv (harness.Driver) and self.log
"""
import os
import shutil

import harness
from resource_ids import ID

ROOT = "WebE2E"                  # RootDirectory of the test set
MARKERS = b"QuarnCAD WEB update system: V9.21\r\nQuarnSoft Ltd. 1992-2019.\r\n"


# Texts of the dialog, as the program's code page 1250 bytes.
def cp(text):
    return text.encode("cp1250")


T_COLLECTING = cp("A telepítési adatok kigyűjtése folyik...")
T_DOWNLOADING = cp("A telepítési adatok letöltése folyik... (ez idő igényes lehet...)")
T_DIRECTORIES = cp("A rendszer könyvtárak létrehozása...")
T_FILES = cp("A rendszer állományok telepítése...")
T_REGISTERING = cp("A telepítés regisztrálása...")
T_SUCCEEDED = cp("A telepítés sikeresen végrehajtva!")
T_CANCELLED = cp("A telepítési folyamat megszakítva!")
B_CANCEL, B_CANCELLED, B_EXIT = "Megszakítás", "Megszakítva", "Kilépés"

FRAME, TITLE, STATUS, BAR, ACTIVITY, PERCENT = (ID[n] for n in (
    "IDC_WEB_FRAME", "IDC_WEB_TITLE", "IDC_WEB_STATUS", "IDC_WEB_PROGRESS", "IDC_WEB_ACTIVITY", "IDC_WEB_PERCENT"))
BUTTON = harness.IDCANCEL
PROGRESS_CONTROLS = (STATUS, BAR, ACTIVITY, PERCENT)
DRIVE_EDIT = ID["IDC_DRIVE_EDIT"]
OPTIONS = "ctl=%d" % DRIVE_EDIT  # the options dialog: the window with the drive field
START_AFTER = ID["IDC_START_AFTER"]  # its box "start the system afterwards"


def crlf(*lines):
    return b"".join((l if isinstance(l, bytes) else cp(l)) + b"\r\n" for l in lines)


def filler(content):
    """How the server stores a file whose name holds "ex_": a filler byte before every content byte."""
    out = bytearray()
    for i, b in enumerate(content):
        out += bytes(((i * 7 + 3) & 0xFF, b))
    return bytes(out)


class TestSet:
    """A one-disc set written into the served tree: Update.ini, Install.ini, Fajls_1.ini and three files.

    system: the lines of section System (default: RootDirectory, unless root_directory is False, and the
    record's values). install_extra / list_extra: lines appended to Install.ini (after [Directorys]) and
    to Fajls_1.ini (after the last line of [Systems], so "File3=..." continues that part). files: more
    files of disc 1, {name: stored bytes}. sizes: {part: bytes} written into Install.ini instead of the
    parts' real sizes (a description that understates them). disc2: {name: bytes}, files of a second disc
    in part Systems, installed into QuarnWin32\\Data (its own list Fajls_2.ini)."""

    def __init__(self, tree, root_directory=True, big_size=1_500_000, system=None, install_extra=(),
                 list_extra=(), files=None, sizes=None, disc2=None):
        self.tree = tree
        self.setup_cfg = b"[Setup]\r\nLanguage=HU\r\n"
        self.program = b"MZ" + bytes(range(256)) * 40          # stands for QuarnWin32.exe
        self.big = bytes((i * 31 + 7) & 0xFF for i in range(big_size))
        self.disc = os.path.join(tree, "KelvaranDemo", "Disc_01")
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(self.disc)
        with open(os.path.join(tree, "Update.ini"), "wb") as f:
            f.write(b"[Update]\r\n" + MARKERS + b"Version=9.21\r\n")
        if system is None:
            system = (["RootDirectory=" + ROOT] if root_directory else []) + [
                "CadSystem=QuarnCAD WebE2E", "SubSystem=Demo", "Version=9.20"]
        declared = {"Setup": len(self.setup_cfg), "Systems": len(self.program) + len(self.big)}
        declared.update(sizes or {})
        second = []
        if disc2:
            second = ["[Disc02]", "Name=WebE2E 2. lemez", "Systems=%d" % sum(len(d) for d in disc2.values())]
            self.write("../Disc_02/Fajls_2.ini", crlf(
                "[Disc]", "Name=WebE2E 2. lemez", "[Systems]",
                *["File%d=\\%s \\QuarnWin32\\Data\\%s" % (i, name, name) for i, name in enumerate(disc2, 1)]))
            for name, data in disc2.items():
                self.write("../Disc_02/" + name, data)
        self.write("Install.ini", crlf("[System]", *system,
                                       "[Disc01]", "Name=WebE2E 1. lemez",
                                       "Setup=%d" % declared["Setup"],
                                       "Systems=%d" % declared["Systems"],
                                       *second,
                                       "[Directorys]", "Dir1=\\QuarnWin32", "Dir2=\\QuarnWin32\\Data",
                                       *install_extra))
        # The program is installed with "ask before replacing": a test that leaves an old copy in
        # place gets the question, which holds the worker in the installation phase.
        self.write("Fajls_1.ini", crlf("[Disc]", "Name=WebE2E 1. lemez",
                                       "[Setup]", "File1=\\setup.cfg \\QuarnWin32\\setup.cfg",
                                       "[Systems]", "File1=\\QuarnWin32.ex_ *?\\QuarnWin32\\QuarnWin32.exe",
                                       "File2=\\big.dat \\QuarnWin32\\Data\\big.dat",
                                       *list_extra))
        for name, data in (("setup.cfg", self.setup_cfg), ("QuarnWin32.ex_", filler(self.program)),
                           ("big.dat", self.big)):
            self.write(name, data)
        for name, data in (files or {}).items():
            self.write(name, data)

    def write(self, name, data):
        """Writes one file of disc 1 (name relative to the disc folder, "/" or "\\" separated; "../Disc_02/x"
        reaches the next disc's folder)."""
        path = os.path.join(self.disc, *name.replace("\\", "/").split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path


class MessageLog:
    """What msglog.dll recorded: (kind, control or None, value) per line, in order."""

    def __init__(self, path):
        self.path = path
        open(path, "wb").close()

    def entries(self):
        out = []
        with open(self.path, "rb") as f:
            for raw in f.read().splitlines():
                parts = raw.decode("latin-1").split(" ")
                if len(parts) < 2:
                    continue
                kind = parts[1]
                if kind == "settext":
                    out.append((kind, int(parts[2]), b"" if parts[3] == "-" else bytes.fromhex(parts[3])))
                elif kind in ("pos", "clip", "show", "enable"):
                    out.append((kind, int(parts[2]), int(parts[3])))
                elif kind == "command":
                    out.append((kind, None, int(parts[2])))
                else:
                    out.append((kind, None, None))
        return out

    def texts(self, control):
        return [v for (k, c, v) in self.entries() if k == "settext" and c == control]

    def values(self, kind, control=None):
        return [v for (k, c, v) in self.entries() if k == kind and (control is None or c == control)]


def is_subsequence(needed, seen):
    it = iter(seen)
    return all(any(x == y for y in it) for x in needed)


class WebDialogDriving:
    """A user's steps with the web installation dialog, for a unittest.TestCase holding self.drv (a
    harness.Driver) and self.log (a MessageLog); sets self.installer. drive: the letter picked."""

    drive = "T"
    installer_name = "web_install"
    installer_exe = None  # None: this build's QuarnWebInstall.exe
    parts = ()            # part boxes of the options dialog to tick besides the defaults
    installer_env = {}    # more environment for the program
    installer_args = ()   # switches for the program (any switch makes it end with its end's exit code)

    def start_installation(self, start_after=False):
        """Starts the program, chooses the drive (and the parts) and presses Install; returns once the web
        dialog is up."""
        extra = dict(self.installer_env, QUARN_MSGLOG=harness.win_path(self.log.path))
        saved = {k: os.environ.get(k) for k in extra}
        os.environ.update(extra)
        try:
            self.installer = harness.Installer(exe=self.installer_exe, args=self.installer_args,
                                              name=self.installer_name)
        finally:
            for k, v in saved.items():
                if v is None:
                    del os.environ[k]
                else:
                    os.environ[k] = v
        rc, out = self.drv("wait", OPTIONS, harness.PROGRAM_START_MS, check=False)
        if rc != 0:
            raise AssertionError("the options dialog did not appear within %d s: %s"
                                 % (harness.PROGRAM_START_MS // 1000, harness.start_failure(self.drv, self.installer)))
        self.drv("hook", OPTIONS, harness.win_path(os.path.join(harness.BUILD, "msglog.dll")))
        self.drv("settext", OPTIONS, DRIVE_EDIT, self.drive + ":")
        if not start_after:
            self.drv("click", OPTIONS, START_AFTER)   # "A telepítés után ... elindul": off
            self.drv("waitstate", OPTIONS, START_AFTER, "checked=0")
        for box in self.parts:
            if self.drv.state(OPTIONS, box)["checked"] != "1":
                self.drv("click", OPTIONS, box)
            self.drv("waitstate", OPTIONS, box, "checked=1")
        self.drv("click", OPTIONS, 1)
        self.drv("wait", "ctl=%d" % FRAME, 30000)

    def text(self, control):
        return self.drv.ansi("ctl=%d" % FRAME, control)

    def wait_text(self, control, wanted, timeout=30):
        """Waits until the control reads `wanted`; fails at once when the run reaches an end meanwhile."""
        return harness.wait_until(lambda: self.text(control) == wanted, timeout,
                                  what="control %d to read %r (reads %r)" % (control, wanted, self.text(control)),
                                  ended=lambda: "" if wanted in (T_CANCELLED, B_EXIT.encode("cp1250"))
                                  else harness.web_dialog_end(self.drv))

    def button(self):
        return self.drv.text("ctl=%d" % FRAME, BUTTON), self.drv.state("ctl=%d" % FRAME, BUTTON)

    def assert_progress_hidden(self):
        for control in PROGRESS_CONTROLS:
            self.assertEqual(self.drv.state("ctl=%d" % FRAME, control)["visible"], "0", "control %d" % control)

    def press_exit_and_expect_the_end(self):
        self.drv("click", "ctl=%d" % FRAME, BUTTON)
        self.assertEqual(self.installer.wait_exit(30), 0)
        self.drv("gone", OPTIONS, 5000)

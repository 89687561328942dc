"""Runs of the real program against hostile input, for the hostile-server and disk-fault suites: a run
driven to its end whatever boxes come up (answered by the case's rules), the end it reached, and a scan
of everything the run wrote, so that a case can prove that nothing landed outside the folders the
installer may write to.

    class MySuite(hostile_run.HostileRunning, unittest.TestCase):
        drive = "V"
        ...
        before = hostile_run.Snapshot.take(self.scan_roots())
        self.start_installation()
        run = self.run_to_end(answers={"13": "ok"}, bound=30)
        run.end        # "success" | "cancelled" | "no-connection"
        run.boxes      # [("13", text), ...] in order
        after = hostile_run.Snapshot.take(self.scan_roots())
        self.assertEqual(self.outside_writes(before, after, root="WebE2E"), [])

The rows a suite ran are written to BUILD/reliability/<suite>.tsv (case, input, outcome as observed), so
that docs/reliability.md can be checked against what the suite really does (tests/reliability_doc.py).
"""
import os
import sys
import time

import harness
from web_install_kit import B_EXIT, BUTTON, FRAME, T_CANCELLED, T_SUCCEEDED, TITLE, WebDialogDriving

# The document of the cases tried (docs/reliability.md) is checked by tests/reliability_doc.py.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Message boxes of the program, told apart by a piece of their text (code page 1250 decoded).
BOX_KINDS = (
    ("root", "A telepítési könyvtár nem található a WEB-en!"),
    ("space", "Nincs elég szabad hely"),
    ("4", "meghajtóba a -'"),
    ("5", "meghajtóban NEM"),
    ("6", "cél állomány létrehozása hibás"),
    ("7", "másolás olvasás hiba"),
    ("8", "másolás írás hiba"),
    ("9", "forrás állomány megnyitása hibás"),
    ("11", "Memória foglalási hiba"),
    ("13", "Hibás célfájl kód"),
    ("14", "Felül kívánja írni"),
    ("damaged", "' fájl sérült, a telepítés megszakad!"),
    ("download", "' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"),
    ("signature", "készlet aláírása érvénytelen"),
    ("expired", "készlet elavult"),
    ("foreign", "nem ehhez a telepítőhöz készült"),
    ("withdrawn", "visszavont, régi kiadás"),
)
# A disc prompt asks again after every OK: only Cancel ends it. Everything else is answered OK unless a
# case says otherwise.
DEFAULT_ANSWERS = {"4": "cancel", "5": "cancel", "14": "yes"}
BOX_CAPTIONS = ("QuarnCAD telepités", "QuarnCAD System Error!")
NO_CONNECTION = "A telepítő rendszernek nincs Internet kapcsolata,".encode("cp1250")


def box_kind(text):
    for kind, piece in BOX_KINDS:
        if piece in text:
            return kind
    return "other"


class Run:
    """What one run showed: the end it reached, the boxes in order, its duration."""

    def __init__(self):
        self.end = None
        self.boxes = []
        self.seconds = None
        self.exit_code = None

    def kinds(self):
        return [k for (k, _) in self.boxes]

    def summary(self):
        """The observed outcome as one line: the end and the boxes answered on the way."""
        text = {"success": "success end", "cancelled": "cancelled end",
                "no-connection": "no-connection end"}.get(self.end, str(self.end))
        if self.boxes:
            text += "; boxes " + ", ".join(self.kinds())
        return text


# ---- the scan -------------------------------------------------------------------------------------------
class Snapshot:
    """Every file and folder below some roots: {path: (kind, size, mtime_ns)}."""

    def __init__(self, entries):
        self.entries = entries

    @classmethod
    def take(cls, roots):
        entries = {}
        for root in roots:
            if not os.path.isdir(root):
                continue
            for folder, dirs, files in os.walk(root):
                for name in dirs:
                    p = os.path.join(folder, name)
                    entries[p] = ("d", 0, 0)
                for name in files:
                    p = os.path.join(folder, name)
                    try:
                        st = os.lstat(p)
                    except OSError:
                        continue
                    entries[p] = ("f", st.st_size, st.st_mtime_ns)
        return cls(entries)

    def changes(self, later):
        """Paths created, changed or removed between this snapshot and a later one."""
        out = []
        for p, v in later.entries.items():
            if self.entries.get(p) != v:
                out.append(p)
        out += [p for p in self.entries if p not in later.entries]
        return sorted(out)


def wine_bookkeeping(prefix):
    """Files Wine itself writes while a program runs, whatever the program does: the registry hives,
    saved by the wineserver on its own timer (any registry write lands there, the installer's record
    included). Found by scanning the prefix, the drives and the home folder before the whole suite and
    40 s after it: system.reg was the only change outside the allowed folders; in the full test command,
    right after the wineserver's start, its first save wrote userdef.reg as well. user.reg is the same
    mechanism for the user's half of the registry. Returns (files, folders)."""
    return [os.path.join(prefix, name) for name in ("system.reg", "user.reg", "userdef.reg")], []


def hive_being_saved(prefix, path):
    """The wineserver saves a hive through a temporary "reg<hex>.tmp" beside it and renames it over the
    hive: a scan made during a save sees it (seen once in the hostile suite)."""
    name = os.path.basename(path)
    return (os.path.dirname(path) == prefix and name.startswith("reg") and name.endswith(".tmp")
            and all(c in "0123456789abcdef" for c in name[3:-4]))


def desktop_folder():
    """The host folder behind the Wine user's desktop (a link out of the prefix, into the test's HOME,
    which Documents and the other user folders share): only shortcuts directly in it are allowed."""
    return os.path.realpath(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", harness.wine_user(),
                                         "Desktop"))


def _inside(path, folder):
    folder = folder.rstrip(os.sep)
    return path == folder or path.startswith(folder + os.sep)


class HostileRunning(WebDialogDriving):
    """Drives a run to its end and scans what it wrote. Needs self.drv, self.log and self.installer as
    WebDialogDriving does, and self.work (a folder of the test's own)."""

    drive = "V"

    def drive_dir(self):
        return os.path.join(harness.BUILD, "drives", self.drive.lower())

    def scan_roots(self, extra=()):
        """Where a hostile run could write: the whole prefix (C: and the Windows folder, the profile),
        every test drive, and any folder a case aims its names at."""
        return [os.environ["WINEPREFIX"], os.path.join(harness.BUILD, "drives"), desktop_folder()] + list(extra)

    def allowed_folders(self, root):
        """The folders a run may write to: the root folder on the target drive (the staging folder is
        inside it), the Windows folder and the Program Manager groups (and a shortcut on the desktop), and
        the installation log's file in the temporary folder."""
        prefix = os.environ["WINEPREFIX"]
        user = os.path.join(prefix, "drive_c", "users", harness.wine_user())
        allowed = [os.path.join(prefix, "drive_c", "windows"),
                   os.path.join(user, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs")]
        if root:
            allowed.append(os.path.join(self.drive_dir(), root))
        # Every run writes its log there until the staging folder exists (and moves it from there).
        allowed.append(harness.temp_install_log())
        return allowed

    def outside_writes(self, before, after, root, record=None):
        """Changes outside the allowed folders and outside Wine's own bookkeeping. record: a file that
        gets every change with its verdict ("allowed", "wine" or "OUTSIDE")."""
        files, folders = wine_bookkeeping(os.environ["WINEPREFIX"])
        allowed = self.allowed_folders(root)
        out = []
        verdicts = []
        for p in before.changes(after):
            if p in files or any(_inside(p, f) for f in folders) or hive_being_saved(os.environ["WINEPREFIX"], p):
                verdicts.append(("wine", p))
            elif (any(_inside(p, f) for f in allowed) or (any(_inside(a, p) for a in allowed) and os.path.isdir(p))
                  or (os.path.dirname(p) == desktop_folder() and p.lower().endswith(".lnk"))):
                # (The folders leading to an allowed folder change when it is created inside them.)
                verdicts.append(("allowed", p))
            else:
                verdicts.append(("OUTSIDE", p))
                out.append(p)
        if record:
            with open(record, "w", encoding="utf-8") as f:
                f.writelines("%s\t%s\n" % v for v in verdicts)
        return out

    def run_to_end(self, answers=None, bound=30.0, during=None, shots=None, exit_code=0):
        """Follows the started run until it ends: answers each message box by its kind (answers, then
        DEFAULT_ANSWERS, else OK), and at the cancelled or no-connection end presses "Kilépés". during(run)
        is called on every round while the web dialog is up (a case acts there, e.g. presses Cancel).
        shots: a name prefix; the screen is saved at the first boxes and at the end (BUILD/screenshots).
        Fails when the run has not ended within `bound` seconds or the program did not end with exit_code
        (0 for a run without switches, whatever its end)."""
        rules = dict(DEFAULT_ANSWERS)
        rules.update(answers or {})
        run = Run()
        started = time.monotonic()
        deadline = started + bound
        frame = "ctl=%d" % FRAME
        while True:
            if time.monotonic() > deadline:
                harness.screenshot("hostile_hang_" + self.id().split(".")[-1])
                _, windows = self.drv("list", check=False)
                self.fail("no end within %.0f s (a hang?); boxes so far %r; windows %r"
                          % (bound, run.boxes, windows))
            if self.installer.proc.poll() is not None:
                break
            if any(k == "destroy" for (k, _, _) in self.log.entries()):
                # The dialog closed (success): the program goes on with the Program Manager commands and
                # ends by itself.
                self.installer.wait_exit(max(1.0, deadline - time.monotonic()))
                break
            box = self.find_box()
            if box is not None:
                caption, text = box
                kind = box_kind(text)
                run.boxes.append((kind, text))
                if shots and len(run.boxes) <= 3:
                    harness.screenshot("%s_box%d_%s" % (shots, len(run.boxes), kind))
                self.drv("msgbox", caption, rules.get(kind, "ok"), 2000)
                continue
            rc, out = self.drv("text", frame, BUTTON, check=False)
            if rc != 0:
                time.sleep(0.05)  # between the dialog's end and the process's end
                continue
            if during is not None:
                during(run)
            if next((l[5:] for l in out if l.startswith("text=")), "") == B_EXIT:
                if shots:
                    harness.screenshot(shots + "_end")
                titles = self.log.texts(TITLE)
                title = titles[-1] if titles else None
                if title == T_CANCELLED:
                    run.end = "cancelled"
                elif title == b"" and any(NO_CONNECTION in t for t in self.log.texts(FRAME)):
                    run.end = "no-connection"
                else:
                    run.end = "exit button under title %r" % title
                self.drv("click", frame, BUTTON, check=False)
                self.installer.wait_exit(max(5.0, deadline - time.monotonic()))
                break
            time.sleep(0.05)
        run.exit_code = self.installer.proc.returncode
        run.seconds = time.monotonic() - started
        if run.end is None:
            # The program ended by itself: only a success does that. A cancelled end (also a disc refused
            # at the prompt) waits for "Kilépés".
            titles = self.log.texts(TITLE)
            last = titles[-1] if titles else None
            run.end = "success" if last == T_SUCCEEDED else "ended by itself under title %r" % last
        self.assertEqual(run.exit_code, exit_code, "the program did not end with its end's code (a crash?): %r"
                         % run.summary())
        out_path = os.path.join(harness.BUILD, self.installer_name + ".out")
        with open(out_path, "rb") as f:
            output = f.read()
        self.assertNotIn(b"Unhandled", output, "Wine reported an unhandled exception")
        return run

    def find_box(self):
        """(caption, text) of the program's message box on the screen, or None. Looked for by the two
        captions the program gives its boxes: the web dialog is a dialog with a text too."""
        for caption in BOX_CAPTIONS:
            rc, out = self.drv("msgbox", caption, "none", 0, check=False)
            if rc == 0:
                info = dict(l.split("=", 1) for l in out if "=" in l)
                return caption, harness.decode_ansi(info.get("text_ansi", "")).decode("cp1250", "replace")
        return None


def write_rows(suite, rows):
    """Records the rows a suite ran: BUILD/reliability/<suite>.tsv, one "case TAB input TAB outcome" line
    each (tests/reliability_doc.py compares them with docs/reliability.md)."""
    folder = os.path.join(harness.BUILD, "reliability")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, suite + ".tsv"), "w", encoding="utf-8") as f:
        for case, what, outcome in rows:
            f.write("%s\t%s\t%s\n" % (case, what, outcome))

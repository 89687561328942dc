"""A hostile server: the real program under Wine, driven like a user, against test servers that misbehave
on purpose or serve a set written to do harm (tools/testserver/quarn_testserver.py).

Every case of CASES starts QuarnWebInstall.exe, picks drive V:, presses Telepítés and follows the run to
its end, answering each message box by its kind (a disc prompt with Cancel, every error box with OK
unless the case says otherwise). For each case it checks:
  - the end the program gives for the input (success, cancelled, no connection) and the boxes on the way,
    in order;
  - that the program ended cleanly (exit code 0, no unhandled exception) within the case's bound;
  - a scan of the whole Wine prefix, every test drive and the home folder behind the Wine user's desktop:
    nothing was written outside the root folder on the target drive (the staging folder is inside it), the
    Windows folder, the desktop shortcut and the Program Manager groups. Wine's own bookkeeping (the
    registry hives the wineserver saves) is excluded: hostile_run.wine_bookkeeping.
  - what the case itself must show (a file staged or not, a request made or not).

The rows run are written to BUILD/reliability/hostile_server.tsv; docs/reliability.md lists every case
(tests/reliability_doc.py checks it).

The 20,000-entry file list is cancelled by the user after a few hundred files here: fetching all of it
costs minutes. QUARN_HOSTILE_FULL=1 installs the whole list instead (measured here: 425 s to download, 217 s to copy).
"""
import os
import shutil
import subprocess
import unittest

import fault_suite
import harness
import hostile_run
import servers
from web_install_kit import B_CANCEL, BUTTON, FRAME, MARKERS, ROOT, STATUS, TestSet

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

DISC = "/KelvaranDemo/Disc_01/"
FULL = os.environ.get("QUARN_HOSTILE_FULL") == "1"
MANY = 20000
CANCEL_AFTER = 300                 # files of the long list fetched before the user cancels
LONG = "L" * 300                   # a value longer than the 255 characters every reader keeps
GROUP = "Hostile %n%s%s"           # a group name a format function would choke on


class Case(fault_suite.Case):
    """One hostile input and the outcome the program gives for it (fault_suite.Case). set: TestSet options;
    rules: the servers' rules (a function of the servers where a rule needs their ports); root: the root
    folder the run may create on the drive (None: the run must create nothing there); prepare(test):
    changes the set before it is served."""

    fields = {"set": {}, "rules": (), "root": ROOT, "prepare": None}

    def __init__(self, name, what, outcome, end, boxes=(), bound=40, **fields):
        super().__init__(name, what, outcome, end, boxes, bound=bound, **fields)


# ---- what the cases check beyond the end ---------------------------------------------------------------
def staged(test, name):
    return os.path.join(test.drive_dir(), test.root, "QuarnWin32", "Install", "Disc_01", name)


def installed(test, *parts):
    return os.path.join(test.drive_dir(), test.root, "QuarnWin32", *parts)


def nothing_staged_after_description(test, run):
    test.assertFalse(os.path.exists(os.path.join(test.drive_dir(), ROOT)), "no folder without a description")
    test.assertFalse(any(p.endswith("/Fajls_1.ini") for p in test.paths()), "the download never started")


def failed_file_named(test, run, name):
    """The failed-file box names the file as the server's list does."""
    test.assertEqual(run.boxes[0][1], "A(z) ' %s ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!" % name)


def big_not_staged(test, run):
    # A file that did not arrive whole is not left behind as if it had, and nothing is installed.
    failed_file_named(test, run, "big.dat")
    test.assertFalse(os.path.exists(staged(test, "big.dat")))
    test.assertTrue(os.path.exists(staged(test, "setup.cfg")), "the files before it were staged")
    test.assertFalse(os.path.exists(staged(test, "Fajls_1.ini")), "a disc's list is staged last")
    test.assertFalse(os.path.exists(installed(test, "setup.cfg")), "nothing installed after a failed file")


def big_installed(test, run):
    with open(installed(test, "Data", "big.dat"), "rb") as f:
        test.assertEqual(f.read(), test.set.big)


def redirect_to_http_refused(test, run):
    big_not_staged(test, run)
    # The redirection was not followed: the HTTP host never saw the file.
    requests = [(s, p) for (s, _, p, _, _) in test.srv.requests() if p.endswith("/big.dat")]
    test.assertEqual(requests, [("https", "/Download/UpDate-V9.20" + DISC + "big.dat")])


def loop_cut_off(name, then):
    """The redirect loop was followed ten times, then given up (the first request and ten more)."""
    def check(test, run):
        then(test, run)
        test.assertEqual(len([p for p in test.paths() if p.endswith("/" + name)]), 11)
    return check


def no_request_for(name, *pieces):
    def check(test, run):
        failed_file_named(test, run, name)
        for path in test.paths():
            for piece in pieces:
                test.assertNotIn(piece, path, "a hostile name was requested")
        test.assertFalse(os.path.exists(staged(test, "Fajls_1.ini")))
    return check


def escape_refused(test, run):
    # The good files were installed; no escape.txt anywhere on the drive, none beside the Windows folder.
    test.assertTrue(os.path.exists(installed(test, "setup.cfg")))
    big_installed(test, run)
    for folder, _, files in os.walk(test.drive_dir()):
        test.assertNotIn("escape.txt", files, folder)
    test.assertFalse(os.path.exists(harness.prefix_path("C:\\escape.txt")))
    test.assertFalse(os.path.exists(harness.prefix_path("C:\\windows\\escape.txt")))
    for box in run.boxes:
        test.assertIn("escape.txt", box[1], "each box names the refused target")


def long_target_reported(test, run):
    test.assertTrue(os.path.exists(installed(test, "setup.cfg")))
    big_installed(test, run)
    test.assertIn("V:\\%s\\QuarnWin32\\LLLL" % test.root, run.boxes[0][1], "message 6 names the target")
    for folder, dirs, files in os.walk(os.path.join(test.drive_dir(), test.root)):
        test.assertFalse([n for n in dirs + files if n.startswith("LLLL")], "no cut name was written")


def nothing_on_the_drive(test, run):
    test.assertEqual(sorted(os.listdir(test.drive_dir())), test.drive_before)
    test.assertFalse(os.path.exists(harness.prefix_path("C:\\escape")))


def long_values_survive(test, run):
    big_installed(test, run)
    # The record's key path would not fit 256 bytes with CadSystem cut to 255 characters: no record is
    # written, under no cut name either.
    test.assertEqual([k for k in reg_subkeys(harness.RECORD_KEY) if k.startswith("CCC")], [])
    # The group command was cut before its ")]": no shortcut can be named from it.
    test.assertEqual([n for n in os.listdir(desktop()) if n.startswith("GGG")], [])


def commands_sent_verbatim(test, run):
    big_installed(test, run)
    groups = programs_folder()
    test.assertTrue(os.path.isdir(os.path.join(groups, GROUP)), "the group keeps its %%n%%s%%s: %r"
                    % os.listdir(groups))
    test.assertTrue(os.path.isfile(os.path.join(desktop(), GROUP + ".lnk")))


def group_kept_inside(test, run):
    groups = programs_folder()
    test.assertTrue(os.path.isfile(os.path.join(groups, GROUP, "QuarnCAD.lnk")), "the list went on after the "
                    "refused commands: %r" % os.listdir(groups))
    windows = os.path.dirname(os.path.dirname(groups))       # ...\Microsoft\Windows
    for folder, dirs, files in os.walk(windows):
        test.assertFalse([n for n in dirs + files if "Escape" in n], folder)


def cancel_when(condition):
    """Presses Cancel once, when condition(test) holds, and notes the requests made up to the moment the
    dialog took the press (its button then reads "Megszakítva")."""
    def during(test, run):
        if not getattr(run, "cancel_pressed", False) and condition(test):
            test.drv("click", "ctl=%d" % FRAME, BUTTON)
            run.cancel_pressed = True
            harness.wait_until(lambda: test.drv.text("ctl=%d" % FRAME, BUTTON) != B_CANCEL, 10,
                               what="the dialog to take the Cancel")
            run.requests_at_cancel = len(test.srv.requests())
    return during


def big_arriving(test):
    return any(p.endswith("/big.dat") for p in test.paths()) and test.text(STATUS).endswith(b"/big.dat")


def list_far_enough(test):
    return len(test.srv.requests()) > CANCEL_AFTER


def cancelled_soon(in_flight, also=()):
    """After the dialog took the Cancel, only the request in flight (at most `in_flight` of them) and the
    files in `also` were fetched: the download checks the flag before each file of a part, and disc 1's
    Install.ini follows its parts without a check."""
    def check(test, run):
        test.assertTrue(getattr(run, "cancel_pressed", False), "Cancel was never pressed")
        later = [p for p in test.paths()[run.requests_at_cancel:] if not p.endswith(also)]
        test.assertLessEqual(len(later), in_flight, later)
        test.assertFalse(os.path.exists(installed(test, "setup.cfg")), "nothing installed after a cancel")
    return check


def many_installed(test, run):
    for i in (0, MANY // 2, MANY - 1):
        with open(installed(test, "many", "%05d.dat" % i), "rb") as f:
            test.assertEqual(f.read(), b"%d" % i)



# ---- the sets the cases serve ---------------------------------------------------------------------------
def garbage(size):
    """Bytes no description holds: every byte value, CR LF here and there, "[" and "=" too."""
    seed = 0x2545F491
    out = bytearray(size)
    for i in range(size):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out[i] = (seed >> 16) & 0xFF
    return bytes(out)


def many_entries():
    lines = ["File%d=\\many\\%05d.dat \\QuarnWin32\\many\\%05d.dat" % (i + 3, i, i) for i in range(MANY)]
    files = {"many/%05d.dat" % i: b"%d" % i for i in range(MANY)}
    return {"list_extra": lines, "files": files, "install_extra": ["Dir3=\\QuarnWin32\\many"]}


def rule(match, action, **kw):
    d = {"match": match, "action": action}
    d.update(kw)
    return d


REVERSED = "[Update]\r\nQuarnSoft Ltd. 1992-2019.\r\nQuarnCAD WEB update system: V9.21\r\n"
LF_ONLY = MARKERS.decode().replace("\r\n", "\n")
LONG_SYSTEM = ["RootDirectory=" + ROOT, "CadSystem=" + "C" * 300, "SubSystem=" + "S" * 300,
               "Version=" + "V" * 300]
LONG_LABEL = "N" * 300
LONG_ROOT = "R" * 100

CASES = [
    # The probe file.
    Case("update_markers_reversed", "Update.ini with its two marker lines in the wrong order, on both hosts",
         "neither host accepted; nothing requested past Update.ini; nothing written", "no-connection",
         rules=[rule("*/Update.ini", "body", body=REVERSED)], root=None, check=nothing_on_the_drive),
    Case("update_markers_lf_only", "Update.ini whose marker lines end with LF only, on both hosts",
         "neither host accepted; nothing written", "no-connection",
         rules=[rule("*/Update.ini", "body", body=LF_ONLY)], root=None, check=nothing_on_the_drive),
    # The description, read whole into memory.
    Case("description_404", "Install.ini answered with 404", "the run ends before any folder is made",
         "cancelled", rules=[rule("*/Install.ini", "status", status=404)], root=None,
         check=nothing_staged_after_description),
    Case("description_no_length", "Install.ini sent chunked: status 200 without Content-Length",
         "refused like a missing file; no folder made", "cancelled",
         rules=[rule("*/Install.ini", "chunked")], root=None, check=nothing_staged_after_description),
    Case("description_length0", "Install.ini with Content-Length 0", "refused; no folder made", "cancelled",
         rules=[rule("*/Install.ini", "length0")], root=None, check=nothing_staged_after_description),
    Case("description_short", "Install.ini cut short: half the announced body, then the connection closes",
         "the read falls short and fails; no folder made", "cancelled",
         rules=[rule("*/Install.ini", "short")], root=None, check=nothing_staged_after_description),
    Case("description_reset", "Install.ini reset in mid-body", "the read fails; no folder made", "cancelled",
         rules=[rule("*/Install.ini", "reset")], root=None, check=nothing_staged_after_description),
    Case("description_length_not_a_number", "Install.ini with Content-Length 12abc and its whole body",
         "refused like one without a length (not read as its first 12 bytes); no folder made", "cancelled",
         rules=[rule("*/Install.ini", "content_length", value="12abc")], root=None,
         check=nothing_staged_after_description),
    Case("description_huge_length", "Install.ini announcing a Content-Length of 3,000,000,000 bytes",
         "refused at the open (above the 16 MiB bound for files read whole): no allocation, no wait",
         "cancelled", rules=[rule("*/Install.ini", "content_length", value="3000000000")], root=None,
         check=nothing_staged_after_description),
    Case("description_redirect_loop", "Install.ini redirecting to itself, endlessly",
         "followed ten times, then refused like a missing file (it used to hang the installer); no folder "
         "made", "cancelled", rules=[rule("*/Install.ini", "redirect", location="Install.ini")], root=None,
         check=loop_cut_off("Install.ini", nothing_staged_after_description)),
    Case("description_garbage_10mb", "Install.ini of 10 MB of random bytes",
         "read whole (below the bound); no RootDirectory in it: the missing-root box; no folder made",
         "cancelled", boxes=["root"], root=None, check=nothing_staged_after_description,
         prepare=lambda test: test.set.write("Install.ini", garbage(10 * 1024 * 1024))),
    # A file of the set, streamed to the staging folder.
    Case("file_404", "a file of the set answered with 404",
         "the download stops there: a box names the file and says its download failed, then the run ends "
         "interrupted; the disc's list is not staged, nothing installed (it used to ask for a floppy disc, "
         "again and again)", "cancelled", boxes=["download"], rules=[rule("*/big.dat", "status", status=404)],
         check=big_not_staged),
    Case("file_no_length", "a file of the set sent without Content-Length (the body ends at the close)",
         "refused like a missing file: as file_404", "cancelled", boxes=["download"],
         rules=[rule("*/big.dat", "nolength")], check=big_not_staged),
    Case("file_length0", "a file of the set with Content-Length 0", "as file_404", "cancelled",
         boxes=["download"], rules=[rule("*/big.dat", "length0")], check=big_not_staged),
    Case("file_short", "a file of the set cut short on every attempt: a third of the announced body, then "
         "close; ranges ignored, so no attempt gets further", "five attempts; the cut file is deleted, never "
         "staged as whole; then as file_404", "cancelled", boxes=["download"],
         rules=[rule("*/big.dat", "short", bytes=100000, ranges=False)], check=big_not_staged, bound=60),
    Case("file_reset", "a file of the set reset in mid-body on every attempt; ranges ignored",
         "five attempts; the partial file is deleted; then as file_404", "cancelled", boxes=["download"],
         rules=[rule("*/big.dat", "reset", bytes=100000, ranges=False)], check=big_not_staged, bound=60),
    Case("file_trickle_cancel", "a file of the set trickling in slowly; the user presses Cancel during it",
         "the file in transfer finishes; after it only disc 1's Install.ini (which follows the disc's "
         "files without a check of the flag); nothing installed", "cancelled",
         rules=[rule("*/big.dat", "trickle", chunk=8192, delay=0.05)], during=cancel_when(big_arriving),
         check=cancelled_soon(0, also=("/Install.ini",))),
    Case("file_redirect_to_http", "a file on the HTTPS host redirected to the HTTP host",
         "refused (a file asked for over HTTPS never comes over plain HTTP): the HTTP host gets no request; "
         "as file_404", "cancelled", boxes=["download"],
         rules=lambda srv: [rule("*/big.dat", "redirect", scheme="https",
                                 location=srv.url("http", "KelvaranDemo/Disc_01/big.dat"))],
         check=redirect_to_http_refused),
    Case("file_redirect_loop", "a file of the set redirecting to itself, endlessly",
         "followed ten times, then refused (it used to hang the installer): as file_404", "cancelled",
         boxes=["download"], rules=[rule("*/big.dat", "redirect", location="big.dat")],
         check=loop_cut_off("big.dat", big_not_staged)),
    # The file list.
    Case("list_20000_entries", "a file list of 20,000 entries, every file served",
         "fetched file by file (the list indexed once); the user's Cancel after 300 files stops it before "
         "the next one, nothing installed. With QUARN_HOSTILE_FULL=1: all 20,000 fetched and installed, "
         "success",
         "success" if FULL else "cancelled", set=many_entries(), bound=1500 if FULL else 90,
         during=None if FULL else cancel_when(list_far_enough),
         check=many_installed if FULL else cancelled_soon(1)),
    # Names from the server.
    Case("server_name_dotdot", "a file list naming ..\\..\\..\\escape.dat",
         "the name fails its file before any request: the download stops; as file_404", "cancelled",
         boxes=["download"], set={"list_extra": ["File3=\\..\\..\\..\\escape.dat \\QuarnWin32\\escape.dat"]},
         check=no_request_for("..\\..\\..\\escape.dat", "escape")),
    Case("server_name_drive", "a file list naming a drive path (C:\\escape.dat)",
         "refused before any request; as file_404", "cancelled", boxes=["download"],
         set={"list_extra": ["File3=C:\\escape.dat \\QuarnWin32\\escape.dat"]},
         check=no_request_for("C:\\escape.dat", "escape")),
    Case("server_name_unc", "a file list naming a network path (\\\\127.0.0.1\\share\\escape.dat)",
         "refused before any request; as file_404", "cancelled", boxes=["download"],
         set={"list_extra": ["File3=\\\\127.0.0.1\\share\\escape.dat \\QuarnWin32\\escape.dat"]},
         check=no_request_for("\\127.0.0.1\\share\\escape.dat", "escape")),
    Case("server_name_long", "a file list naming a file of 240 characters",
         "its URL would not fit 255 characters: refused before any request; as file_404", "cancelled",
         boxes=["download"], set={"list_extra": ["File3=\\%s.dat \\QuarnWin32\\long.dat" % ("n" * 240)]},
         check=no_request_for("n" * 240 + ".dat", "nnnn")),
    Case("target_dotdot", "target codes climbing out with ..: of the root folder, of the Windows folder, "
         "from inside a subfolder; a folder \\..\\escape to create",
         "message 13 for each, the file not written; the folder not made; the rest installed",
         "success", boxes=["13", "13", "13"],
         set={"list_extra": ["File3=\\setup.cfg \\..\\..\\escape.txt", "File4=\\setup.cfg *%\\..\\escape.txt",
                             "File5=\\setup.cfg \\QuarnWin32\\..\\..\\escape.txt"],
              "install_extra": ["Dir3=\\..\\escape"]},
         check=escape_refused),
    Case("target_drive", "target codes naming a drive: C:\\escape.txt, *%C:\\escape.txt, \\C:\\escape.txt",
         "every one refused as a bad target code (message 13): without a leading backslash, or with a ':' "
         "in an element (a drive or a stream); nothing written", "success", boxes=["13", "13", "13"],
         set={"list_extra": ["File3=\\setup.cfg C:\\escape.txt", "File4=\\setup.cfg *%C:\\escape.txt",
                             "File5=\\setup.cfg \\C:\\escape.txt"]},
         check=escape_refused),
    Case("target_long", "a target path of 300 characters (cut to 255 by the reader) below a root folder of "
         "100 characters", "the whole path would not fit 256 bytes: message 6 names it, nothing is written "
         "under a cut name; the rest installed", "success", boxes=["6"], root=LONG_ROOT,
         set={"system": ["RootDirectory=" + LONG_ROOT],
              "list_extra": ["File3=\\setup.cfg \\QuarnWin32\\" + LONG]},
         check=long_target_reported),
    Case("root_dotdot", "RootDirectory ..\\escape", "not a root folder name: the missing-root box; "
         "nothing made", "cancelled", boxes=["root"], root=None,
         set={"system": ["RootDirectory=..\\escape"]}, check=nothing_on_the_drive),
    Case("root_drive", "RootDirectory C:\\escape", "the missing-root box; nothing made", "cancelled",
         boxes=["root"], root=None, set={"system": ["RootDirectory=C:\\escape"]}, check=nothing_on_the_drive),
    Case("root_long", "RootDirectory of 300 characters", "cut to 255, the folders would not fit: the "
         "missing-root box; nothing made", "cancelled", boxes=["root"], root=None,
         set={"system": ["RootDirectory=" + LONG]}, check=nothing_on_the_drive),
    # Values and commands.
    Case("long_values", "values of 300 characters: CadSystem, SubSystem, Version, the disc label in both "
         "files, a file type, a font, a group command",
         "each cut to 255 characters by every reader alike: the labels still match, the record is "
         "written under the cut name, the cut group command names no shortcut; success", "success",
         set={"system": LONG_SYSTEM,
              "install_extra": ["[RegistryCommand]", "FileType1=." + LONG, "ClassName1=" + LONG,
                                "ExeFile1=" + LONG, "IconFile1=" + LONG,
                                "[FontsCommand]", "FontFile1=" + LONG, "FontName1=" + LONG,
                                "[Command]", "Command1=[CreateGroup(" + "G" * 300 + ")]"]},
         prepare=lambda test: test.relabel(LONG_LABEL), check=long_values_survive),
    Case("command_format", "Program Manager commands holding %n%s%s, with and without hh.exe",
         "never used as a format: sent as they are (%s only becomes the Windows folder in the help "
         "command); the group and the shortcut are named \"Hostile %n%s%s\"", "success",
         set={"install_extra": ["[Command]", "Command1=[CreateGroup(%s)]" % GROUP,
                                "Command2=[AddItem(%%s\\hh.exe %%n%%s%%s,%s)]" % GROUP,
                                "Command3=[ShowGroup(%s,1)]" % GROUP]},
         check=commands_sent_verbatim, bound=60),
    Case("command_dotdot", "Program Manager commands naming groups and items ..\\..\\HostileEscape, ..Escape, "
         "...", "not sent (a name beginning with \"..\" would put the group or item beside the Program "
         "Manager's folder: Wine's service did so before the mend); the list goes on, the good group and "
         "item appear", "success",
         set={"install_extra": ["[Command]", "Command1=[CreateGroup(..\\..\\..\\HostileEscape)]",
                                "Command2=[CreateGroup(%s)]" % GROUP,
                                "Command3=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,..\\..\\EscapeItem)]",
                                "Command4=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,..EscapeItem)]",
                                "Command5=[CreateGroup(...Escape)]",
                                "Command6=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,QuarnCAD)]"]},
         check=group_kept_inside, bound=60),
]


# ---- the suite -----------------------------------------------------------------------------------------
def desktop():
    return harness.prefix_path("C:\\users\\%s\\Desktop" % harness.wine_user())


def programs_folder():
    return harness.prefix_path("C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
                               % harness.wine_user())


def reg_subkeys(key):
    """The names of a registry key's subkeys."""
    p = subprocess.run(["wine", "reg", "query", key], capture_output=True, env=harness.wine_env(),
                       stdin=subprocess.DEVNULL)
    prefix = key.upper().replace("HKLM", "HKEY_LOCAL_MACHINE") + "\\"
    return [l.strip()[len(prefix):] for l in p.stdout.decode("cp1250", "replace").splitlines()
            if l.strip().upper().startswith(prefix)]


class HostileServer(fault_suite.FaultSuite, unittest.TestCase):
    drive = "V"
    installer_name = "hostile_server"
    work_name = "hostile-e2e"
    suite = "hostile_server"   # BUILD/reliability/hostile_server.tsv
    shots = "hostile"
    cases = CASES
    only_env = "QUARN_HOSTILE_CASES"
    scan = True

    def forget(self):
        """Also the group and the shortcut a run made (their names come from the set)."""
        super().forget()
        shutil.rmtree(os.path.join(programs_folder(), GROUP), ignore_errors=True)
        link = os.path.join(desktop(), GROUP + ".lnk")
        if os.path.exists(link):
            os.remove(link)

    def set_up_case(self, case, variant):
        self.drive_before = sorted(os.listdir(self.drive_dir()))
        self.set = TestSet(self.tree, big_size=300_000, **case.set)
        if case.prepare:
            case.prepare(self)
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))
        self.srv.set_rules(case.rules(self.srv) if callable(case.rules) else list(case.rules))

    def paths(self):
        return [p for (_, _, p, _, _) in self.srv.requests()]

    def relabel(self, label):
        """Gives disc 1 another label, in Install.ini and in its list alike."""
        for name in ("Install.ini", "Fajls_1.ini"):
            path = os.path.join(self.set.disc, name)
            with open(path, "rb") as f:
                data = f.read()
            with open(path, "wb") as f:
                f.write(data.replace(b"Name=WebE2E 1. lemez", b"Name=" + label.encode()))

    def test_scan_sees_writes_outside(self):
        """The scan itself: a file beside the root folder, one in C:\\ and a document in the user's home
        are outside; the root folder, the Windows folder, a group and a desktop shortcut are not."""
        self.root = ROOT
        self.forget()
        before = hostile_run.Snapshot.take(self.scan_roots())
        home = hostile_run.desktop_folder()
        inside = [os.path.join(self.drive_dir(), ROOT, "QuarnWin32", "a.txt"),
                  harness.prefix_path("C:\\windows\\hostile-scan.txt"),
                  os.path.join(programs_folder(), GROUP, "x.lnk"),
                  os.path.join(home, GROUP + ".lnk")]
        outside = [os.path.join(self.drive_dir(), "escape.txt"), harness.prefix_path("C:\\escape.txt"),
                   os.path.join(home, "escape.txt")]
        try:
            for path in inside + outside:
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write("x")
            after = hostile_run.Snapshot.take(self.scan_roots())
            self.assertEqual(sorted(self.outside_writes(before, after, ROOT)), sorted(outside))
            self.assertEqual(self.outside_writes(before, after, None),
                             sorted(outside + [os.path.join(self.drive_dir(), ROOT)] +
                                    [os.path.join(self.drive_dir(), ROOT, "QuarnWin32")] + inside[:1]))
        finally:
            for path in inside + outside:
                if os.path.exists(path):
                    os.remove(path)
            self.forget()

    def test_cases(self):
        self.run_cases()


if __name__ == "__main__":
    harness.main()

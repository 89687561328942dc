"""Unattended runs and the uninstaller, through the real program under Wine.

The sample set of test_full_install (published with quarnset, served by nginx on this build's hosts) is
installed silently (/S /DRIVE=U /NOSTART) while a watcher (driver.exe watch) looks at the window list every
few milliseconds for any visible window of QuarnWebInstall.exe; the watcher is shown to see the program's
windows in an ordinary start first, so that "nothing seen" means something. Then:

  - the silent run: exit code 0, the same files, record, file types, font, shortcut and group as the
    interactive run; the user's own "*?" file kept (the log says so); the uninstall entry and the
    installer's copy; the log names every installed file;
  - /S without a server: exit code 2, nothing written but the log, which names the failed requests;
  - a file the server lacks: the log names it and its 404;
  - bad switches: exit code 9, with /S without any window, without /S with the Hungarian box;
  - /? shows the help box;
  - /UNINSTALL after the silent installation (answered Yes): everything created is gone, a file changed
    after installing is kept and named, the user's "*-" file is kept, the record holds the two marks and
    its other values; a new installation clears the marks; /UNINSTALL /S likewise with exit code 0 and no
    window.
"""
import os
import shutil
import subprocess
import sys
import unittest

import harness
import sample_set
import test_full_install as full

EXE_NAME = "QuarnWebInstall.exe"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuarnCAD"
USER_BLOCK = ("QuarnWin32", "Blokkok", "sajat.qbl")     # "*-": never replaced
USER_SETTINGS = ("QuarnWin32", "quarn.cfg")             # "*?": the silent answer keeps it
MARK_BY, MARK_TIME = "UnInstalled By", "UnInstalled Time"


def setUpModule():
    full.setUpModule()


def temp_log():
    return harness.temp_install_log()


def staging_log():
    return os.path.join(full.target_root(), "QuarnWin32", "Install", "QuarnInstall.log")


def read_log(path):
    with open(path, "rb") as f:
        data = f.read()
    # Every line ends in CR LF and carries a UTC stamp.
    lines = data.split(b"\r\n")
    assert lines[-1] == b"", "the log does not end with CR LF"
    for line in lines[:-1]:
        assert b"\n" not in line and b"\r" not in line, line
        assert line[:4].isdigit() and line[4:5] == b"-" and line[10:11] == b" ", line
    return [l[24:].decode("cp1250") for l in lines[:-1]]


class Watcher:
    """driver.exe watch: every visible window of the installer's process, while it runs."""

    def __init__(self, name):
        self.stop = os.path.join(harness.BUILD, name + ".stop")
        if os.path.exists(self.stop):
            os.remove(self.stop)
        self.out_path = os.path.join(harness.BUILD, name + ".watch")
        self.out = open(self.out_path, "wb")
        self.proc = subprocess.Popen(["wine", os.path.join(harness.BUILD, "driver.exe"), "watch", EXE_NAME,
                                      harness.win_path(self.stop)], stdout=self.out, stderr=subprocess.DEVNULL,
                                     stdin=subprocess.DEVNULL, env=harness.wine_env())
        # The program starts only once the watcher looks.
        harness.wait_until(self.watching, 30, what="the watcher to start")

    def watching(self):
        if self.proc.poll() is not None:
            raise RuntimeError("the watcher ended before it began")
        with open(self.out_path, "rb") as f:
            return f.read().startswith(b"watching")

    def finish(self):
        open(self.stop, "w").close()
        self.proc.wait(timeout=30)
        self.out.close()
        os.remove(self.stop)
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        rounds = [int(l.split("=")[1]) for l in lines if l.startswith("rounds=")]
        assert rounds and rounds[0] > 1, lines
        return [l for l in lines if l.startswith("seen ")]


class Unattended(full.FullInstall):
    shot_prefix = "unattended"

    def run_program(self, args, name, exe=None, timeout=300):
        self.app = harness.Installer(exe=exe, args=args, name=name)
        return self.app.wait_exit(timeout)

    def silent_install(self, name, extra=()):
        watcher = Watcher(name)
        code = self.run_program(["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"] + list(extra), name)
        seen = watcher.finish()
        self.assertEqual(seen, [], "a window of ours appeared in a silent run")
        if code != 0:  # what the run said of its end, for the failure that follows
            for path in (staging_log(), temp_log()):
                if os.path.exists(path):
                    with open(path, "rb") as f:
                        sys.stderr.write("%s (last lines):\n%s\n" % (path, f.read()[-3000:].decode("cp1250", "replace")))
        return code

    def put_user_files(self):
        self.put_users_settings_file()
        block = os.path.join(full.target_root(), *USER_BLOCK)
        os.makedirs(os.path.dirname(block), exist_ok=True)
        with open(block, "wb") as f:
            f.write(b"my own block\r\n")

    def forget_installation(self):
        super().forget_installation()
        full.reg_delete(UNINSTALL_KEY)
        for path in (temp_log(),):
            if os.path.exists(path):
                os.remove(path)

    # ---- the watcher sees what it should --------------------------------------------------------------------
    def test_00_the_watcher_sees_the_windows_of_an_ordinary_start(self):
        watcher = Watcher("watch_control")
        self.app = harness.Installer(name="unattended_control")
        self.driver("wait", full.OPTIONS, harness.PROGRAM_START_MS)
        self.app.kill()
        seen = watcher.finish()
        self.assertTrue(any("QuarnCAD WEB Install" in l for l in seen), seen)

    # ---- silent installation -----------------------------------------------------------------------------
    def assert_silent_installation(self, log_lines):
        # Every file but the user's kept ones, byte for byte.
        kept = {os.path.join(full.target_root(), *USER_SETTINGS), os.path.join(full.target_root(), *USER_BLOCK)}
        for path, data in full.expected_files().items():
            with self.subTest(path=path):
                with open(path, "rb") as f:
                    content = f.read()
                if path in kept:
                    self.assertNotEqual(content, data, "the user's file was replaced")
                else:
                    self.assertEqual(content, data)
        self.assert_record_types_font_shortcut()
        self.assert_group()
        self.assert_nothing_started()
        # The log names every installed file, and the kept one with its reason.
        text = "\n".join(log_lines)
        for path in full.expected_files():
            rel = path[len(full.target_root()):].replace("/", "\\") if path.startswith(full.target_root()) else None
            if rel and path not in kept:
                self.assertIn("file installed: %s:\\%s%s" % (full.DRIVE, full.ROOT, rel), text)
        self.assertRegex(text, r"file installed: U:\\V92Demo\\QuarnWin32\\QuarnWin32\.exe \(\d+ bytes, from "
                               r"U:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\QuarnWin32\.ex_, policy replace, checked against the "
                               r"set's digest\)")
        self.assertIn("installation: drive U:, parts Setup,Systems,Drawings,Blocks,Datas,Help, start afterwards no",
                      text)
        self.assertIn("file kept: %s:\\%s\\QuarnWin32\\quarn.cfg exists (policy *?, answered No)"
                      % (full.DRIVE, full.ROOT), text)
        # The worker runs below normal priority, as the dialog's does (THREAD_PRIORITY_BELOW_NORMAL, read
        # back by the thread itself).
        self.assertIn("worker thread: priority -1", text)
        self.assertNotIn("below-normal priority refused", text)
        self.assertIn("box (silent, default answer)", text)
        self.assertIn("installation ended: installed (0)", text)
        self.assertTrue(log_lines[-1].startswith("end: exit code 0"), log_lines[-1])
        # The uninstall entry and the installer's copy it names.
        copy = full.program_folder_win() + "\\" + EXE_NAME
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "UninstallString"), '"%s" /UNINSTALL' % copy)
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "QuietUninstallString"), '"%s" /UNINSTALL /S' % copy)
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "DisplayName"), full.GROUP)
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "DisplayVersion"), "9.20")
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "Publisher"), "QuarnSoft")
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "InstallLocation"), "%s:\\%s" % (full.DRIVE, full.ROOT))
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "NoModify"), "0x1")
        self.assertEqual(harness.reg_query(UNINSTALL_KEY, "NoRepair"), "0x1")
        self.assertGreater(int(harness.reg_query(UNINSTALL_KEY, "EstimatedSize"), 16), 0)
        with open(os.path.join(full.target_root(), "QuarnWin32", EXE_NAME), "rb") as f, \
                open(os.path.join(harness.BUILD, EXE_NAME), "rb") as g:
            self.assertEqual(f.read(), g.read())

    def test_10_silent_installation_then_uninstall_and_reinstall(self):
        self.put_user_files()
        self.assertEqual(self.silent_install("unattended_silent"), 0)
        self.close_group_windows()
        lines = read_log(staging_log())
        self.assertFalse(os.path.exists(temp_log()), "the log stayed in the temporary folder")
        self.assert_silent_installation(lines)

        # A file changed after installing.
        changed = os.path.join(full.target_root(), "QuarnWin32", "QuarnWin32.exe")
        with open(changed, "ab") as f:
            f.write(b"patched")
        installed = [p for p in full.expected_files()
                     if p not in (changed,) and not p.endswith(os.path.join(*USER_BLOCK))
                     and not p.endswith(os.path.join(*USER_SETTINGS))]

        # /UNINSTALL from the copy in the program folder, answered Yes.
        copy = os.path.join(full.target_root(), "QuarnWin32", EXE_NAME)
        self.app = harness.Installer(exe=copy, args=["/UNINSTALL"], name="unattended_uninstall")
        _, out = self.driver("msgbox", "Biztosan", "none", 30000)
        self.shot("uninstall_question")
        self.assertIn("Biztosan eltávolítja a(z) QuarnCAD rendszert és minden összetevőjét?", "\n".join(out))
        self.driver("msgbox", "Biztosan", "yes", 5000)
        _, out = self.driver("msgbox", "befejeződött", "none", 60000)
        self.shot("uninstall_done")
        self.assertIn(full.program_folder_win() + "\\QuarnWin32.exe", "\n".join(out))
        self.driver("msgbox", "befejeződött", "ok", 5000)
        self.assertEqual(self.app.wait_exit(60), 0)
        self.assert_uninstalled(installed, changed)

        # A new installation clears the marks.
        self.assertEqual(self.silent_install("unattended_reinstall"), 0)
        self.close_group_windows()
        self.assertIsNone(harness.reg_query(full.CAD_KEY, MARK_BY))
        self.assertIsNone(harness.reg_query(full.CAD_KEY, MARK_TIME))

        # And the silent removal: exit code 0, no window.
        watcher = Watcher("unattended_silent_uninstall")
        self.assertEqual(self.run_program(["/UNINSTALL", "/S"], "unattended_silent_uninstall", exe=copy), 0)
        self.assertEqual(watcher.finish(), [])
        self.assert_uninstalled(installed, None)

    def assert_uninstalled(self, installed, changed):
        for path in installed:
            with self.subTest(removed=path):
                self.assertFalse(os.path.exists(path), path)
        if changed:
            self.assertTrue(os.path.exists(changed), "the changed file was removed")
        self.assertTrue(os.path.exists(os.path.join(full.target_root(), *USER_BLOCK)), "the *- file was removed")
        self.assertTrue(os.path.exists(os.path.join(full.target_root(), *USER_SETTINGS)), "the kept file was removed")
        self.assertFalse(os.path.exists(os.path.join(full.target_root(), "QuarnWin32", "Install")), "staging folder")
        for ext, cls_name in full.FILE_TYPES:
            self.assertIsNone(harness.reg_query(full.CLASSES + "\\" + ext), ext)
            self.assertIsNone(harness.reg_query(full.CLASSES + "\\" + cls_name), cls_name)
        self.assertIsNone(harness.reg_query(full.FONTS_KEY, full.FONT_NAME))
        self.assertFalse(os.path.exists(full.font_path()))
        self.assertFalse(os.path.exists(full.desktop_link()))
        harness.wait_until(lambda: not os.path.exists(full.group_folder()), 20, what="the group to go")
        self.assertIsNone(harness.reg_query(UNINSTALL_KEY, "UninstallString"))
        # The record keeps its values and carries the marks.
        self.assertEqual(harness.reg_query(full.CAD_KEY, "System Version"), "9.20")
        self.assertEqual(harness.reg_query(full.CAD_KEY, MARK_BY), harness.wine_user())
        self.assertRegex(harness.reg_query(full.CAD_KEY, MARK_TIME), r"^\d{4}\.\d\d\.\d\d\. \d\d:\d\d:\d\d$")
        # The running uninstaller is removed by the platform afterwards.
        pending = harness.reg_query(r"HKLM\System\CurrentControlSet\Control\Session Manager",
                                    "PendingFileRenameOperations") or ""
        self.assertIn(EXE_NAME, pending)

    # ---- failed runs and bad switches -----------------------------------------------------------------------
    def test_20_silent_without_a_server(self):
        self.nginx.stop()
        code = self.silent_install("unattended_no_server")
        if code != 2:  # say what the run logged: an exit code alone does not tell who ended it
            tail = open(temp_log(), "rb").read()[-3000:] if os.path.exists(temp_log()) else b"(no log)"
            self.fail("exit code %d, not 2 (no connection); the log ends:\n%s" % (code, tail.decode("cp1250")))
        self.assertFalse(os.path.exists(full.target_root()), "something was written on the target drive")
        lines = read_log(temp_log())
        text = "\n".join(lines)
        # Each host, what was tried and why it was left.
        self.assertRegex(text, r"connection check https://localhost:\d+/\S*: failed, WinINet error \d+")
        self.assertIn("host https://localhost", text)
        self.assertRegex(text, r"request http://127\.0\.0\.1:\d+/\S*/Update\.ini: failed, WinINet error 12029")
        self.assertIn("installation ended: no connection (2)", text)
        self.assertEqual(lines[-1], "end: exit code 2 (no connection)")

    def test_30_a_file_the_server_lacks_is_named_in_the_log(self):
        missing = os.path.join(full.SET_DIR, "KelvaranDemo", "Disc_02", "haz.qdw")
        hidden = missing + ".hidden"
        os.rename(missing, hidden)
        self.addCleanup(os.rename, hidden, missing)
        # The missing file ends the run: its box (answered silently, as OK does) names it, no disc prompt
        # follows, nothing is installed, and the end is the failed file's (it used to be a disc prompt
        # given up: exit code 1).
        self.assertEqual(self.silent_install("unattended_missing_file"), 5)
        lines = read_log(staging_log())
        text = "\n".join(lines)
        self.assertRegex(text, r"\S+/Disc_02/haz\.qdw\b.*status 404")
        self.assertIn("file failed: haz.qdw", text)
        self.assertIn('box (silent, default answer): "A(z) \' haz.qdw \' f\u00e1jl let\u00f6lt\u00e9se a WEB-r\u0151l '
                      'sikertelen, a telep\u00edt\u00e9s megszakad!" answered OK', text)
        self.assertNotIn("flopy", text, "no disc prompt")
        self.assertNotIn("file installed", text, "nothing installed")
        self.assertEqual(lines[-1], "end: exit code 5 (file failed)")

    # Silent runs refused before anything is done: exit code 9, no window, the reason in the log.
    BAD_SILENT = [
        # (name, switches, log lines that must be there)
        ("unknown_switch", ["/S", "/VERYSILENT"], ['bad command line: unknown switch: "/VERYSILENT"']),
        # The options dialog never lets the sample projects be chosen: neither does the switch.
        ("projects", ["/S", "/PARTS=Drawings,Projects"], ['bad command line: part not offered: "Projects"']),
        # A drive that does not exist is checked as the options dialog checks it, with its message.
        ("missing_drive", ["/S", "/DRIVE=Q"],
         ["bad command line: /DRIVE=Q: the drive is missing or not ready",
          'box (silent, default answer): "A cél meghajtó - Q: - nem üzemképes, vagy más hiba!" answered OK']),
    ]

    def test_40_bad_switches(self):
        for name, args, expected in self.BAD_SILENT:
            with self.subTest(case=name):
                if os.path.exists(temp_log()):
                    os.remove(temp_log())
                watcher = Watcher("unattended_bad_" + name)
                self.assertEqual(self.run_program(args, "unattended_bad_" + name), 9)
                self.assertEqual(watcher.finish(), [])
                lines = read_log(temp_log())
                self.assertIn('end: exit code 9 (bad command line)', lines[-1])
                for line in expected:
                    self.assertIn(line, "\n".join(lines))
                self.assertNotIn("worker thread", "\n".join(lines), "nothing was started")
                self.assertFalse(os.path.exists(full.target_root()))
        # Without /S the box says what is wrong.
        for args, shown in [(["/PARTS=Drawings,Extras"], "Hibás parancssor: Ismeretlen rész: Extras"),
                            (["/PARTS=Projects"], "Hibás parancssor: Nem választható rész: Projects")]:
            with self.subTest(box=args[0]):
                self.app = harness.Installer(args=args, name="unattended_bad_box")
                _, out = self.driver("msgbox", "parancssor", "none", 30000)
                self.shot("bad_command_line")
                self.assertIn(shown, "\n".join(out))
                self.driver("msgbox", "parancssor", "ok", 5000)
                self.assertEqual(self.app.wait_exit(30), 9)
                self.assertFalse(os.path.exists(full.target_root()))

    def test_50_help_box(self):
        self.app = harness.Installer(args=["/?"], name="unattended_help")
        _, out = self.driver("msgbox", "kapcsol", "none", 30000)
        self.shot("help")
        text = "\n".join(out)
        self.assertIn("A QuarnCAD DEMO telepítő parancssori kapcsolói:", text)
        self.assertIn("/UNINSTALL", text)
        self.driver("msgbox", "kapcsol", "ok", 5000)
        self.assertEqual(self.app.wait_exit(30), 0)


if __name__ == "__main__":
    harness.main()

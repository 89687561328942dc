"""Files another program holds, through the real program under Wine.

holdfile.exe (tools/holdfile) plays the other program: it holds a file open with no sharing, as a running
program or a virus scanner does. The sample set is installed interactively; its first file's replace
question holds the copy while the hold begins, so the copy meets the held target for certain:

  - held for 3 s: the copy tries again, the file is installed once it is free (the log says after how
    long), and the installation ends as usual;
  - held for good: after the retries a box names the file with Retry and Cancel; Retry after the release
    completes the installation; Cancel ends it interrupted, and what was copied stays in the uninstall list;
  - held for good with /S: exit code 12 and the log names the file;
  - the installed system's program held (a running system) before the copy begins: the box names it at
    once, before any file is copied; Cancel ends the run.
"""
import os
import subprocess

import harness
import test_full_install as full

HELD_REL = ("QuarnWin32", "Blokkok", "ajto.qbl")       # a block on disc 2, copied after the question
PROGRAM_REL = ("QuarnWin32", "QuarnWin32.exe")
IN_USE = "használja"                                    # "A(z) ... fájlt egy másik program használja! ..."


def setUpModule():
    full.setUpModule()


class FilesInUse(full.FullInstall):
    shot_prefix = "in_use"

    def setUp(self):
        super().setUp()
        self.holder = None
        self.addCleanup(self.release)
        self.stop = os.path.join(harness.BUILD, "holdfile.stop")
        self.ready = os.path.join(harness.BUILD, "holdfile.ready")

    def hold(self, rel, ms=None):
        path = os.path.join(full.target_root(), *rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        for p in (self.stop, self.ready):
            if os.path.exists(p):
                os.remove(p)
        args = [os.path.join(harness.BUILD, "holdfile.exe"), harness.win_path(path), harness.win_path(self.ready),
                harness.win_path(self.stop)] + ([str(ms)] if ms else [])
        self.holder_out = open(os.path.join(harness.BUILD, "holdfile.out"), "wb")
        self.holder = subprocess.Popen(["wine"] + args, stdout=self.holder_out, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL, env=harness.wine_env())
        harness.wait_until(lambda: os.path.exists(self.ready) or self.holder.poll() is not None, 30,
                           what="holdfile to hold the file")
        self.assertIsNone(self.holder.poll(), "holdfile could not hold the file")
        return "%s:\\%s\\%s" % (full.DRIVE, full.ROOT, "\\".join(rel))

    def release(self):
        if self.holder is None:
            return
        open(self.stop, "w").close()
        try:
            self.holder.wait(timeout=30)
        finally:
            if self.holder.poll() is None:
                self.holder.kill()
            self.holder_out.close()
            self.holder = None

    def staging_log(self):
        with open(os.path.join(full.target_root(), "QuarnWin32", "Install", "QuarnInstall.log"), "rb") as f:
            return f.read().decode("cp1250")

    def start_to_the_question(self, args=()):
        self.put_users_settings_file()
        if args:
            self.app = harness.Installer(args=list(args), name="in_use_" + self._testMethodName)
            self.driver("wait", full.OPTIONS, 30000)
        else:
            self.start_program()
        self.driver("settext", full.OPTIONS, full.DRIVE_EDIT, full.DRIVE + ":")
        self.driver("click", full.OPTIONS, 1)
        self.driver("wait", full.WEB, 20000)
        self.driver("msgbox", full.REPLACE_QUESTION, "none", 240000)

    def to_the_success(self):
        self.driver("wait", full.STANDIN, 120000)
        self.assertEqual(self.app.wait_exit(30), 0)
        self.assert_started()
        self.wait_for_group_window()
        self.assert_files()

    def interrupted_end(self):
        harness.wait_until(lambda: (harness.web_dialog_texts(self.driver) or {}).get(harness.IDCANCEL)
                           == harness.EXIT_BUTTON, 60, what="the interrupted end")
        self.shot("interrupted")
        self.driver("click", full.WEB, harness.IDCANCEL)

    def test_10_held_for_three_seconds_is_installed_after_the_retry(self):
        self.start_to_the_question()
        held = self.hold(HELD_REL, ms=3000)
        self.driver("msgbox", full.REPLACE_QUESTION, "yes", 2000)
        self.to_the_success()
        log = self.staging_log()
        self.assertIn("file held by another program: " + held, log)
        self.assertIn("file free again: " + held, log)
        self.assertNotIn("file in use:", log)

    def test_20_held_for_good_then_retry_after_the_release(self):
        self.start_to_the_question()
        held = self.hold(HELD_REL)
        self.driver("msgbox", full.REPLACE_QUESTION, "yes", 2000)
        _, out = self.driver("msgbox", IN_USE, "none", 60000)
        self.shot("in_use_box")
        text = "\n".join(out)
        self.assertIn("A(z) ' %s ' fájlt egy másik program használja!" % held, text)
        self.release()
        self.driver("msgbox", IN_USE, "retry", 5000)
        self.to_the_success()

    def test_30_held_for_good_then_cancel_ends_interrupted(self):
        self.start_to_the_question(args=["/DRIVE=" + full.DRIVE])
        held = self.hold(HELD_REL)
        self.driver("msgbox", full.REPLACE_QUESTION, "yes", 2000)
        self.driver("msgbox", IN_USE, "none", 60000)
        self.driver("msgbox", IN_USE, "cancel", 5000)
        self.interrupted_end()
        self.assertEqual(self.app.wait_exit(30), 12)
        self.assert_nothing_started()
        # What was copied before stays recorded for the uninstaller; the held file and later ones were not.
        with open(os.path.join(full.target_root(), "QuarnWin32", "QuarnUninstall.lst"), "rb") as f:
            listed = f.read().decode("cp1250")
        self.assertIn(full.program_folder_win() + "\\QuarnWin32.exe", listed)
        self.assertNotIn(held, listed)
        self.assertIn("file in use: %s, the installation ends (Cancel)" % held, self.staging_log())

    def test_40_held_for_good_in_a_silent_run_ends_with_exit_code_12(self):
        held = self.hold(HELD_REL)
        self.app = harness.Installer(args=["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], name="in_use_silent")
        self.assertEqual(self.app.wait_exit(300), 12)
        log = self.staging_log()
        self.assertIn("file in use: %s is held by another program" % held, log)
        self.assertIn("end: exit code 12 (file in use)", log)

    def test_50_running_system_is_asked_to_close_before_the_copy(self):
        program = self.hold(PROGRAM_REL)
        self.start_program()
        self.driver("settext", full.OPTIONS, full.DRIVE_EDIT, full.DRIVE + ":")
        self.driver("click", full.OPTIONS, 1)
        self.driver("wait", full.WEB, 20000)
        _, out = self.driver("msgbox", IN_USE, "none", 240000)
        self.shot("running_system_box")
        self.assertIn("A(z) ' %s ' fájlt egy másik program használja!" % program, "\n".join(out))
        self.driver("msgbox", IN_USE, "cancel", 5000)
        self.interrupted_end()
        self.assertEqual(self.app.wait_exit(30), 0)
        # Asked before the copy began: no file of the set was copied.
        self.assertFalse(os.path.exists(os.path.join(full.target_root(), "QuarnWin32", "qrender.dll")))
        self.assertIn("file in use: %s, the installation ends (Cancel)" % program, self.staging_log())


if __name__ == "__main__":
    harness.main()

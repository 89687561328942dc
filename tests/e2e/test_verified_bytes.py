"""What is installed is what the download verified, through the real program under Wine.

Another local user may change the staging folder (X:\\<root>\\QuarnWin32\\Install) between the download's
check and the copy. The sample set (signed, with hash data) is installed interactively; the copy's first
file is the user's own settings file, so its replace question holds the copy while the staged set is
changed:

  - the staged file list (a target renamed) and the staged Install.ini (a file type's class and a
    Program Manager command changed): the installation goes on to the end and installs and registers
    exactly the verified set; nothing named by the changed texts appears;
  - a staged file not yet copied (the system's program) replaced by other bytes: the damaged-file box names
    it, nothing of it is installed and nothing is started.
"""
import os

import harness
import test_full_install as full

STAGED_DISC1 = None


def setUpModule():
    global STAGED_DISC1
    full.setUpModule()
    STAGED_DISC1 = os.path.join(full.target_root(), "QuarnWin32", "Install", "Disc_01")


def rewrite(path, old, new):
    with open(path, "rb") as f:
        data = f.read()
    assert old in data, (path, old)
    with open(path, "wb") as f:
        f.write(data.replace(old, new))


class VerifiedBytes(full.FullInstall):
    shot_prefix = "verified"

    def run_until_the_question(self):
        self.put_users_settings_file()
        self.start_program()
        self.driver("settext", full.OPTIONS, full.DRIVE_EDIT, full.DRIVE + ":")
        self.driver("click", full.OPTIONS, 1)
        self.driver("wait", full.WEB, 20000)
        self.driver("msgbox", full.REPLACE_QUESTION, "none", 240000)
        self.shot("question_holds_the_copy")

    def test_changed_staged_list_and_description_change_nothing(self):
        self.run_until_the_question()
        rewrite(os.path.join(STAGED_DISC1, "Fajls_1.ini"), b"\\QuarnWin32\\qrender.dll", b"\\QuarnWin32\\planted.dll")
        rewrite(os.path.join(STAGED_DISC1, "Install.ini"), b"QuarnCAD.Rajz", b"Planted.Class")
        rewrite(os.path.join(STAGED_DISC1, "Install.ini"), b"[CreateGroup(", b"[CreateGroup(Planted")
        self.driver("msgbox", full.REPLACE_QUESTION, "yes", 2000)
        self.driver("wait", full.STANDIN, 120000)
        self.assertEqual(self.app.wait_exit(30), 0)
        self.assert_started()
        self.wait_for_group_window()
        self.assert_files()
        self.assertFalse(os.path.exists(os.path.join(full.target_root(), "QuarnWin32", "planted.dll")))
        self.assert_record_types_font_shortcut()
        self.assertNotIn("Planted", harness.reg_query(full.CLASSES + "\\.qdw"))
        self.assert_group()

    def test_changed_staged_program_is_neither_installed_nor_started(self):
        self.run_until_the_question()
        staged = os.path.join(STAGED_DISC1, "QuarnWin32.ex_")
        self.assertTrue(os.path.isfile(staged), os.listdir(STAGED_DISC1))
        with open(staged, "wb") as f:
            f.write(b"MZ another program put here after the check")
        self.driver("msgbox", full.REPLACE_QUESTION, "yes", 2000)
        _, out = self.driver("msgbox", "sérült", "none", 60000)
        self.shot("damaged_box")
        self.assertIn("A letöltött ' QuarnWin32.ex_ ' fájl sérült, a telepítés megszakad!", "\n".join(out))
        self.driver("msgbox", "sérült", "ok", 5000)
        harness.wait_until(lambda: (harness.web_dialog_texts(self.driver) or {}).get(harness.IDCANCEL)
                           == harness.EXIT_BUTTON, 60, what="the interrupted end")
        self.shot("interrupted")
        self.driver("click", full.WEB, harness.IDCANCEL)
        self.assertEqual(self.app.wait_exit(30), 0)
        self.assertFalse(os.path.exists(os.path.join(full.target_root(), "QuarnWin32", "QuarnWin32.exe")))
        self.assert_nothing_started()
        # The copy ended at the changed file: its own disc's later files and the later discs never came.
        self.assertFalse(os.path.exists(os.path.join(full.target_root(), "QuarnWin32", "qrender.dll")))
        with open(os.path.join(full.target_root(), "QuarnWin32", "Install", "QuarnInstall.log"), "rb") as f:
            log = f.read().decode("cp1250")
        self.assertIn("file damaged: %s:\\%s\\QuarnWin32\\Install\\Disc_01\\QuarnWin32.ex_" % (full.DRIVE, full.ROOT),
                      log)


if __name__ == "__main__":
    harness.main()

"""The target drive chooser driven like a user: button 509 opens it over the options dialog with the
drive list of the common dialog; choosing a drive letter mapped to a temporary folder puts it into the
drive field and installs to it; Eldob and the close box change nothing."""
import os
import shutil

import harness
import servers
from harness import prefix_path, wait_until
from options_session import (CHOOSE_DRIVE, CHOOSER_TITLE, DRIVE_EDIT, OPTIONS_TITLE, START_AFTER,
                             OptionsTestCase)

# Its set is an unsigned test set: the program without a key installs it.
harness.use_unkeyed_program()

CRLF = "\r\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.replace("\n", CRLF).encode("cp1250"))


def publish_small_set(tree):
    """A one-disc set with one file of the basic settings, under the root folder OptDemo."""
    shutil.rmtree(tree, ignore_errors=True)
    write(os.path.join(tree, "Update.ini"),
          "[Update]\nQuarnCAD WEB update system: V9.21\nQuarnSoft Ltd. 1992-2019.\n")
    disc = os.path.join(tree, "KelvaranDemo", "Disc_01")
    write(os.path.join(disc, "a.txt"), "chosen drive\n")
    size = os.path.getsize(os.path.join(disc, "a.txt"))
    write(os.path.join(disc, "Install.ini"),
          "[System]\nRootDirectory=OptDemo\n[Disc01]\nName=OPT1\nSetup=%d\n"
          "[Directorys]\nDir1=\\QuarnWin32\n" % size)
    write(os.path.join(disc, "Fajls_1.ini"), "[Disc]\nName=OPT1\n[Setup]\nFile1=\\a.txt \\QuarnWin32\\a.txt\n")


class DriveChooserTest(OptionsTestCase):

    def open_chooser(self):
        self.driver("click", self.dialog, CHOOSE_DRIVE)
        _, out = self.driver("wait", CHOOSER_TITLE, 15000)
        chooser = "hwnd=" + out[0].split()[1]
        self.driver("waitstate", chooser, 1137, "visible=1", 5000)
        return chooser

    def entries(self, chooser):
        _, out = self.driver("items", chooser, 1137)
        return [l.split(" ", 1)[1] if " " in l else "" for l in out]

    def entry_of(self, chooser, letter):
        """Index of the drive list entry of `letter`: Windows writes "u: [...]", Wine "[-u-]"."""
        for i, e in enumerate(self.entries(chooser)):
            low = e.lower()
            if low.startswith(letter + ":") or low.startswith("[-%s-]" % letter):
                return i
        self.fail("no entry for %s: in %r" % (letter, self.entries(chooser)))

    def test_chosen_mapped_drive_becomes_the_field_and_the_install_target(self):
        chooser = self.open_chooser()
        self.assertEqual(self.driver.text(chooser), CHOOSER_TITLE)
        self.assertEqual(self.driver.text(chooser, 1), "Rendben")
        self.assertEqual(self.driver.text(chooser, 2), "Eldob")
        self.shot("drive_chooser", chooser)
        self.driver("select", chooser, 1137, self.entry_of(chooser, "u"))
        self.driver("click", chooser, 1)
        self.driver("gone", CHOOSER_TITLE, 10000)
        self.driver("waittext", self.dialog, DRIVE_EDIT, "U:", 5000)
        self.assertEqual(self.field(), "U:")
        self.assertTrue(self.no_message_box())
        self.shot("options_dialog_after_chooser")
        # Install accepts the drive: the web installation dialog opens (no server here: it ends with Kilépés).
        self.driver("click", self.dialog, 1)
        wait_until(lambda: len(self.windows_titled(OPTIONS_TITLE)) == 2, 15, what="web installation dialog")
        self.assertTrue(self.no_message_box())
        web = [l for l in self.windows_titled(OPTIONS_TITLE) if self.dialog.split("=")[1] not in l][0]
        web = "hwnd=" + web.split()[0]
        self.driver("waittext", web, 2, "Kilépés", 60000)
        self.driver("click", web, 2)
        self.assertEqual(self.wait_exit_code(), 0)

    def test_installation_goes_to_the_chosen_drive(self):
        tree = os.path.join(harness.BUILD, "chooser-set")
        publish_small_set(tree)
        shutil.rmtree(prefix_path("U:\\OptDemo"), ignore_errors=True)
        shutil.rmtree(prefix_path("C:\\OptDemo"), ignore_errors=True)
        srv = servers.TestServers(harness.BUILD, tree, workdir=os.path.join(harness.BUILD, "chooser-srv")).start()
        self.addCleanup(srv.stop)
        chooser = self.open_chooser()
        self.driver("select", chooser, 1137, self.entry_of(chooser, "u"))
        self.driver("click", chooser, 1)
        self.driver("waittext", self.dialog, DRIVE_EDIT, "U:", 10000)
        self.driver("click", self.dialog, START_AFTER)  # do not start the (absent) installed system
        self.driver("waitstate", self.dialog, START_AFTER, "checked=0", 5000)
        self.driver("click", self.dialog, 1)
        staged = prefix_path("U:\\OptDemo\\QuarnWin32\\Install\\Disc_01\\Install.ini")
        installed = prefix_path("U:\\OptDemo\\QuarnWin32\\a.txt")
        wait_until(lambda: os.path.exists(installed), 90, what="the file installed on U:")
        self.assertTrue(os.path.exists(staged))
        with open(installed, "rb") as f:
            self.assertEqual(f.read(), b"chosen drive\r\n")
        self.assertFalse(os.path.exists(prefix_path("C:\\OptDemo")), "nothing may go to drive C:")
        # The web installation dialog closes with success; end the program if it is still up.
        wait_until(lambda: self.app.proc.poll() is not None or len(self.windows_titled(OPTIONS_TITLE)) <= 1,
                   60, what="the web installation dialog to close")
        if self.app.proc.poll() is None:
            try:
                self.driver("click", self.dialog, 2)
            except AssertionError:
                # The Program Manager step may end the program between the look and the click; the exit
                # code below still says whether it ended as it should.
                pass
        self.assertEqual(self.wait_exit_code(), 0)

    def test_ok_on_the_unchanged_list_applies_the_shown_drive(self):
        # Choose W: first; reopened, the list shows the current drive, which OK applies again.
        chooser = self.open_chooser()
        self.driver("select", chooser, 1137, self.entry_of(chooser, "w"))
        self.driver("click", chooser, 1)
        self.driver("waittext", self.dialog, DRIVE_EDIT, "W:", 10000)
        chooser = self.open_chooser()
        self.driver("click", chooser, 1)
        self.driver("gone", CHOOSER_TITLE, 10000)
        self.assertEqual(self.field(), "W:")
        self.assertTrue(self.no_message_box())

    def test_eldob_and_close_box_change_nothing(self):
        for how in ("eldob", "close"):
            with self.subTest(how=how):
                chooser = self.open_chooser()
                self.driver("select", chooser, 1137, self.entry_of(chooser, "v"))
                if how == "eldob":
                    self.driver("click", chooser, 2)
                else:
                    self.driver("close", chooser)
                self.driver("gone", CHOOSER_TITLE, 10000)
                self.assertEqual(self.field(), "C:")
                self.assertTrue(self.no_message_box())


if __name__ == "__main__":
    harness.main()

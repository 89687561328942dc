"""The target drive chooser driven like a user: button 509 opens it over the options dialog with the
drive list of the common dialog; choosing a drive letter mapped to a temporary folder puts it into the
drive field and installs to it; Eldob and the close box change nothing."""
import os

import harness
from harness import BUILD, wait_until
from options_session import CHOOSER_TITLE, OPTIONS_TITLE, OptionsTestCase


class DriveChooserTest(OptionsTestCase):

    def open_chooser(self):
        self.driver("click", self.dialog, 509)
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
        self.driver("waittext", self.dialog, 503, "U:", 5000)
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

    def test_ok_on_the_unchanged_list_applies_the_shown_drive(self):
        # Choose W: first; reopened, the list shows the current drive, which OK applies again.
        chooser = self.open_chooser()
        self.driver("select", chooser, 1137, self.entry_of(chooser, "w"))
        self.driver("click", chooser, 1)
        self.driver("waittext", self.dialog, 503, "W:", 10000)
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

"""The options dialog driven like a user: it opens by itself over the backdrop, shows drive C: and the
part check boxes as the installer defines them, takes typed drive letters, rejects unusable ones, opens
the About box, and Mégsem ends the program with exit code 0."""
import harness
from resource_ids import ID
from harness import pixel, wait_until
from options_session import (BACKDROP, CAPTION, OPTIONS_TITLE, STRING_1, STRING_2, OptionsTestCase,
                             missing_drive)

# id: (text, checked, enabled) once the dialog has started
PART_BOXES = {
    ID["IDC_PART_SETUP"]: ("Alap beállítások telepítése.", 1, 0),
    ID["IDC_PART_SYSTEMS"]: ("Rendszer telepítése.", 1, 0),
    ID["IDC_PART_DRAWINGS"]: ("Minta rajzok telepítése.", 1, 1),
    ID["IDC_PART_BLOCKS"]: ("Minta blokkok telepítése.", 1, 1),
    ID["IDC_PART_PROJECTS"]: ("Minta létesítmények telepítése.", 0, 0),
    ID["IDC_PART_DATAS"]: ("Adatbázis telepítése.", 1, 1),
    ID["IDC_PART_HELP"]: ("Help állományok telepítése.", 1, 1),
    ID["IDC_START_AFTER"]: ("A telepítés után az QuarnCAD rendszer elindul", 1, 1),
}
BUTTONS = {  # id: (text, enabled)
    ID["IDC_CHOOSE_DRIVE"]: ("Cél meghajtó kijelölés >>>", 1),
    ID["IDC_HELP_BUTTON"]: ("Súgó", 0),
    ID["IDC_INFO_BUTTON"]: ("Infó", 1),
    2: ("Mégsem", 1),
    1: ("Telepítés", 1),
}


class OptionsDialogTest(OptionsTestCase):

    def test_opens_by_itself_over_the_backdrop_with_the_defined_states(self):
        # Over the backdrop: the dialog lies inside the backdrop window and above it in the Z order.
        _, out = self.driver("rect", BACKDROP)
        bl, bt, br, bb = (int(v) for v in out[0].split())
        _, out = self.driver("rect", self.dialog)
        dl, dt, dr, db = (int(v) for v in out[0].split())
        self.assertTrue(bl < dl < br and bt < dt < bb, (out, bl, bt, br, bb))
        _, listing = self.driver("list")
        order = [l for l in listing if "title=" + OPTIONS_TITLE in l or "class=QuarnCAD WEB Install" in l]
        self.assertEqual(len(order), 2, listing)
        self.assertIn(OPTIONS_TITLE, order[0], "the options dialog must be in front of the backdrop")

        self.assertEqual(self.driver.text(self.dialog), OPTIONS_TITLE)
        self.assertEqual(self.driver.ansi(self.dialog), OPTIONS_TITLE.encode("cp1250"))
        self.assertEqual(self.field(), "C:")
        for cid, (text, checked, enabled) in PART_BOXES.items():
            with self.subTest(box=cid):
                self.assertEqual(self.driver.text(self.dialog, cid), text)
                st = self.driver.state(self.dialog, cid)
                self.assertEqual((int(st["checked"]), int(st["enabled"])), (checked, enabled))
        for cid, (text, enabled) in BUTTONS.items():
            with self.subTest(button=cid):
                self.assertEqual(self.driver.text(self.dialog, cid), text)
                self.assertEqual(int(self.driver.state(self.dialog, cid)["enabled"]), enabled)
        self.assertEqual(int(self.driver.state(self.dialog, ID["IDC_DRIVE_EDIT"])["enabled"]), 1)

        png, full = self.shot("options_dialog")
        # The dialog is painted in front: its active caption bar is blue, its face a light grey.
        r, g, b = pixel(png, 20, 6)
        self.assertTrue(b > 200 and r < 120, (r, g, b))
        face = pixel(png, 5, 200)
        self.assertTrue(all(200 <= v <= 250 for v in face) and max(face) - min(face) < 8, face)
        self.assertTrue(self.no_message_box())

    def test_clicking_a_part_twice_restores_it(self):
        for cid in (ID["IDC_PART_DRAWINGS"], ID["IDC_PART_BLOCKS"], ID["IDC_PART_DATAS"], ID["IDC_PART_HELP"],
                    ID["IDC_START_AFTER"]):
            with self.subTest(box=cid):
                self.driver("click", self.dialog, cid)
                self.driver("waitstate", self.dialog, cid, "checked=0", 5000)
                self.driver("click", self.dialog, cid)
                self.driver("waitstate", self.dialog, cid, "checked=1", 5000)
        # The disabled boxes (a user cannot click them) kept their marks.
        self.assertEqual(self.driver.state(self.dialog, ID["IDC_PART_SETUP"])["checked"], "1")
        self.assertEqual(self.driver.state(self.dialog, ID["IDC_PART_SYSTEMS"])["checked"], "1")
        self.assertEqual(self.driver.state(self.dialog, ID["IDC_PART_PROJECTS"])["checked"], "0")

    def test_typed_letter_behind_the_drive_is_applied(self):
        self.type_behind("t")
        self.driver("waittext", self.dialog, ID["IDC_DRIVE_EDIT"], "t:", 5000)
        self.assertEqual(self.field(), "t:")
        self.assertTrue(self.no_message_box())
        self.type_behind("U")
        self.driver("waittext", self.dialog, ID["IDC_DRIVE_EDIT"], "U:", 5000)
        self.assertEqual(self.field(), "U:")
        self.assertTrue(self.no_message_box())
        # A colon behind the letter: the field keeps the three characters and nothing is checked.
        self.type_behind(":")
        self.driver("waittext", self.dialog, ID["IDC_DRIVE_EDIT"], "U::", 5000)
        self.assertTrue(self.no_message_box())

    def test_digit_shows_string_1_and_install_shows_it_again(self):
        self.type_behind("5")
        caption, text, owner = self.message_box()
        self.assertEqual((caption, text), (CAPTION, STRING_1))
        self.assertEqual(int(owner, 16), self.dialog_handle())
        self.assertEqual(self.field(), "5:")
        self.driver("click", self.dialog, 1)
        caption, text, _ = self.message_box()
        self.assertEqual(text, STRING_1)
        # Nothing else happened: still one dialog with that title (no web installation dialog).
        self.assertEqual(len(self.windows_titled(OPTIONS_TITLE)), 1)
        self.assertEqual(self.driver.state(self.dialog, 1)["enabled"], "1")

    def test_unusable_drive_shows_string_2_with_the_upper_case_letter(self):
        letter = missing_drive()
        self.type_behind(letter.lower())
        caption, text, owner = self.message_box()
        self.assertEqual(caption, CAPTION)
        self.assertEqual(text, STRING_2 % (letter + ":"))
        self.assertEqual(self.field(), letter.lower() + ":")
        png, _ = self.shot("options_dialog_rejected_drive")
        self.driver("click", self.dialog, 1)
        _, text, _ = self.message_box()
        self.assertEqual(text, STRING_2 % (letter + ":"))
        self.assertEqual(len(self.windows_titled(OPTIONS_TITLE)), 1)
        # Emptying the field runs the check on nothing: string 1 at once.
        self.driver("settextnowait", self.dialog, ID["IDC_DRIVE_EDIT"], "")
        _, text, _ = self.message_box()
        self.assertEqual(text, STRING_1)

    def test_any_field_text_never_crashes(self):
        # Accented letters, digits, blanks, three characters: each is rejected or applied, never fatal.
        for text, expect in (("é", STRING_1), ("ő", STRING_1), ("9", STRING_1), (" ", STRING_1),
                             ("Ű", STRING_1), ("vxy", None), ("::", None), ("w", None)):
            with self.subTest(text=text):
                self.driver("settextnowait", self.dialog, ID["IDC_DRIVE_EDIT"], text)
                if expect is None:
                    self.assertTrue(self.no_message_box())
                else:
                    _, got, _ = self.message_box()
                    self.assertEqual(got, expect)
        self.assertIsNone(self.app.proc.poll(), "the installer must still run")
        self.assertEqual(self.field(), "w:")

    def test_help_stays_disabled_and_info_opens_the_about_box(self):
        self.driver("click", self.dialog, ID["IDC_HELP_BUTTON"], "cmd")  # even a command from Help does nothing
        self.assertEqual(self.driver.state(self.dialog, ID["IDC_HELP_BUTTON"])["enabled"], "0")
        self.driver("click", self.dialog, ID["IDC_INFO_BUTTON"])
        _, out = self.driver("wait", "Információk!", 10000)
        about = "hwnd=" + out[0].split()[1]
        self.shot("about_box_from_options", about)
        self.driver("click", about, 1)
        self.driver("gone", "Információk!", 10000)
        self.assertIsNone(self.app.proc.poll())
        self.assertEqual(self.field(), "C:")

    def test_megsem_ends_the_program_with_exit_code_0(self):
        self.driver("click", self.dialog, 2)
        self.assertEqual(self.wait_exit_code(), 0)
        self.driver("gone", BACKDROP, 5000)

    def test_close_box_ends_the_program_with_exit_code_0(self):
        self.driver("close", self.dialog)
        self.assertEqual(self.wait_exit_code(), 0)

    def test_install_with_a_usable_drive_runs_the_web_installation(self):
        # No server answers here: the web installation dialog ends with "Kilépés", which ends the program.
        self.type_behind("t")
        self.driver("waittext", self.dialog, ID["IDC_DRIVE_EDIT"], "t:", 5000)
        self.driver("click", self.dialog, 1)
        wait_until(lambda: len(self.windows_titled(OPTIONS_TITLE)) == 2, 15, what="web installation dialog")
        self.driver("waitstate", self.dialog, 1, "enabled=0", 5000)
        web = [l for l in self.windows_titled(OPTIONS_TITLE) if self.dialog.split("=")[1] not in l][0]
        web = "hwnd=" + web.split()[0]
        self.driver("waittext", web, 2, "Kilépés", 60000)
        self.driver("click", web, 2)
        self.assertEqual(self.wait_exit_code(), 0)


if __name__ == "__main__":
    harness.main()

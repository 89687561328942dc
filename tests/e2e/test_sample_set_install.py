"""The whole installation of the sample set (sample/sample.qset), served by nginx the way the maker's two
hosts serve it, driven like a user through the real program.

The set is published with quarnset, served with tools/nginx/serve_set.sh on this build's ports, and
installed on drive T: with every selectable part. The expected result is worked out here from the
published tree alone (file lists, filler storage, modifiers), independently of the installer's code:
every file of the lists must be at its target byte for byte, and nothing else may be below the root
folder but the staging folder. msglog.dll records the web dialog's texts, so the copy step's own last
percentage is seen even though the worker writes "100.0%" itself right after it.

An older database is left at its target before the run: its file line asks before replacing, so the
question (message 14) comes up, is checked as code page 1250 bytes and shown in a screenshot, and is
answered Yes.
"""
import os
import shutil
import unittest

import harness
import sample_set
from resource_ids import ID
from web_install_kit import (BAR, PERCENT, STATUS, T_FILES, T_REGISTERING, T_SUCCEEDED, TITLE, MessageLog,
                             WebDialogDriving, cp)

ROOT = "V92Demo"  # RootDirectory of the sample set
# every part box but Projects, never selectable
SELECTABLE_PARTS = tuple(ID["IDC_PART_" + n] for n in ("SETUP", "SYSTEMS", "DRAWINGS", "BLOCKS", "DATAS", "HELP"))
REPLACE_QUESTION = "kívánja"   # "Meglévő fájl: %s! Felül kívánja írni?"


def files_below(folder, skip):
    found = set()
    for dirpath, dirnames, filenames in os.walk(folder):
        if os.path.abspath(dirpath) == os.path.abspath(skip):
            dirnames[:] = []
            continue
        dirnames[:] = [d for d in dirnames if os.path.abspath(os.path.join(dirpath, d)) != os.path.abspath(skip)]
        found.update(os.path.join(dirpath, f) for f in filenames)
    return found


class SampleSetInstall(WebDialogDriving, unittest.TestCase):
    drive = "T"
    installer_name = "sample_set_install"
    parts = SELECTABLE_PARTS

    @classmethod
    def setUpClass(cls):
        cls.work = sample_set.private_work_folder("sample-set-install")
        cls.set_root = sample_set.publish(cls.work)
        cls.nginx = sample_set.Nginx(harness.BUILD, cls.set_root, os.path.join(cls.work, "nginx")).start()
        cls.drv = harness.Driver()

    @classmethod
    def tearDownClass(cls):
        harness.close_group_windows()
        cls.drv.close()
        cls.nginx.stop()

    def setUp(self):
        self.drive_dir = os.path.join(harness.BUILD, "drives", "t")
        self.root = os.path.join(self.drive_dir, ROOT)
        self.windows = harness.prefix_path("C:\\windows")
        self.expected = sample_set.expected_files(self.set_root, self.root)
        for path in self.expected:
            if not path.startswith(self.root + os.sep) and os.path.exists(path):
                os.remove(path)  # so that the run must deliver it
        shutil.rmtree(self.root, ignore_errors=True)
        self.log = MessageLog(os.path.join(self.work, "run.msglog"))
        self.installer = None

    def tearDown(self):
        if self.installer is not None and self.installer.proc.poll() is None:
            self.installer.kill()
        self.drv("unhook", check=False)

    def test_every_selected_file_lands_at_its_target(self):
        database = os.path.join(self.root, "QuarnWin32", "Adatok", "alkatresz.qdb")
        self.assertIn(database, self.expected)
        os.makedirs(os.path.dirname(database))
        with open(database, "wb") as f:
            f.write(b"an older database")

        self.start_installation()
        # "Meglévő fájl: %s! Felül kívánja írni?" for the database (its line asks before replacing).
        harness.wait_until(lambda: self.drv("msgbox", REPLACE_QUESTION, "none", 0, check=False)[0] == 0, 120,
                           what="the question about the older database",
                           ended=lambda: harness.web_dialog_end(self.drv, (REPLACE_QUESTION,)))
        _, box = self.drv("msgbox", REPLACE_QUESTION, "none", 0)
        harness.screenshot("sample_set_replace_question")
        info = dict(line.split("=", 1) for line in box if "=" in line)
        self.assertEqual(harness.decode_ansi(info["caption_ansi"]), cp("QuarnCAD telepités"))
        self.assertEqual(harness.decode_ansi(info["text_ansi"]),
                         cp("Meglévő fájl: T:\\V92Demo\\QuarnWin32\\Adatok\\alkatresz.qdb! Felül kívánja írni?"))
        self.assertEqual(info["buttons"].split(), ["6", "7"])  # Yes and No only
        self.drv("msgbox", REPLACE_QUESTION, "yes")
        # Success closes the web dialog (the Program Manager step follows: not this test's subject).
        harness.wait_until(lambda: any(k == "destroy" for (k, _, _) in self.log.entries()), 120,
                           what="the web installation dialog to close", ended=lambda: harness.web_dialog_end(self.drv))
        entries = self.log.entries()
        titles = [v for (k, c, v) in entries if k == "settext" and c == TITLE]
        self.assertEqual(titles[-1], T_SUCCEEDED)

        # Byte for byte at every target, and nothing else below the root but the staging folder and what the
        # uninstaller needs in the program folder (its own copy and the list of what was created).
        for path, content in sorted(self.expected.items()):
            with self.subTest(target=path):
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), content)
        staging = os.path.join(self.root, "QuarnWin32", "Install")
        installed = files_below(self.root, staging)
        uninstaller = {os.path.join(self.root, "QuarnWin32", name)
                       for name in ("QuarnWebInstall.exe", "QuarnUninstall.lst")}
        self.assertEqual(installed, {p for p in self.expected if p.startswith(self.root + os.sep)} | uninstaller)
        self.assertGreater(len(installed), 8)

        # The copy step's own display: from T_FILES to T_REGISTERING, the worker writes nothing there.
        start = entries.index(("settext", TITLE, T_FILES))
        end = entries.index(("settext", TITLE, T_REGISTERING))
        copy_phase = entries[start:end]
        percents = [v for (k, c, v) in copy_phase if k == "settext" and c == PERCENT]
        bar = [v for (k, c, v) in copy_phase if k == "pos" and c == BAR]
        self.assertEqual(percents[-1], b"100.0%", percents)
        self.assertEqual(bar[-1], 1000, bar)
        values = [float(p.strip().rstrip(b"%")) for p in percents]
        self.assertEqual(values, sorted(values), "the copy's percentage never goes back")
        # The bar is moved only when its position changes, at most once per installed file (the replaced
        # database included): small files that leave it on the same step of 1,000 do not move it.
        self.assertEqual(bar, sorted(set(bar)), "every bar move changes its position")
        self.assertLessEqual(len(bar), len(self.expected), bar)
        statuses = [v for (k, c, v) in copy_phase if k == "settext" and c == STATUS]
        # Each installed file is named once in the status field, in the order of copying.
        self.assertEqual(len(statuses), len(set(statuses)), statuses)
        self.assertGreaterEqual(len(statuses), len(self.expected), statuses)
        self.assertIn(cp("T:\\V92Demo\\QuarnWin32\\Súgó\\quarnwin.htm"), statuses)


if __name__ == "__main__":
    harness.main()

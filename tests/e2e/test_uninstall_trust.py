"""An uninstaller no user can steer, through the real program under Wine.

The list of what an installation made (QuarnUninstall.lst) lies in the program folder, which other users
may write; its SHA-256 is kept in the uninstall entry (HKLM) and the root folder is the entry's
InstallLocation. The sample set is installed silently, then:

  - /UNINSTALL /S removes every unchanged file of every part (not only the program folder's), the font the
    installation put into the Windows folder, and the folders left empty: a listing of the root folder
    afterwards holds only the file changed after the installation and the user's own files that were
    there before;
  - lines added to the list (a file outside the root with its right digest, a shortcut line naming
    another file, the root set to the drive, the record key set to another program's key): the list is
    refused with its box (exit code 13 with /S) and nothing at all is removed or marked;
  - a reinstallation does not carry lines of an edited list into its new list.
"""
import hashlib
import os
import subprocess

import harness
import test_full_install as full
import test_unattended as una

EXE_NAME = "QuarnWebInstall.exe"
OTHER_KEY = r"HKLM\Software\OtherMaker\OtherApp"


def setUpModule():
    full.setUpModule()


def files_below(folder):
    found = set()
    for base, _, names in os.walk(folder):
        for n in names:
            found.add(os.path.relpath(os.path.join(base, n), folder))
    return found


def list_path():
    return os.path.join(full.target_root(), "QuarnWin32", "QuarnUninstall.lst")


def sha256_of(path):
    with open(path, "rb") as f:
        data = f.read()
    return len(data), hashlib.sha256(data).hexdigest()


class UninstallTrust(full.FullInstall):
    shot_prefix = "uninstall_trust"

    def forget_installation(self):
        super().forget_installation()
        full.reg_delete(una.UNINSTALL_KEY)
        full.reg_delete(OTHER_KEY)

    def silent(self, args, name, exe=None):
        self.app = harness.Installer(exe=exe, args=args, name=name)
        return self.app.wait_exit(300)

    def install(self):
        self.put_users_settings_file()
        block = os.path.join(full.target_root(), *una.USER_BLOCK)
        os.makedirs(os.path.dirname(block), exist_ok=True)
        with open(block, "wb") as f:
            f.write(b"my own block\r\n")
        self.assertEqual(self.silent(["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], "trust_install"), 0)
        self.close_group_windows()

    def uninstall(self, name):
        return self.silent(["/UNINSTALL", "/S"], name, exe=os.path.join(full.target_root(), "QuarnWin32", EXE_NAME))

    def test_10_every_unchanged_file_of_every_part_goes(self):
        self.install()
        changed = os.path.join("QuarnWin32", "Minták", "haz.qdw")
        with open(os.path.join(full.target_root(), changed), "ab") as f:
            f.write(b"edited")
        before = files_below(full.target_root())
        self.assertIn(os.path.join("QuarnWin32", "Adatok", "alkatresz.qdb"), before)
        self.assertTrue(os.path.exists(full.font_path()))
        self.assertEqual(self.uninstall("trust_uninstall"), 0)
        left = files_below(full.target_root())
        # The running uninstaller's own file may stay until Windows starts again.
        left.discard(os.path.join("QuarnWin32", EXE_NAME))
        self.assertEqual(left, {changed, os.path.join(*una.USER_SETTINGS), os.path.join(*una.USER_BLOCK)})
        self.assertFalse(os.path.exists(full.font_path()), "the font the installation put there")
        # Folders left empty are gone; those holding the kept files stay.
        for folder in ("Blokkok", "Adatok", "Súgó"):
            with self.subTest(folder=folder):
                exists = os.path.isdir(os.path.join(full.target_root(), "QuarnWin32", folder))
                self.assertEqual(exists, folder == "Blokkok")
        self.assertIsNone(harness.reg_query(una.UNINSTALL_KEY, "UninstallString"))

    def test_20_an_edited_list_is_refused_and_nothing_is_removed(self):
        self.install()
        outside_dir = os.path.join(harness.BUILD, "drives", full.DRIVE.lower(), "Other")
        os.makedirs(outside_dir, exist_ok=True)
        outside = os.path.join(outside_dir, "precious.txt")
        with open(outside, "wb") as f:
            f.write(b"not the installation's")
        other_link = os.path.join(outside_dir, "other.lnk")
        with open(other_link, "wb") as f:
            f.write(b"a shortcut of another program")
        subprocess.run(["wine", "reg", "add", OTHER_KEY, "/v", "Keep", "/d", "yes", "/f"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                       env=harness.wine_env())
        size, digest = sha256_of(outside)
        with open(list_path(), "rb") as f:
            text = f.read()
        lines = text.split(b"\r\n")
        win_outside = ("%s:\\Other\\precious.txt" % full.DRIVE).encode("cp1250")
        added = [b"F\t%d\t%s\t%s" % (size, digest.encode(), win_outside),
                 b"S\t%s:\\Other\\other.lnk" % full.DRIVE.encode(),
                 b"O\t%s:\\" % full.DRIVE.encode(),
                 b"K\tSoftware\\OtherMaker\\OtherApp"]
        edited = b"\r\n".join([l for l in lines if not l.startswith((b"O\t", b"K\t"))][:-1] + added) + b"\r\n"
        with open(list_path(), "wb") as f:
            f.write(edited)
        before = files_below(full.target_root())
        self.assertEqual(self.uninstall("trust_uninstall_edited"), 13)
        self.assertTrue(os.path.exists(outside))
        self.assertTrue(os.path.exists(other_link))
        self.assertEqual(files_below(full.target_root()), before, "something of the installation was removed")
        self.assertTrue(os.path.exists(full.font_path()))
        self.assertEqual(harness.reg_query(OTHER_KEY, "Keep"), "yes")
        self.assertIsNone(harness.reg_query(OTHER_KEY, una.MARK_BY))
        self.assertIsNone(harness.reg_query(full.CAD_KEY, una.MARK_BY))
        self.assertIsNotNone(harness.reg_query(una.UNINSTALL_KEY, "UninstallString"))
        log = "\n".join(una.read_log(una.temp_log()))
        self.assertIn("uninstall: the list differs from the one the installation wrote", log)
        self.assertIn("end: exit code 13 (uninstall list refused)", log)

        # A reinstallation writes a new list of its own: the edited lines are not carried over.
        self.assertEqual(self.silent(["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], "trust_reinstall"), 0)
        self.close_group_windows()
        with open(list_path(), "rb") as f:
            relisted = f.read()
        relisted_lines = relisted.split(b"\r\n")
        for line in added:
            self.assertNotIn(line, relisted_lines)
        self.assertEqual(self.uninstall("trust_uninstall_after_reinstall"), 0)
        self.assertTrue(os.path.exists(outside))


if __name__ == "__main__":
    harness.main()

"""An uninstaller no user can steer, through the real program under Wine.

The list of what an installation made (QuarnUninstall.lst) lies in the program folder, which other users
may write; its SHA-256 is kept in the uninstall entry (HKLM) and the root folder is the entry's
InstallLocation. The sample set, with two more files for the Windows folder (one new there, one that
the Windows folder already holds), is installed silently, then:

  - /UNINSTALL /S removes every unchanged file of every part (not only the program folder's), the font and
    the file the installation created in the Windows folder, and the folders left empty: a listing of the
    root folder afterwards holds only the file changed after the installation and the user's own files
    that were there before, and the Windows folder keeps the file that was there before the installation
    (which replaced it);
  - lines added to the list (a file outside the root with its right digest, a shortcut line naming
    another file, the root set to the drive, the record key set to another program's key): the list is
    refused with its box (exit code 13 with /S) and nothing at all is removed or marked;
  - a reinstallation does not carry lines of an edited list into its new list (not even which files the
    first installation created: the file it created in the Windows folder then stays); over the list the
    first installation wrote, it keeps that file marked as the installation's own, and /UNINSTALL removes
    it;
  - a folder of the root and a folder inside the staging folder replaced by links to a folder elsewhere on
    the drive holding the same files (their digests are in the list): /UNINSTALL /S follows neither link
    and removes nothing of what they point to. Wine presents a host symbolic link to a folder as a
    reparse point (to GetFileAttributes and FindFirstFile); it can make neither a junction
    (FSCTL_SET_REPARSE_POINT is refused) nor a symbolic link of its own (CreateSymbolicLinkW makes
    nothing), so the links here are host symbolic links.
"""
import hashlib
import os
import shutil
import subprocess

import harness
import sample_set
import test_full_install as full
import test_unattended as una

EXE_NAME = "QuarnWebInstall.exe"
OTHER_KEY = r"HKLM\Software\OtherMaker\OtherApp"
# Two more files of the system's part for the Windows folder: one the Windows folder does not hold, and one
# it holds already (the set replaces it: "replace" policy).
WIN_CREATED = "QuarnWin.ini"
WIN_REPLACED = "QuarnRegi.ini"
WIN_LINES = ("Systems = \\quarnwin.ini *%%\\%s" % WIN_CREATED, "Systems = \\quarnregi.ini *%%\\%s" % WIN_REPLACED)
OLD_CONTENT = b"; the Windows folder's own file, there before the installation\r\n"


def setUpModule():
    full.setUpModule()
    # The full installation's set with the two files for the Windows folder (served by FullInstall).
    work = sample_set.private_work_folder("uninstall-trust-e2e")
    sample = os.path.join(work, "sample")
    shutil.copytree(os.path.join(full.WORK, "sample"), sample)
    for name in ("quarnwin.ini", "quarnregi.ini"):
        with open(os.path.join(sample, "Disc_01", name), "wb") as f:
            f.write(b"; %s of the set\r\n" % name.encode())
    manifest = os.path.join(sample, "sample.qset")
    with open(manifest, encoding="utf-8") as f:
        text = f.read()
    font_line = next(l for l in text.splitlines() if l.startswith("Systems = \\DejaVuSans.ttf "))
    text = text.replace(font_line, "\n".join((font_line,) + WIN_LINES), 1)
    with open(manifest, "w", encoding="utf-8") as f:
        f.write(text)
    full.SET_DIR = os.path.join(work, "set")
    subprocess.run([sample_set.quarnset(), "build", "-q"] + sample_set.sign_args() +
                   ["-D", "STANDIN=" + sample_set.standin(), manifest, full.SET_DIR], check=True)


def windows_file(name):
    return harness.prefix_path("C:\\windows\\" + name)


def elsewhere():
    """A folder on the installation's drive, outside its root folder."""
    return os.path.join(harness.BUILD, "drives", full.DRIVE.lower(), "Elsewhere")


def contents_below(folder):
    """Every file below folder with its bytes."""
    found = {}
    for name in files_below(folder):
        with open(os.path.join(folder, name), "rb") as f:
            found[name] = f.read()
    return found


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
        for name in (WIN_CREATED, WIN_REPLACED):
            if os.path.exists(windows_file(name)):
                os.remove(windows_file(name))
        shutil.rmtree(elsewhere(), ignore_errors=True)
        if os.path.exists(una.temp_log()):
            os.remove(una.temp_log())

    def silent(self, args, name, exe=None):
        self.app = harness.Installer(exe=exe, args=args, name=name)
        return self.app.wait_exit(300)

    def install(self):
        self.put_users_settings_file()
        block = os.path.join(full.target_root(), *una.USER_BLOCK)
        os.makedirs(os.path.dirname(block), exist_ok=True)
        with open(block, "wb") as f:
            f.write(b"my own block\r\n")
        with open(windows_file(WIN_REPLACED), "wb") as f:
            f.write(OLD_CONTENT)
        self.assertFalse(os.path.exists(windows_file(WIN_CREATED)))
        self.assertEqual(self.silent(["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], "trust_install"), 0)
        self.close_group_windows()
        # Both were written: the one there before is replaced by the set's.
        for name in (WIN_CREATED, WIN_REPLACED):
            with open(windows_file(name), "rb") as f:
                self.assertTrue(f.read().startswith(b"; quarn"), name)
        # The list says which one the installation created.
        with open(list_path(), "rb") as f:
            lines = f.read().split(b"\r\n")
        marks = {l[2:].decode("cp1250") for l in lines if l.startswith(b"A\t")}
        self.assertIn("C:\\windows\\" + WIN_CREATED, marks)
        self.assertNotIn("C:\\windows\\" + WIN_REPLACED, marks)

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
        self.assertFalse(os.path.exists(windows_file(WIN_CREATED)), "the file the installation created there")
        # The file the Windows folder held before stays (with what the installation wrote over it).
        self.assertTrue(os.path.exists(windows_file(WIN_REPLACED)))
        log = "\n".join(una.read_log(una.temp_log()))
        self.assertIn("file C:\\windows\\%s left alone: it was in the Windows folder before the installation"
                      % WIN_REPLACED, log)
        self.assertIn("file removed: C:\\windows\\" + WIN_CREATED, log)
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
        # The edited list is not the installation's: nothing of it is believed, not even which files the
        # first installation created; the reinstallation found the file there, so it stays.
        self.assertNotIn(("A\tC:\\windows\\" + WIN_CREATED).encode(), relisted_lines)
        self.assertEqual(self.uninstall("trust_uninstall_after_reinstall"), 0)
        self.assertTrue(os.path.exists(outside))
        self.assertTrue(os.path.exists(windows_file(WIN_CREATED)))
        self.assertTrue(os.path.exists(windows_file(WIN_REPLACED)))

    def test_30_no_link_is_followed(self):
        self.install()
        # A reinstallation over the list the first one wrote finds the file it created in the Windows
        # folder there, and keeps it marked as the installation's own.
        self.assertEqual(self.silent(["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], "trust_reinstall_kept"), 0)
        self.close_group_windows()
        with open(list_path(), "rb") as f:
            relisted_lines = f.read().split(b"\r\n")
        self.assertIn(("A\tC:\\windows\\" + WIN_CREATED).encode(), relisted_lines)
        self.assertNotIn(("A\tC:\\windows\\" + WIN_REPLACED).encode(), relisted_lines)
        program = os.path.join(full.target_root(), "QuarnWin32")
        # A folder of the root moved elsewhere on the drive, a link in its place: the list's lines for its
        # files (with their right digests) now lead there.
        os.makedirs(elsewhere())
        shutil.move(os.path.join(program, "Súgó"), os.path.join(elsewhere(), "Súgó"))
        os.symlink(os.path.join(elsewhere(), "Súgó"), os.path.join(program, "Súgó"))
        # Inside the staging folder, a link to a folder holding installed files.
        staged = os.path.join(elsewhere(), "Staged")
        shutil.copytree(os.path.join(program, "Minták"), staged)
        os.symlink(staged, os.path.join(program, "Install", "Kulso"))
        outside = contents_below(elsewhere())
        self.assertEqual(len(outside), 3 + 3, outside.keys())  # three help files, three drawings

        self.assertEqual(self.uninstall("trust_uninstall_links"), 0)
        self.assertEqual(contents_below(elsewhere()), outside, "something the links point to was removed")
        log = "\n".join(una.read_log(una.temp_log()))
        help_file = full.program_folder_win() + "\\Súgó\\quarnwin.htm"
        self.assertIn("file %s left alone: a folder on its way is a junction or a link" % help_file, log)
        self.assertIn("not followed: %s\\Install\\Kulso" % full.program_folder_win(), log)
        # Everything else of the installation went as usual.
        left = files_below(full.target_root())
        left.discard(os.path.join("QuarnWin32", EXE_NAME))
        self.assertEqual(left, {os.path.join(*una.USER_SETTINGS), os.path.join(*una.USER_BLOCK)})
        self.assertFalse(os.path.exists(windows_file(WIN_CREATED)))


if __name__ == "__main__":
    harness.main()

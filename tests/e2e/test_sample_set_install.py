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
import subprocess
import unittest

import harness
import servers

ROOT = "V92Demo"  # RootDirectory of the sample set
FRAME, TITLE, STATUS, BAR, ACTIVITY, PERCENT = 3202, 3201, 508, 3206, 521, 520
SELECTABLE_PARTS = (510, 511, 512, 513, 515, 516)  # every part box but Projects (514), never selectable
START_AFTER = 508                                   # options dialog: start the system afterwards


def cp(text):
    return text.encode("cp1250")


T_FILES = cp("A rendszer állományok telepítése...")
T_REGISTERING = cp("A telepítés regisztrálása...")
T_SUCCEEDED = cp("A telepítés sikeresen végrehajtva!")


def quarnset_program():
    """A host build of quarnset: $QUARN_QUARNSET, the native build beside this one, or a build of its own."""
    if os.environ.get("QUARN_QUARNSET"):
        return os.environ["QUARN_QUARNSET"]
    beside = os.path.join(os.path.dirname(harness.BUILD), "native", "tools", "quarnset", "quarnset")
    if os.path.exists(beside):
        return beside
    own = os.path.join(harness.BUILD, "quarnset-host")
    subprocess.run(["cmake", "-S", os.path.join(harness.SOURCE, "tools", "quarnset"), "-B", own, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", own, "--target", "quarnset"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(own, "quarnset")


def read_ini(path):
    """{section: [(key, value), ...]} of a description file, in code page 1250 (keys in file order)."""
    sections, current = {}, None
    with open(path, "rb") as f:
        for raw in f.read().split(b"\r\n"):
            line = raw.decode("cp1250")
            if line.startswith("[") and "]" in line:
                current = sections.setdefault(line[1:line.index("]")], [])
            elif current is not None and "=" in line:
                key, value = line.split("=", 1)
                current.append((key.strip(), value.strip()))
    return sections


def expected_targets(set_dir, windows_dir):
    """{host path: content} of every file the sample set installs, from its published file lists."""
    out = {}
    disc = 1
    while True:
        folder = os.path.join(set_dir, "Disc_%02d" % disc)
        listing = os.path.join(folder, "Fajls_%d.ini" % disc)
        if not os.path.exists(listing):
            return out
        for section, entries in read_ini(listing).items():
            # Only the parts' sections name installed files ([Disc] is the label, [Hashes] the hash data).
            if section not in ("Setup", "Systems", "Drawings", "Blocks", "Projects", "Datas", "Help"):
                continue
            for key, line in entries:
                cut = min(i for i in (line.find(" "), line.find(",")) if i >= 0)
                source, code = line[:cut], line[cut + 1:].lstrip(" ")
                base = os.path.join(harness.BUILD, "drives", "t", ROOT)
                while code[:1] == "*":
                    if code[1] == "%":
                        base = windows_dir
                    code = code[2:]
                with open(os.path.join(folder, *source.strip("\\").split("\\")), "rb") as f:
                    stored = f.read()
                name = source.lower()
                # "ex_" and "dl_" files are stored with a filler byte before every content byte.
                content = stored[1::2] if ("ex_" in name or "dl_" in name) else stored
                out[os.path.join(base, *code.strip("\\").split("\\"))] = content
        disc += 1


def files_below(folder, skip):
    found = set()
    for dirpath, dirnames, filenames in os.walk(folder):
        if os.path.abspath(dirpath) == os.path.abspath(skip):
            dirnames[:] = []
            continue
        dirnames[:] = [d for d in dirnames if os.path.abspath(os.path.join(dirpath, d)) != os.path.abspath(skip)]
        found.update(os.path.join(dirpath, f) for f in filenames)
    return found


class MessageLog:
    """msglog.dll's lines: (kind, control or None, value), in order."""

    def __init__(self, path):
        self.path = path
        open(path, "wb").close()

    def entries(self):
        out = []
        with open(self.path, "rb") as f:
            for raw in f.read().splitlines():
                parts = raw.decode("latin-1").split(" ")
                if len(parts) < 2:
                    continue
                if parts[1] == "settext":
                    out.append(("settext", int(parts[2]), b"" if parts[3] == "-" else bytes.fromhex(parts[3])))
                elif parts[1] in ("pos", "clip", "show", "enable"):
                    out.append((parts[1], int(parts[2]), int(parts[3])))
                else:
                    out.append((parts[1], None, parts[2] if len(parts) > 2 else None))
        return out


class SampleSetInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD, "sample-set-install")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        standin = os.path.join(harness.BUILD, "tools", "standin", "QuarnWin32.exe")
        subprocess.run([quarnset_program(), "build", "-q", "-D", "STANDIN=" + standin,
                        os.path.join(harness.SOURCE, "sample", "sample.qset"), os.path.join(cls.work, "set")],
                       check=True)
        https_port, http_port = servers.build_ports(harness.BUILD)
        cls.serve = os.path.join(harness.SOURCE, "tools", "nginx", "serve_set.sh")
        cls.state = os.path.join(cls.work, "nginx")
        subprocess.run([cls.serve, "start", "--root", os.path.join(cls.work, "set"), "--state", cls.state,
                        "--https-port", str(https_port), "--http-port", str(http_port),
                        "--pki", os.environ.get("QUARN_PKI") or os.path.join(harness.BUILD, "pki")], check=True)
        cls.drv = harness.Driver()

    @classmethod
    def tearDownClass(cls):
        harness.close_group_windows()
        cls.drv.close()
        subprocess.run([cls.serve, "stop", "--state", cls.state], check=False)

    def setUp(self):
        self.drive = os.path.join(harness.BUILD, "drives", "t")
        self.root = os.path.join(self.drive, ROOT)
        shutil.rmtree(self.root, ignore_errors=True)
        self.windows = harness.prefix_path("C:\\windows")
        self.set_dir = os.path.join(self.work, "set", "KelvaranDemo")
        self.expected = expected_targets(self.set_dir, self.windows)
        for path in self.expected:
            if path.startswith(self.windows) and os.path.exists(path):
                os.remove(path)  # so that the run must deliver it
        self.log = MessageLog(os.path.join(self.work, "run.msglog"))
        self.installer = None

    def tearDown(self):
        if self.installer is not None and self.installer.proc.poll() is None:
            self.installer.kill()
        self.drv("unhook", check=False)

    def start_installation(self):
        os.environ["QUARN_MSGLOG"] = harness.win_path(self.log.path)
        try:
            self.installer = harness.Installer(name="sample_set_install")
        finally:
            del os.environ["QUARN_MSGLOG"]
        self.drv("wait", "ctl=503", 20000)
        self.drv("hook", "ctl=503", harness.win_path(os.path.join(harness.BUILD, "msglog.dll")))
        self.drv("settext", "ctl=503", 503, "T:")
        self.drv("click", "ctl=503", START_AFTER)
        self.drv("waitstate", "ctl=503", START_AFTER, "checked=0")
        for box in SELECTABLE_PARTS:
            if self.drv.state("ctl=503", box)["checked"] != "1":
                self.drv("click", "ctl=503", box)
            self.drv("waitstate", "ctl=503", box, "checked=1")
        self.drv("click", "ctl=503", 1)
        self.drv("wait", "ctl=%d" % FRAME, 10000)

    def test_every_selected_file_lands_at_its_target(self):
        database = os.path.join(self.root, "QuarnWin32", "Adatok", "alkatresz.qdb")
        self.assertIn(database, self.expected)
        os.makedirs(os.path.dirname(database))
        with open(database, "wb") as f:
            f.write(b"an older database")

        self.start_installation()
        # "Meglévő fájl: %s! Felül kívánja írni?" for the database (its line asks before replacing).
        _, box = self.drv("msgbox", "kívánja", "none", 120000)
        harness.screenshot("sample_set_replace_question")
        info = dict(line.split("=", 1) for line in box if "=" in line)
        self.assertEqual(harness.decode_ansi(info["caption_ansi"]), cp("QuarnCAD telepités"))
        self.assertEqual(harness.decode_ansi(info["text_ansi"]),
                         cp("Meglévő fájl: T:\\V92Demo\\QuarnWin32\\Adatok\\alkatresz.qdb! Felül kívánja írni?"))
        self.assertEqual(info["buttons"].split(), ["6", "7"])  # Yes and No only
        self.drv("msgbox", "kívánja", "yes")
        # Success closes the web dialog (the Program Manager step follows: not this test's subject).
        harness.wait_until(lambda: any(k == "destroy" for (k, _, _) in self.log.entries()), 120,
                           what="the web installation dialog to close")
        entries = self.log.entries()
        titles = [v for (k, c, v) in entries if k == "settext" and c == TITLE]
        self.assertEqual(titles[-1], T_SUCCEEDED)

        # Byte for byte at every target, and nothing else below the root but the staging folder.
        for path, content in sorted(self.expected.items()):
            with self.subTest(target=path):
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), content)
        staging = os.path.join(self.root, "QuarnWin32", "Install")
        installed = files_below(self.root, staging)
        self.assertEqual(installed, {p for p in self.expected if p.startswith(self.root + os.sep)})
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
        self.assertEqual(bar, sorted(bar))
        # One bar move per installed file (the replaced database included).
        self.assertEqual(len(bar), len(self.expected))
        statuses = [v for (k, c, v) in copy_phase if k == "settext" and c == STATUS]
        self.assertIn(cp("T:\\V92Demo\\QuarnWin32\\Súgó\\quarnwin.htm"), statuses)


if __name__ == "__main__":
    harness.main()

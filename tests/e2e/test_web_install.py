"""The web installation dialog and its worker, driven like a user through the real program.

Each case starts QuarnWebInstall.exe under Wine, picks drive T: in the options dialog and presses
Telepítés (Install). The test servers (tools/testserver) serve a small set written by the test itself;
their rules slow a file down or spoil one where a case needs it. msglog.dll, hooked into the installer's
window thread by the UI driver, records every text, progress position, clip and command of the web
dialog in order, so that short-lived states (the last texts before the dialog closes) are seen too.
Screenshots of every phase go to BUILD/screenshots/web_install_*.png.
"""
import os
import shutil
import subprocess
import time
import unittest

import harness
import servers

from web_install_kit import (ACTIVITY, B_CANCELLED, B_EXIT, BAR, BUTTON, FRAME, PERCENT, PROGRESS_CONTROLS,
                             ROOT, STATUS, T_CANCELLED, T_COLLECTING, T_DIRECTORIES, T_DOWNLOADING, T_FILES,
                             T_REGISTERING, T_SUCCEEDED, TITLE, MessageLog, TestSet, WebDialogDriving, cp)

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

DRIVE_DIR = None                 # host folder of T:

# Colours of the three clips (tools/clips/mkclips.py), to tell from a screenshot which one is showing.
CLIP_COLOURS = {
    1001: [(30, 90, 180), (20, 60, 140)],     # the big globe's sea
    1002: [(90, 96, 108), (120, 130, 150)],   # the disk drive's dark metal, the lines on the papers
    1003: [(165, 112, 58), (120, 78, 36)],    # the crate's cardboard
}


class WebInstall(WebDialogDriving, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        global DRIVE_DIR
        DRIVE_DIR = os.path.join(harness.BUILD, "drives", "t")
        cls.work = os.path.join(harness.BUILD, "web-install-e2e")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        cls.tree = os.path.join(cls.work, "tree")
        cls.drv = harness.Driver()
        cls.site = harness.hosts()["site_name"]

    @classmethod
    def tearDownClass(cls):
        cls.drv.close()

    def setUp(self):
        for name in (ROOT, "V92Demo"):
            shutil.rmtree(os.path.join(DRIVE_DIR, name), ignore_errors=True)
        os.makedirs(DRIVE_DIR, exist_ok=True)
        self.drive_before = sorted(os.listdir(DRIVE_DIR))
        self.srv = None
        self.installer = None
        self.log = MessageLog(os.path.join(self.work, self.id().split(".")[-1] + ".msglog"))

    def tearDown(self):
        if self.installer is not None and self.installer.proc.poll() is None:
            self.installer.kill()
        self.drv("unhook", check=False)
        if self.srv is not None:
            self.srv.stop()

    # ---- helpers -------------------------------------------------------------------------------------
    def serve(self, https=True, **set_options):
        self.set = TestSet(self.tree, **set_options)
        self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv"),
                                       https=https).start()

    def shot(self, name):
        return harness.screenshot("web_install_" + name)

    def frame_colours(self, png):
        """Histogram of the animation frame's area in a screenshot: {(r, g, b): count}."""
        _, out = self.drv("dump", "ctl=%d" % FRAME)
        for line in out:
            if line.startswith("id=%d " % FRAME):
                l, t, r, b = [int(v) for v in line.split("rect=")[1].split()[0].split(",")]
                break
        else:
            self.fail("no frame control in %r" % out)
        hist = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "+repage",
                               "-format", "%c", "histogram:info:-"], capture_output=True, text=True,
                              check=True).stdout
        colours = {}
        for line in hist.splitlines():
            count, rest = line.strip().split(":", 1)
            rgb = tuple(int(float(v)) for v in rest.split("(")[1].split(")")[0].split(",")[:3])
            colours[rgb] = colours.get(rgb, 0) + int(count)
        return colours

    def assert_clip_showing(self, png, clip):
        colours = self.frame_colours(png)
        for c in CLIP_COLOURS[clip]:
            self.assertGreater(colours.get(c, 0), 20, "clip %d not visible in %s" % (clip, png))
        for other, cols in CLIP_COLOURS.items():
            if other != clip:
                self.assertLess(colours.get(cols[0], 0), 5, "clip %d visible in %s" % (other, png))

    def requests(self):
        return self.srv.requests()

    # ---- cases ---------------------------------------------------------------------------------------
    def test_no_server_reachable(self):
        self.start_installation()
        self.wait_text(BUTTON, cp(B_EXIT))
        self.shot("no_connection")
        expected = (b"\n\n" + cp("A telepítő rendszernek nincs Internet kapcsolata,") + b"\n" +
                    cp(" vagy nincs letöltési engedélye az '") + self.site.encode() + cp("' WEB lappról!!!"))
        self.assertEqual(self.text(FRAME), expected)
        self.assertEqual(self.text(TITLE), b"")
        self.assertEqual(self.button()[1]["enabled"], "1")
        self.assert_progress_hidden()
        self.assertEqual(self.log.texts(TITLE), [T_COLLECTING, b""])
        self.assertEqual(self.log.values("clip", 201), [1001])   # only the connecting clip ever ran
        self.press_exit_and_expect_the_end()
        self.assertEqual(sorted(os.listdir(DRIVE_DIR)), self.drive_before, "no folder may be created")

    def test_https_probe_rejected_falls_back_to_http(self):
        self.serve()
        # The HTTPS host answers, but its Update.ini lacks the markers.
        self.srv.set_rules([{"match": "*/Update.ini", "scheme": "https", "action": "body",
                             "body": "[Update]\r\nQuarnSoft Ltd. 1992-2019.\r\n"}])
        self.start_installation()
        harness.wait_until(lambda: self.installer.proc.poll() is not None or
                           any(k == "destroy" for (k, _, _) in self.log.entries()), 60, what="the run to end")
        reqs = [(scheme, path) for (scheme, method, path, action, agent) in self.requests()]
        self.assertEqual(reqs[0], ("https", "/Download/UpDate-V9.20/Update.ini"))
        self.assertEqual(reqs[1], ("http", "/UpDate-V9.20/Update.ini"))
        self.assertTrue(all(s == "http" for (s, _) in reqs[1:]), reqs)
        self.assertIn(("http", "/UpDate-V9.20/KelvaranDemo/Disc_01/big.dat"), reqs)
        # The status field names the HTTP form of the URL, never the host.
        statuses = self.log.texts(STATUS)
        self.assertTrue(any(s.startswith(b"http://... .../KelvaranDemo/Disc_01/") for s in statuses), statuses)
        self.assertFalse(any(s.startswith(b"https://") for s in statuses), statuses)
        self.assertEqual(self.log.texts(TITLE)[-1], T_SUCCEEDED)
        with open(os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "Data", "big.dat"), "rb") as f:
            self.assertEqual(f.read(), self.set.big)

    def test_https_port_closed_falls_back_to_http(self):
        """Nothing listens on the HTTPS host's port while the HTTP host serves: the commonest fallback. The
        HTTPS open fails before any request (its reachability check finds the port closed), unlike a probe
        the server answers wrongly; the whole set then comes over HTTP."""
        self.set = TestSet(self.tree)
        self.srv = servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv"),
                                       https=False).start()
        self.assertFalse(servers._listening(servers.build_ports(harness.BUILD)[0]), "the HTTPS port must be closed")
        self.start_installation()
        harness.wait_until(lambda: any(k == "destroy" for (k, _, _) in self.log.entries()), 60,
                           what="the installation to succeed", ended=lambda: harness.web_dialog_end(self.drv))
        self.assertEqual(self.log.texts(TITLE)[-1], T_SUCCEEDED)
        reqs = [(scheme, path) for (scheme, method, path, action, agent) in self.requests()]
        self.assertEqual(reqs[0], ("http", "/UpDate-V9.20/Update.ini"))
        self.assertTrue(all(s == "http" for (s, _) in reqs), reqs)
        with open(os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "Data", "big.dat"), "rb") as f:
            self.assertEqual(f.read(), self.set.big)
        statuses = self.log.texts(STATUS)
        self.assertTrue(any(s.startswith(b"http://... .../KelvaranDemo/Disc_01/") for s in statuses), statuses)

    def test_a_source_file_that_fails_on_read_shows_message_7(self):
        """A staged file that opens but cannot be read: message 7 ("... másolás olvasás hiba ...") names
        source and target, and Cancel there ends the run as cancelled before anything is registered.

        The set (without hash data) is downloaded as usual; the system's program is already installed, so
        its replace question holds the copy before big.dat is copied. Meanwhile the staged big.dat becomes a
        link to /proc/self/mem: Wine opens it (the wineserver's memory), and the first read, at address 0,
        fails with EIO. (The copy reads the lists the download fetched in this run, so the staged disc
        cannot simply be laid out before the run.)"""
        self.serve()
        program = os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "QuarnWin32.exe")
        os.makedirs(os.path.dirname(program), exist_ok=True)
        with open(program, "wb") as f:
            f.write(b"MZ an earlier installation")
        self.start_installation()
        question = harness.wait_until(lambda: harness.program_box(self.drv), 60, what="the replace question",
                                      ended=lambda: harness.web_dialog_end(self.drv))
        self.assertIn("kívánja", question[1])
        staging = os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "Install", "Disc_01")
        os.remove(os.path.join(staging, "big.dat"))
        os.symlink("/proc/self/mem", os.path.join(staging, "big.dat"))
        self.drv("msgbox", question[0], "yes", 2000)
        harness.wait_until(lambda: not (harness.program_box(self.drv) or ("", ""))[1].count("kívánja"), 30,
                           what="the question to close")
        box = harness.wait_until(lambda: harness.program_box(self.drv), 60, what="the read error (message 7)",
                                 ended=lambda: harness.web_dialog_end(self.drv, ("olvasás",)))
        self.shot("read_error")
        source = "T:\\%s\\QuarnWin32\\Install\\Disc_01\\big.dat" % ROOT
        target = "T:\\%s\\QuarnWin32\\Data\\big.dat" % ROOT
        self.assertIn("olvasás hiba", box[1])
        self.assertIn(source, box[1])
        self.assertIn(target, box[1])
        self.drv("msgbox", box[0], "cancel", 2000)
        self.wait_text(BUTTON, cp(B_EXIT))
        self.assertEqual(self.log.texts(TITLE)[-1], T_CANCELLED)
        self.assertNotIn(T_REGISTERING, self.log.texts(TITLE), "nothing is registered after the cancel")
        with open(os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "setup.cfg"), "rb") as f:
            self.assertEqual(f.read(), self.set.setup_cfg, "the files before it were installed")
        self.assertEqual(os.path.getsize(os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "Data", "big.dat")), 0)
        self.press_exit_and_expect_the_end()

    def test_installed_by_is_kept_when_the_user_name_cannot_be_read(self):
        """GetUserNameA fails: the record keeps the earlier "Installed By" and everything else is written.
        Wine takes the user name from $USER; one longer than the program's 256-byte buffer makes the call
        fail with ERROR_INSUFFICIENT_BUFFER (checked beside: the name does not fit)."""
        key = harness.RECORD_KEY + "\\QuarnCAD WebE2E"  # the record's 32-bit view
        subprocess.run(["wine", "reg", "delete", key, "/f"], capture_output=True, env=harness.wine_env(),
                       stdin=subprocess.DEVNULL)
        subprocess.run(["wine", "reg", "add", key, "/v", "Installed By", "/d", "earlier-user", "/f"],
                       check=True, capture_output=True, env=harness.wine_env(), stdin=subprocess.DEVNULL)
        # Such a user's certificate store does not trust the test CA, and a program without a key does not
        # fall back to HTTP after a certificate failure: only the HTTP host serves.
        self.serve(https=False)
        long_name = "u" * 300
        self.installer_env = {"USER": long_name, "LOGNAME": long_name}
        # Such a user has no profile folder: Wine makes one directly below C:\\users, which is no part of
        # the installer's work and would mislead the next tests about the Wine user.
        stray = harness.prefix_path("C:\\users\\AppData")
        if not os.path.exists(stray):
            self.addCleanup(shutil.rmtree, stray, True)
        self.start_installation()
        harness.wait_until(lambda: any(k == "destroy" for (k, _, _) in self.log.entries()), 60,
                           what="the installation to succeed", ended=lambda: harness.web_dialog_end(self.drv))
        self.assertEqual(self.log.texts(TITLE)[-1], T_SUCCEEDED)
        self.assertEqual(harness.reg_query(key, "Installed By"), "earlier-user")
        self.assertEqual(harness.reg_query(key, "Installed Path"), "T:\\" + ROOT)
        self.assertEqual(harness.reg_query(key, "SubSystem"), "Demo")

    def test_description_without_root_directory(self):
        self.serve(root_directory=False)
        self.start_installation()
        _, box = self.drv("msgbox", "QuarnCAD System Error!", "none", 30000)
        self.shot("missing_root_directory")
        self.assert_clip_showing(self.shot("connect_phase"), 1001)
        info = dict(l.split("=", 1) for l in box if "=" in l)
        self.assertEqual(info["caption"], "QuarnCAD System Error!")
        self.assertEqual(harness.decode_ansi(info["text_ansi"]), cp("A telepítési könyvtár nem található a WEB-en!"))
        self.assertEqual(self.text(TITLE), T_COLLECTING)
        self.drv("msgbox", "QuarnCAD System Error!", "ok")
        self.wait_text(BUTTON, cp(B_EXIT))
        self.wait_text(TITLE, T_CANCELLED)
        self.shot("cancelled_no_root")
        self.assertEqual(self.button()[1]["enabled"], "1")
        self.assert_progress_hidden()
        self.assertEqual(self.log.values("show", BAR), [1, 0], "the bar must never have been shown")
        self.assertEqual(sorted(os.listdir(DRIVE_DIR)), self.drive_before, "no staging folder")
        self.press_exit_and_expect_the_end()

    def test_cancel_during_a_slow_download(self):
        self.serve()
        # big.dat arrives in small pieces: several seconds to act in.
        self.srv.set_rules([{"match": "*/big.dat", "action": "trickle", "chunk": 16384, "delay": 0.05}])
        self.start_installation()
        harness.wait_until(lambda: self.text(STATUS).endswith(b"/big.dat") and self.text(PERCENT).strip() not in
                           (b"", b"0.0%"), 60, what="the download of big.dat")
        self.shot("download_phase")
        self.drv("click", "ctl=%d" % FRAME, BUTTON)
        harness.wait_until(lambda: self.button()[0] == B_CANCELLED, 10, what="the button to read Megszakítva")
        self.assertEqual(self.button()[1]["enabled"], "0")
        self.shot("cancel_pending")
        # The close box, Esc and Enter do nothing while the worker winds down: in particular the dialog
        # must not end (with either result) under a worker that is still running.
        self.drv("close", "ctl=%d" % FRAME)
        self.drv("key", "ctl=%d" % FRAME, 27)
        self.drv("key", "ctl=%d" % FRAME, 13)
        self.wait_text(TITLE, T_CANCELLED, 60)
        self.wait_text(BUTTON, cp(B_EXIT))
        self.assertEqual(self.button()[1]["enabled"], "1")
        self.assertNotIn("destroy", [k for (k, _, _) in self.log.entries()])
        self.shot("cancelled")
        reqs = [path for (_, _, path, _, _) in self.requests()]
        self.assertTrue(reqs[-1].endswith("/big.dat"), "nothing is fetched after the cancel: %r" % reqs)
        staged = os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "Install", "Disc_01")
        self.assertTrue(os.path.exists(os.path.join(staged, "big.dat")))
        # Nothing installed: the run ended before the installation steps.
        self.assertFalse(os.path.exists(os.path.join(DRIVE_DIR, ROOT, "QuarnWin32", "setup.cfg")))
        self.assertNotIn(T_DIRECTORIES, self.log.texts(TITLE))
        self.assertEqual(self.log.values("clip", 201), [1001, 1002])
        self.press_exit_and_expect_the_end()
        self.assertNotIn(1, [v for (k, _, v) in self.log.entries() if k == "command"])

    def test_cancel_while_connecting_ends_cancelled(self):
        # The HTTPS probe file arrives slowly; the user cancels meanwhile. Both probes then refuse their
        # server, but the run ends as cancelled: blaming the connection would be wrong.
        self.serve()
        self.srv.set_rules([{"match": "*/Update.ini", "scheme": "https", "action": "trickle", "chunk": 8,
                             "delay": 0.2}])
        self.start_installation()
        harness.wait_until(lambda: any(p.endswith("/Update.ini") for (_, _, p, _, _) in self.requests()), 20,
                           what="the HTTPS probe")
        self.drv("click", "ctl=%d" % FRAME, BUTTON)
        harness.wait_until(lambda: self.button()[0] == B_CANCELLED, 10, what="the button to read Megszakítva")
        self.wait_text(TITLE, T_CANCELLED, 60)
        self.wait_text(BUTTON, cp(B_EXIT))
        self.shot("cancelled_while_connecting")
        self.assertEqual(self.text(FRAME), b"", "no no-connection message")
        self.assertFalse(any(p.endswith("/Install.ini") for (_, _, p, _, _) in self.requests()))
        self.press_exit_and_expect_the_end()
        self.assertEqual(sorted(os.listdir(DRIVE_DIR)), self.drive_before)

    def test_successful_run(self):
        self.serve()
        self.srv.set_rules([{"match": "*/big.dat", "action": "trickle", "chunk": 32768, "delay": 0.05}])
        # An older program in place: the copy asks before replacing it, which holds the installation phase.
        old = os.path.join(DRIVE_DIR, ROOT, "QuarnWin32")
        os.makedirs(old)
        with open(os.path.join(old, "QuarnWin32.exe"), "wb") as f:
            f.write(b"old version")
        self.start_installation()
        harness.wait_until(lambda: self.text(STATUS).endswith(b"/big.dat"), 60, what="the download")
        harness.wait_until(lambda: self.text(PERCENT).strip() not in (b"", b"0.0%"), 30, what="percent")
        self.assert_clip_showing(self.shot("download_phase"), 1002)
        for control in PROGRESS_CONTROLS:
            self.assertEqual(self.drv.state("ctl=%d" % FRAME, control)["visible"], "1")
        _, box = self.drv("msgbox", "kívánja", "none", 60000)   # "Meglévő fájl: ...! Felül kívánja írni?"
        self.assertEqual(self.text(TITLE), T_FILES)
        self.assert_clip_showing(self.shot("install_phase"), 1003)
        self.drv("msgbox", "kívánja", "yes")
        harness.wait_until(lambda: any(k == "destroy" for (k, _, _) in self.log.entries()), 60,
                           what="the dialog to close")

        self.assertEqual(self.log.texts(TITLE), [T_COLLECTING, T_DOWNLOADING, T_DIRECTORIES, T_FILES,
                                                 T_REGISTERING, T_SUCCEEDED])
        clips = [v for v in self.log.values("clip", 201) if v != 0]
        self.assertEqual(clips, [1001, 1002, 1003])
        positions = self.log.values("pos", BAR)
        self.assertGreater(len(set(positions)), 5, positions)
        self.assertEqual(positions, sorted(positions), "the bar never goes back")
        self.assertEqual(positions[-1], 1000)
        percents = [float(p.strip().rstrip(b"%")) for p in self.log.texts(PERCENT) if p.strip()]
        self.assertEqual(percents, sorted(percents))
        self.assertGreater(len(set(percents)), 5)
        self.assertEqual(self.log.texts(PERCENT)[-1], b"100.0%")
        self.assertEqual(self.log.texts(ACTIVITY)[-5:], [b".", b"..", b"...", b"....", b"....."])
        self.assertEqual(self.log.texts(STATUS)[-1], b"   ....")
        commands = [v for (k, _, v) in self.log.entries() if k == "command" and v in (1, 2, 401, 402, 403)]
        self.assertEqual(commands, [401, 402, 1], "closed by the success command, never cancelled")
        self.assertEqual(self.log.texts(BUTTON), [], "the button kept its text")
        # The clip is closed while the dialog is destroyed (recorded after the handler ran).
        self.assertEqual([(k, v) for (k, _, v) in self.log.entries()][-2:], [("clip", 0), ("destroy", None)])
        with open(os.path.join(old, "Data", "big.dat"), "rb") as f:
            self.assertEqual(f.read(), self.set.big)
        with open(os.path.join(old, "QuarnWin32.exe"), "rb") as f:
            self.assertEqual(f.read(), self.set.program)


if __name__ == "__main__":
    harness.main()

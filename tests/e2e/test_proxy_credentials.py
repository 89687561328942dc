"""A proxy that asks for credentials, through the real program under Wine.

Neither host can be reached directly: nothing listens at the compiled addresses, the servers listen one
port higher, and only the loopback proxy configured in the prefix's Internet Settings knows where
(servers.ProxyRoute). The proxy answers every request without the right "Proxy-Authorization" with 407,
so the program's second try (through the system's proxy settings) meets the platform's credential
dialog. The test acts as the user in that dialog: it types a user name and a password and presses OK, or
presses Cancel, as each case says; every dialog seen is recorded (its proxy and realm lines, the user
name it offered) and the first one is saved as a screenshot.

Each case runs over HTTPS (a CONNECT tunnel through the proxy) and over HTTP (the HTTPS host refuses the
set, so the HTTP host serves it; requests in absolute form). Afterwards: the end the run reached, the
installed bytes, the proxy's log (407 before any request it carried), and the installation log, which
must never hold the password, neither as typed nor as the Basic header's encoding of it.

A silent run (/S) meets the same proxy: no window may appear, so it must not ask, and ends as a run
without a connection does (exit code 2).
"""
import base64
import os
import shutil
import unittest

import harness
import hostile_run
import reliability_doc
import servers
from web_install_kit import FRAME, ROOT, MessageLog, TestSet

# Its sets are unsigned test sets: the program without a key installs them.
harness.use_unkeyed_program()

USER = "kati"
PASSWORD = "Titok-77-Proxy"
WRONG = "Rossz-Jelszo-13"
HTTP_ONLY = {"match": "*/Update.ini", "scheme": "https", "action": "status", "status": 404}

# The platform's credential dialog as Wine draws it: the user name and password fields (the password
# one has ES_PASSWORD), the proxy and realm lines, OK and Cancel.
CRED_USER, CRED_PASSWORD, CRED_PROXY, CRED_REALM = 1027, 1028, 1025, 1026
ES_PASSWORD = 0x20
OK, CANCEL = 1, 2
CRED_DIALOG = "ctl=%d" % CRED_PASSWORD


class Case:
    """answers: what the user does in each credential dialog for the HTTPS host (the first one the
    program tries), in order: (user, password) then OK, or None for Cancel. verdicts: the proxy's
    verdicts on the requests for the HTTPS host, up to the first one it carried ("carried": a tunnel or
    a forwarded request). then, then_verdicts: the same for the HTTP host, when it is tried through the
    proxy too (the set served over HTTP, or the HTTPS host not reached); then_verdicts None: not
    compared. end: the end the run must reach; logged: lines the installation log must hold."""

    def __init__(self, name, what, outcome, answers, verdicts, then, then_verdicts, end, logged):
        self.name, self.what, self.outcome = name, what, outcome
        self.answers, self.verdicts, self.then, self.then_verdicts = answers, verdicts, then, then_verdicts
        self.end, self.logged = end, logged
        self.boxes = []

    def expected(self, scheme):
        """(answers, verdicts per host) for a run whose set is served over scheme. Over HTTP the HTTPS host
        refuses the set, and the HTTP host is tried through a new session: Wine's WinINet keeps proxy
        credentials per session, so the dialog asks once more."""
        answers, verdicts = list(self.answers), {"https": list(self.verdicts)}
        if scheme == "http" or self.end != "success":
            answers += self.then
            if self.then_verdicts is not None:
                verdicts["http"] = list(self.then_verdicts)
        return answers, verdicts


RIGHT = (USER, PASSWORD)
# A request in absolute form sent again after the dialog first goes without the credentials, gets 407
# once more and is answered by WinINet itself: 407, 407, carried. A CONNECT sent again carries them.
HTTP_AFTER_DIALOG = ["407", "407", "carried"]

CASES = [
    Case("right_password", "the proxy asks for credentials; the right user name and password at the first ask",
         "installed through the proxy; asked once per host session that meets the proxy",
         [RIGHT], ["407", "carried"], [RIGHT], HTTP_AFTER_DIALOG, "success",
         [b"proxy credentials: accepted by the proxy"]),
    Case("wrong_then_right", "a wrong password first; the dialog asks again; then the right one",
         "the proxy answers 407 again, the dialog asks again; installed",
         [(USER, WRONG), RIGHT], ["407", "407", "carried"], [RIGHT], HTTP_AFTER_DIALOG, "success",
         [b"proxy credentials: refused by the proxy", b"proxy credentials: accepted by the proxy"]),
    Case("wrong_three_times", "a wrong password at every ask",
         "three asks for the HTTPS host, three for the HTTP host, nothing carried; the run ends as when no "
         "host answers, nothing written",
         [(USER, WRONG)] * 3, ["407"] * 4, [(USER, WRONG)] * 3, None, "no-connection",
         [b"proxy credentials: refused by the proxy"]),
    Case("cancelled", "the credential dialog cancelled",
         "not asked again for the other host; the run ends as when no host answers, nothing written",
         [None], ["407"], [], ["407"], "no-connection",
         [b"proxy credentials: the dialog was cancelled", b"not asked (the user cancelled the credential dialog)"]),
]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def secrets():
    """The password in every form a log could hold it: as typed, and inside the Basic header."""
    token = base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode("ascii"))
    return [PASSWORD.encode("ascii"), token, base64.b64encode(("%s:%s" % (USER, WRONG)).encode("ascii")),
            WRONG.encode("ascii")]


class CredentialDialogs:
    """Answers the credential dialogs of one run, in order, as the case says; records what each showed."""

    def __init__(self, test, answers, shots):
        self.test, self.answers, self.shots = test, list(answers), shots
        self.seen = []      # per dialog: {"proxy", "realm", "user", "owner", "web", "password_style"}

    def __call__(self, run):
        drv = self.test.drv
        rc, _ = drv("wait", CRED_DIALOG, 0, check=False)
        if rc != 0:
            return
        rc, dump = drv("dump", CRED_DIALOG, check=False)
        if rc != 0:
            return  # gone between the two calls
        hwnd = dump[0].split()[0]
        controls = {}
        for line in dump[1:]:
            fields = dict(kv.split("=", 1) for kv in line.split(" ") if "=" in kv)
            controls[int(fields["id"])] = (fields, line.split(" text=", 1)[1].split(" ansi=", 1)[0])
        title = dump[0].split(" title=", 1)[1]
        _, box = drv("msgbox", title, "none", 0)
        owner = next(l[6:] for l in box if l.startswith("owner="))
        _, web = drv("dump", "ctl=%d" % FRAME)
        seen = {"proxy": controls[CRED_PROXY][1], "realm": controls[CRED_REALM][1],
                "user": controls[CRED_USER][1], "owner": int(owner, 16), "web": int(web[0].split()[0], 16),
                "password_style": int(controls[CRED_PASSWORD][0]["style"], 16) & ES_PASSWORD}
        self.seen.append(seen)
        target = "hwnd=0x" + hwnd
        if len(self.seen) == 1:
            self.screenshot(target)
        answer = self.answers.pop(0) if self.answers else None
        if answer is None:
            drv("click", target, CANCEL)
        else:
            user, password = answer
            drv("settext", target, CRED_USER, "")
            drv("type", target, CRED_USER, user)
            drv("type", target, CRED_PASSWORD, password)
            harness.wait_until(lambda: (drv.text(target, CRED_USER), drv.text(target, CRED_PASSWORD)) == answer, 5,
                               what="the typed user name and password in their fields")
            drv("click", target, OK)
        drv("gone", target, 10000)

    def screenshot(self, target):
        """Saves the screen once the dialog is painted on it: the middle of the dialog and of its OK button
        no longer show the web dialog's background (sampled in a corner of the web dialog the credential
        dialog does not cover). Waits a few seconds at most."""
        def rect(line):
            return tuple(int(v) for v in line.split(" rect=", 1)[1].split(" ", 1)[0].split(","))
        l, t, r, b = (int(v) for v in self.test.drv("rect", target)[1][0].split())
        _, dump = self.test.drv("dump", target)
        ol, ot, orr, ob = rect(next(line for line in dump[1:] if line.startswith("id=%d " % OK)))
        wl, wt, wr, wb = (int(v) for v in self.test.drv("rect", "ctl=%d" % FRAME)[1][0].split())
        corner = (wl + 6, wb - 6)
        self.test.assertFalse(l <= corner[0] <= r and t <= corner[1] <= b, "the sampled corner is covered")

        def painted():
            path = harness.screenshot(self.shots + "_dialog")
            web = harness.pixel(path, *corner)
            dialog = harness.pixel(path, (l + r) // 2, (t + b) // 2)
            ok = harness.pixel(path, (ol + orr) // 2, (ot + ob) // 2)
            return path if web != dialog and web != ok else None
        harness.wait_until(painted, 10, interval=0.2, what="the credential dialog painted on the screen")


class ProxyCredentials(hostile_run.HostileRunning, unittest.TestCase):
    drive = "U"
    installer_name = "proxy_credentials"

    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD, "proxy-credentials-e2e")
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        cls.tree = os.path.join(cls.work, "tree")
        shots = os.path.join(harness.BUILD, "screenshots")
        for name in (os.listdir(shots) if os.path.isdir(shots) else []):
            if name.startswith("proxy_credentials_"):
                os.remove(os.path.join(shots, name))   # only this run's pictures stay
        cls.drv = harness.Driver()

    @classmethod
    def tearDownClass(cls):
        cls.drv.close()

    def setUp(self):
        self.installer = None

    def forget(self):
        shutil.rmtree(os.path.join(self.drive_dir(), ROOT), ignore_errors=True)
        if os.path.exists(harness.temp_install_log()):
            os.remove(harness.temp_install_log())
        self.drv("closeall", "ExplorerWClass", 0, check=False)

    def installed(self, *parts):
        return os.path.join(self.drive_dir(), ROOT, "QuarnWin32", *parts)

    def install_log(self):
        """The run's installation log: in the staging folder once it existed, else in the temporary folder."""
        staged = self.installed("Install", "QuarnInstall.log")
        return read(staged if os.path.exists(staged) else harness.temp_install_log())

    def test_cases(self):
        for scheme in ("https", "http"):
            for case in CASES:
                with self.subTest(case=case.name, scheme=scheme):
                    self.run_case(case, scheme)
        self.assertEqual([c.name for c in CASES if c.name not in reliability_doc.listed_cases()], [],
                         "docs/reliability.md must list every case: run tests/reliability_doc.py --write")

    def run_case(self, case, scheme):
        self.forget()
        self.set = TestSet(self.tree, big_size=300_000)
        answers, verdicts = case.expected(scheme)
        with servers.ProxyRoute(harness.BUILD, self.tree, os.path.join(self.work, "route"),
                                auth="%s:%s" % (USER, PASSWORD)) as route:
            route.servers.set_rules([HTTP_ONLY] if scheme == "http" else [])
            self.log = MessageLog(os.path.join(self.work, "%s_%s.msglog" % (case.name, scheme)))
            shots = "proxy_credentials_%s_%s" % (case.name, scheme)
            dialogs = CredentialDialogs(self, answers, shots)
            try:
                self.start_installation()
                run = self.run_to_end(None, 90, during=dialogs, shots=shots)
            finally:
                if self.installer is not None and self.installer.proc.poll() is None:
                    self.installer.kill()
                self.drv("unhook", check=False)
            requests = route.proxy.requests()
            self.assertEqual((run.end, run.kinds()), (case.end, []), (run.boxes, requests, dialogs.seen))
            self.check_dialogs(route, dialogs.seen, len(answers), requests)
            self.check_proxy_log(case, route, scheme, verdicts, requests)
            self.check_installed(case, route, scheme)
            self.check_log(case)
        harness.reg_delete("HKLM\\Software\\QuarnSoft\\QuarnCAD WebE2E")
        self.forget()

    def check_dialogs(self, route, dialogs, count, requests):
        self.assertEqual(len(dialogs), count, ("dialogs shown", dialogs, requests))
        for d in dialogs:
            self.assertEqual(d["proxy"], "127.0.0.1:%d" % route.proxy.port, "the proxy the dialog names")
            self.assertEqual(d["realm"], servers.PROXY_REALM, "the realm the proxy gave")
            self.assertEqual(d["owner"], d["web"], "the dialog is owned by the web installation dialog")
            self.assertTrue(d["password_style"], "the password field hides what is typed")

    def check_proxy_log(self, case, route, scheme, verdicts, requests):
        carried = {"tunnel", "forward"}
        targets = {"https": route.https_target, "http": "http://%s/" % route.http_target}
        for host, wanted in verdicts.items():
            seen = [("carried" if v in carried else v) for (m, t, v) in requests
                    if t == targets[host] or (host == "http" and t.startswith(targets[host]))]
            if "carried" in seen:
                seen = seen[:seen.index("carried") + 1]
            self.assertEqual(seen, wanted, (host, requests))
        if case.end != "success":
            self.assertEqual([r for r in requests if r[2] in carried], [], "nothing was carried")
        elif scheme == "https":
            self.assertIn(("CONNECT", route.https_target, "tunnel"), requests)
        else:
            self.assertIn(("GET", "http://%s/UpDate-V9.20/KelvaranDemo/Disc_01/big.dat" % route.http_target,
                           "forward"), requests)

    def check_installed(self, case, route, scheme):
        big = self.installed("Data", "big.dat")
        if case.end != "success":
            self.assertFalse(os.path.exists(os.path.join(self.drive_dir(), ROOT)), "nothing staged or installed")
            self.assertEqual([t for t in route.servers.transfers() if "/KelvaranDemo/" in t["path"]], [],
                             "no file of the set was fetched")
            return
        self.assertEqual(read(big), self.set.big)
        self.assertEqual(read(self.installed("QuarnWin32.exe")), self.set.program)
        used = {t["scheme"] for t in route.servers.transfers() if "/KelvaranDemo/" in t["path"]}
        self.assertEqual(used, {scheme})

    def check_log(self, case):
        text = self.install_log()
        self.assertIn(b"through the system's proxy settings", text, "the log of this run")
        for line in case.logged:
            self.assertIn(line, text)
        for secret in secrets():
            self.assertNotIn(secret, text, "the installation log holds a password")

    def test_silent_run_does_not_ask(self):
        """/S: no window of the program's may appear, the platform's credential dialog neither; the run ends
        as one without a connection (exit code 2), and the proxy did ask."""
        self.forget()
        TestSet(self.tree, big_size=300_000)
        with servers.ProxyRoute(harness.BUILD, self.tree, os.path.join(self.work, "route"), auth="%s:%s" % (USER, PASSWORD)) as route:
            self.installer = harness.Installer(args=["/S", "/DRIVE=%s" % self.drive, "/NOSTART"],
                                               name=self.installer_name + "_silent")
            dialogs = []
            try:
                def ended():
                    if self.drv("wait", CRED_DIALOG, 0, check=False)[0] == 0:
                        dialogs.append(harness.screenshot("proxy_credentials_silent_dialog"))
                        self.drv("click", CRED_DIALOG, CANCEL, check=False)
                    return self.installer.proc.poll() is not None
                harness.wait_until(ended, 90, interval=0.1, what="the silent run to end")
            finally:
                if self.installer.proc.poll() is None:
                    self.installer.kill()
                else:
                    self.installer.wait_exit(5)
            self.assertEqual(dialogs, [], "a silent run showed the credential dialog")
            self.assertEqual(self.installer.proc.returncode, 2, "the no-connection end")
            requests = route.proxy.requests()
            self.assertIn(("CONNECT", route.https_target, "407"), requests)
            self.assertEqual([r for r in requests if r[2] in ("tunnel", "forward")], [], requests)
            self.assertIn(b"not asked (a silent run)", read(harness.temp_install_log()))
        self.assertFalse(os.path.exists(os.path.join(self.drive_dir(), ROOT)), "nothing staged or installed")
        self.forget()


if __name__ == "__main__":
    harness.main()

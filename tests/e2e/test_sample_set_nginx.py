"""The sample set as the maker publishes it: built with quarnset, served by nginx on both hosts' layouts,
checked live with quarnset check, and installed by the real program byte for byte (files stored with
filler bytes decoded) -- over HTTPS, and over HTTP when the HTTPS host's certificate is not trusted.
"""
import os
import shutil
import subprocess
import unittest

import harness
import sample_set
from options_session import WholeInstallationCase

DRIVE = "V"
ROOT = "V92Demo"
WORK = None
SET_DIR = None


def setUpModule():
    global WORK, SET_DIR
    if not os.path.exists(sample_set.standin()):
        raise unittest.SkipTest("the stand-in system is not built")
    WORK = sample_set.private_work_folder("sample-set-nginx-e2e")
    SET_DIR = sample_set.publish(WORK)


def target_root():
    return os.path.join(harness.BUILD, "drives", DRIVE.lower(), ROOT)


def expected_files():
    return sample_set.expected_files(SET_DIR, target_root())


class SampleSetOverNginx(WholeInstallationCase):
    cert = None  # None: the test PKI's trusted server certificate

    def setUp(self):
        shutil.rmtree(target_root(), ignore_errors=True)
        pki = os.environ.get("QUARN_PKI") or os.path.join(harness.BUILD, "pki")
        cert = key = None
        if self.cert:
            cert, key = os.path.join(pki, self.cert + ".chain.crt"), os.path.join(pki, self.cert + ".key")
        self.nginx = sample_set.Nginx(harness.BUILD, SET_DIR, os.path.join(WORK, "nginx"), cert=cert, key=key)
        self.nginx.start()
        self.addCleanup(self.nginx.stop)
        self.addCleanup(harness.close_group_windows)
        self.nginx.clear_log()
        super().setUp()

    def assert_installed_byte_for_byte(self):
        expected = expected_files()
        self.assertGreaterEqual(len(expected), 13)
        for path, data in expected.items():
            with self.subTest(path=path):
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data)
        # The decoded system is the stand-in itself, and the font the Debian package's.
        with open(os.path.join(target_root(), "QuarnWin32", "QuarnWin32.exe"), "rb") as f, \
                open(sample_set.standin(), "rb") as g:
            self.assertEqual(f.read(), g.read())

    def assert_requests(self, scheme):
        reqs = [r for r in self.nginx.requests() if r[0] == scheme]
        self.assertTrue(reqs, self.nginx.requests())
        self.assertTrue(all(r[5] == "QuarnCAD UpDate" for r in reqs), reqs)
        self.assertTrue(reqs[0][2].endswith("/Update.ini"), reqs[0])
        # The set ends where the server has no file list: the fourth.
        self.assertTrue(reqs[-1][2].endswith("/KelvaranDemo/Disc_04/Fajls_4.ini") and reqs[-1][3] == "404", reqs[-1])
        self.assertTrue(all(r[3] == "200" for r in reqs[:-1]), reqs)


class OverHttps(SampleSetOverNginx):
    def test_live_check_is_clean_and_the_set_installs_over_https(self):
        p = subprocess.run([sample_set.quarnset(), "check", "-q", "--https", self.nginx.url("https"),
                            "--http", self.nginx.url("http"), "--cacert", os.path.join(self.nginx.pki, "ca.crt")],
                           capture_output=True, text=True)
        self.assertEqual((p.returncode, p.stdout), (0, ""), p.stderr)
        self.nginx.clear_log()
        self.install("sample_set_nginx_https")
        self.assert_installed_byte_for_byte()
        self.assert_requests("https")
        self.assertFalse([r for r in self.nginx.requests() if r[0] == "http"])


class OverHttpWhenHttpsIsNotTrusted(SampleSetOverNginx):
    cert = "other"  # signed by the CA nobody trusts

    def test_the_set_installs_over_http(self):
        self.install("sample_set_nginx_http_fallback")
        self.assert_installed_byte_for_byte()
        self.assert_requests("http")
        # The HTTPS host was tried but refused before any request reached nginx.
        self.assertFalse([r for r in self.nginx.requests() if r[0] == "https" and r[1] == "GET"])


if __name__ == "__main__":
    harness.main()

"""The web transfer against the real test servers, over HTTPS and HTTP.

Starts the test servers (tools/testserver) on this build's ports and runs the live cases of win_tests
(gtest filter BothHosts/LiveWeb.*) in the test prefix, telling them where the served tree, the rules file
and the request log are. The gtest cases write the sets they need into the served tree themselves.
Also checks the servers' own misbehaviours from Python, so that other tests can rely on them.
"""
import os
import shutil
import socket
import ssl
import subprocess
import unittest
import urllib.error
import urllib.request
import xml.etree.ElementTree as ET

import harness
import servers


class ServerBehaviour(unittest.TestCase):
    """The misbehaviours the other tests rely on, seen from an ordinary client."""

    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD, "web-transfer-py")
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.tree = os.path.join(cls.work, "tree")
        os.makedirs(os.path.join(cls.tree, "KelvaranDemo", "Disc_01"))
        cls.body = bytes(range(256)) * 400
        with open(os.path.join(cls.tree, "KelvaranDemo", "Disc_01", "f.bin"), "wb") as f:
            f.write(cls.body)
        cls.srv = servers.TestServers(harness.BUILD, cls.tree, workdir=os.path.join(cls.work, "srv")).start()
        cls.tls = ssl.create_default_context(cafile=os.path.join(cls.srv.pki, "ca.crt"))

    @classmethod
    def tearDownClass(cls):
        cls.srv.stop()

    def get(self, scheme, rel):
        url = self.srv.url(scheme, rel)
        return urllib.request.urlopen(url, timeout=20, context=self.tls if scheme == "https" else None)

    def test_both_layouts_serve_the_tree(self):
        for scheme in ("https", "http"):
            with self.get(scheme, "KelvaranDemo/Disc_01/f.bin") as r:
                self.assertEqual(r.status, 200)
                self.assertEqual(int(r.headers["Content-Length"]), len(self.body))
                self.assertEqual(r.read(), self.body)
        # The other host's layout is not served, nor anything outside the tree.
        for rel in ("../srv/rules.json", "KelvaranDemo/Disc_01/", "KelvaranDemo/Disc_01/none"):
            with self.assertRaises(urllib.error.HTTPError) as e:
                self.get("http", rel)
            self.assertEqual(e.exception.code, 404)

    def test_rules_misbehave_per_url_and_scheme(self):
        self.srv.set_rules([
            {"match": "*/f.bin", "scheme": "https", "action": "status", "status": 404},
            {"match": "*/f.bin", "scheme": "http", "action": "chunked", "times": 1},
        ])
        with self.assertRaises(urllib.error.HTTPError) as e:
            self.get("https", "KelvaranDemo/Disc_01/f.bin")
        self.assertEqual(e.exception.code, 404)
        with self.get("http", "KelvaranDemo/Disc_01/f.bin") as r:
            self.assertIsNone(r.headers["Content-Length"])
            self.assertEqual(r.headers["Transfer-Encoding"], "chunked")
            self.assertEqual(r.read(), self.body)
        with self.get("http", "KelvaranDemo/Disc_01/f.bin") as r:  # "times" used up
            self.assertEqual(int(r.headers["Content-Length"]), len(self.body))
        self.srv.set_rules([{"match": "*/f.bin", "action": "length0"}])
        with self.get("http", "KelvaranDemo/Disc_01/f.bin") as r:
            self.assertEqual(r.headers["Content-Length"], "0")
        self.srv.set_rules([{"match": "*/f.bin", "action": "short", "bytes": 100}])
        with self.get("http", "KelvaranDemo/Disc_01/f.bin") as r:
            with self.assertRaises(Exception):
                r.read()
        log = self.srv.requests()
        self.assertEqual([a for (_, _, p, a, _) in log if p.endswith("/f.bin")][-4:],
                         ["chunked", "file", "length0", "short"])
        self.srv.set_rules([])

    def test_reset_in_mid_file(self):
        self.srv.set_rules([{"match": "*/f.bin", "action": "reset", "bytes": 1000}])
        with socket.create_connection(("127.0.0.1", self.srv.http_port), timeout=20) as s:
            s.sendall(b"GET /UpDate-V9.20/KelvaranDemo/Disc_01/f.bin HTTP/1.1\r\nHost: x\r\n\r\n")
            got = b""
            with self.assertRaises(ConnectionResetError):
                while True:
                    piece = s.recv(65536)
                    if not piece:
                        break
                    got += piece
        self.assertIn(b"Content-Length: %d" % len(self.body), got)
        self.srv.set_rules([])


class WinINetAgainstServers(unittest.TestCase):
    def run_live(self, name, gtest_filter, extra_env=None, during=None):
        """Runs the live gtest cases matching gtest_filter against fresh servers; returns the parsed
        XML report. during(proc) runs while win_tests runs."""
        work = os.path.join(harness.BUILD, "web-transfer-" + name)
        shutil.rmtree(work, ignore_errors=True)
        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        xml = os.path.join(work, "live.xml")
        out = os.path.join(work, "live.out")
        with servers.TestServers(harness.BUILD, tree, workdir=os.path.join(work, "srv")) as srv:
            env = harness.wine_env()
            env["QUARN_WEB_TREE"] = harness.win_path(tree)
            env["QUARN_WEB_RULES"] = harness.win_path(srv.rules_path)
            env["QUARN_WEB_LOG"] = harness.win_path(srv.log_path)
            env.update(extra_env or {})
            with open(out, "w") as f:
                proc = subprocess.Popen(
                    ["wine", os.path.join(harness.BUILD, "win_tests.exe"), "--gtest_filter=" + gtest_filter,
                     "--gtest_output=xml:" + harness.win_path(xml)],
                    stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT, env=env)
                try:
                    if during:
                        during(proc)
                    rc = proc.wait(timeout=900)
                finally:
                    if proc.poll() is None:
                        proc.kill()
        with open(out, encoding="utf-8", errors="replace") as f:
            output = f.read()
        self.assertEqual(rc, 0, output[-6000:])
        suite = ET.parse(xml).getroot()
        cases = suite.findall(".//testcase")
        skipped = [c.get("name") for c in cases
                   if c.find("skipped") is not None or c.get("result") == "skipped"]
        self.assertEqual(skipped, [], output[-3000:])
        self.assertEqual(int(suite.get("failures")), 0, output[-6000:])
        return cases

    def test_live_cases_pass_over_https_and_http(self):
        cases = self.run_live("live", "BothHosts/LiveWeb.*")
        self.assertGreaterEqual(len(cases), 40)

    def test_missing_root_folder_box_screenshot(self):
        shots = os.path.join(harness.BUILD, "web-transfer-box")
        shutil.rmtree(shots, ignore_errors=True)
        os.makedirs(shots)
        taken = []

        def shoot(proc):
            up = os.path.join(shots, "box-up")
            harness.wait_until(lambda: os.path.exists(up) or proc.poll() is not None, timeout=120,
                               what="the message box")
            if not os.path.exists(up):
                return
            with open(up) as f:
                rect = [int(v) for v in f.read().split()]
            taken.append(harness.screenshot("web_missing_root_folder", rect))
            open(os.path.join(shots, "shot-done"), "w").close()

        self.run_live("box", "BothHosts/LiveWeb.MissingOrUnusableRootFolderIsReportedAndCancels/Http",
                      {"QUARN_WEB_BOX_SHOT": harness.win_path(shots)}, shoot)
        self.assertEqual(len(taken), 1)
        self.assertTrue(os.path.getsize(taken[0]) > 0)


if __name__ == "__main__":
    harness.main()

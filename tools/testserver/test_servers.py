#!/usr/bin/env python3
"""The test server's misbehaviours and the loopback proxy, checked with a plain HTTP client: the e2e
tests of the installer rely on each of them doing exactly what its rule says."""
import http.client
import json
import os
import socket
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import quarn_testproxy  # noqa: E402
import quarn_testserver  # noqa: E402

PATH = "/UpDate-V9.20/KelvaranDemo/Disc_01/big.dat"
CONTENT = bytes((i * 7 + i // 256) & 0xFF for i in range(1000))


def wait_until(cond, timeout=10.0):
    end = time.monotonic() + timeout
    while not cond():
        if time.monotonic() > end:
            return False
        time.sleep(0.01)
    return True


class ServerCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        root = os.path.join(self.dir.name, "root")
        os.makedirs(os.path.join(root, "KelvaranDemo", "Disc_01"))
        with open(os.path.join(root, "KelvaranDemo", "Disc_01", "big.dat"), "wb") as f:
            f.write(CONTENT)
        self.rules = os.path.join(self.dir.name, "rules.json")
        self.transfers_path = os.path.join(self.dir.name, "transfers.log")
        self.config = quarn_testserver.Config(self.rules, os.path.join(self.dir.name, "requests.log"),
                                              self.transfers_path)
        self.server = quarn_testserver.Server("127.0.0.1", 0, "http", root, self.config)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.config.log.close()
        self.config.transfer_log.close()
        self.dir.cleanup()

    def set_rules(self, rules):
        with open(self.rules + ".tmp", "w") as f:
            json.dump({"rules": rules}, f)
        os.replace(self.rules + ".tmp", self.rules)

    def get(self, headers=None, timeout=10):
        """(status, headers dict, body, complete): the body as far as it arrived."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            conn.request("GET", PATH, headers=headers or {})
            r = conn.getresponse()
            try:
                body, complete = r.read(), True
            except http.client.IncompleteRead as e:
                body, complete = e.partial, False
            except ConnectionResetError:
                body, complete = b"", False
            return r.status, dict(r.getheaders()), body, complete
        finally:
            conn.close()

    def transfers(self, n):
        """The first n transfer log entries, once the server wrote them."""
        def read():
            with open(self.transfers_path) as f:
                return [json.loads(l) for l in f if l.strip()]
        self.assertTrue(wait_until(lambda: len(read()) >= n), read())
        return read()[:n]


class RangeTests(ServerCase):
    def test_ranges_and_validators(self):
        status, head, body, _ = self.get()
        self.assertEqual((status, body), (200, CONTENT))
        etag, modified = head["ETag"], head["Last-Modified"]
        self.assertEqual(head["Accept-Ranges"], "bytes")
        # (Range, If-Range, rules, status, body, Content-Range)
        cases = [
            ("bytes=100-", None, [], 206, CONTENT[100:], "bytes 100-999/1000"),
            ("bytes=100-199", None, [], 206, CONTENT[100:200], "bytes 100-199/1000"),
            ("bytes=990-2000", None, [], 206, CONTENT[990:], "bytes 990-999/1000"),
            ("bytes=1000-", None, [], 416, b"", "bytes */1000"),
            ("bytes=100-", etag, [], 206, CONTENT[100:], "bytes 100-999/1000"),
            ("bytes=100-", modified, [], 206, CONTENT[100:], "bytes 100-999/1000"),
            ("bytes=100-", '"not-this-file"', [], 200, CONTENT, None),
            ("bytes=0-1,5-6", None, [], 200, CONTENT, None),
            ("bytes=100-", None, [{"match": "*/big.dat", "action": "file", "ranges": False}], 200, CONTENT,
             None),
        ]
        for rng, if_range, rules, want_status, want_body, want_range in cases:
            with self.subTest(range=rng, if_range=if_range, rules=rules):
                self.set_rules(rules)
                headers = {"Range": rng}
                if if_range:
                    headers["If-Range"] = if_range
                status, head, body, complete = self.get(headers)
                self.assertEqual(status, want_status)
                self.assertEqual(body, want_body)
                self.assertTrue(complete)
                self.assertEqual(head.get("Content-Range"), want_range)

    def test_changed_content_has_its_own_validator(self):
        _, head, _, _ = self.get()
        self.set_rules([{"match": "*/big.dat", "action": "file", "xor": 0x5A}])
        status, changed_head, body, _ = self.get({"Range": "bytes=500-", "If-Range": head["ETag"]})
        self.assertEqual(status, 200)
        self.assertEqual(body, bytes(b ^ 0x5A for b in CONTENT))
        self.assertNotEqual(changed_head["ETag"], head["ETag"])
        self.assertNotEqual(changed_head["Last-Modified"], head["Last-Modified"])
        status, _, body, _ = self.get({"Range": "bytes=500-", "If-Range": changed_head["ETag"]})
        self.assertEqual((status, body), (206, bytes(b ^ 0x5A for b in CONTENT[500:])))


class MisbehaviourTests(ServerCase):
    def test_cut_once_then_whole_and_logged(self):
        self.set_rules([{"match": "*/big.dat", "action": "short", "bytes": 300, "times": 1}])
        status, head, body, complete = self.get()
        self.assertEqual((status, head["Content-Length"], body, complete), (200, "1000", CONTENT[:300], False))
        status, _, body, complete = self.get({"Range": "bytes=300-"})
        self.assertEqual((status, body, complete), (206, CONTENT[300:], True))
        log = self.transfers(2)
        self.assertEqual([(e["action"], e["status"], e["range"], e["sent"]) for e in log],
                         [("short", 200, "", 300), ("file", 206, "bytes=300-", 700)])

    def test_cut_always_cuts_range_answers_too(self):
        self.set_rules([{"match": "*/big.dat", "action": "short", "bytes": 50}])
        for rng, start in ((None, 0), ("bytes=600-", 600)):
            with self.subTest(range=rng):
                status, head, body, complete = self.get({"Range": rng} if rng else {})
                self.assertFalse(complete)
                self.assertEqual(body, CONTENT[start:start + 50])
                self.assertEqual(int(head["Content-Length"]), 1000 - start)

    def test_reset_after_some_bytes(self):
        self.set_rules([{"match": "*/big.dat", "action": "reset", "bytes": 100, "delay": 0}])
        _, _, body, complete = self.get()
        self.assertFalse(complete)
        self.assertLessEqual(len(body), 100)

    def test_drop_resets_before_any_answer_then_the_file(self):
        self.set_rules([{"match": "*/big.dat", "action": "drop", "times": 1}])
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            conn.request("GET", PATH)
            # No status line ever comes: the client sees the connection reset or closed, never an answer.
            with self.assertRaises((ConnectionResetError, http.client.RemoteDisconnected)):
                conn.getresponse()
        finally:
            conn.close()
        status, _, body, complete = self.get()
        self.assertEqual((status, body, complete), (200, CONTENT, True))
        self.assertEqual([(e["action"], e["status"], e["sent"]) for e in self.transfers(2)],
                         [("drop", 0, 0), ("file", 200, len(CONTENT))])

    def test_503_with_retry_after_twice_then_the_file(self):
        self.set_rules([{"match": "*/big.dat", "action": "status", "status": 503, "times": 2,
                         "headers": [["Retry-After", "2"]]}])
        got = [self.get() for _ in range(3)]
        self.assertEqual([g[0] for g in got], [503, 503, 200])
        self.assertEqual([g[1].get("Retry-After") for g in got], ["2", "2", None])
        self.assertEqual(got[2][2], CONTENT)

    def test_stall_holds_until_the_client_gives_up(self):
        self.set_rules([{"match": "*/big.dat", "action": "stall", "bytes": 10, "seconds": 60}])
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=0.5)
        conn.request("GET", PATH)
        r = conn.getresponse()
        self.assertEqual(r.read(10), CONTENT[:10])
        with self.assertRaises(socket.timeout):
            r.read(1)
        conn.close()
        # The server notices the close and logs the transfer long before its 60 s are over.
        log = self.transfers(1)
        self.assertEqual((log[0]["action"], log[0]["sent"]), ("stall", 10))


class ProxyTests(ServerCase):
    def start_proxy(self, auth=None):
        log = os.path.join(self.dir.name, "proxy.log")
        # The name the client asks for exists only in the proxy's map.
        proxy = quarn_testproxy.Proxy("127.0.0.1", 0, {"quarn.invalid:80": "127.0.0.1:%d" % self.port},
                                      auth, log)
        threading.Thread(target=proxy.serve_forever, daemon=True).start()
        self.addCleanup(proxy.close)
        self.addCleanup(lambda: proxy.log.close())
        return proxy, log

    def proxy_log(self, log):
        with open(log) as f:
            return [tuple(l.rstrip("\n").split("\t")) for l in f if l.strip()]

    def test_forward_and_tunnel_reach_a_mapped_host(self):
        proxy, log = self.start_proxy()
        conn = http.client.HTTPConnection("127.0.0.1", proxy.port, timeout=10)
        conn.request("GET", "http://quarn.invalid" + PATH, headers={"Range": "bytes=10-"})
        r = conn.getresponse()
        self.assertEqual((r.status, r.read()), (206, CONTENT[10:]))
        self.assertEqual(r.getheader("Connection"), "close")
        conn.close()
        conn = http.client.HTTPConnection("127.0.0.1", proxy.port, timeout=10)
        conn.set_tunnel("quarn.invalid", 80)
        conn.request("GET", PATH)
        r = conn.getresponse()
        self.assertEqual((r.status, r.read()), (200, CONTENT))
        conn.close()
        self.assertEqual(self.proxy_log(log), [("GET", "http://quarn.invalid" + PATH, "forward"),
                                               ("CONNECT", "quarn.invalid:80", "tunnel")])

    def test_credentials_asked_and_checked(self):
        proxy, log = self.start_proxy(auth="anna:titok")
        import base64
        for creds, want in ((None, 407), ("anna:rossz", 407), ("anna:titok", 200)):
            with self.subTest(creds=creds):
                conn = http.client.HTTPConnection("127.0.0.1", proxy.port, timeout=10)
                headers = {}
                if creds:
                    headers["Proxy-Authorization"] = "Basic " + base64.b64encode(creds.encode()).decode()
                conn.request("GET", "http://quarn.invalid" + PATH, headers=headers)
                r = conn.getresponse()
                r.read()
                self.assertEqual(r.status, want)
                if want == 407:
                    self.assertEqual(r.getheader("Proxy-Authenticate"), 'Basic realm="QuarnTestProxy"')
                conn.close()
        self.assertEqual([v for (_, _, v) in self.proxy_log(log)], ["407", "407", "forward"])

    def test_unreachable_target(self):
        proxy, log = self.start_proxy()
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            closed = s.getsockname()[1]  # bound, never listening: connections are refused
            conn = http.client.HTTPConnection("127.0.0.1", proxy.port, timeout=10)
            conn.request("GET", "http://127.0.0.1:%d%s" % (closed, PATH))
            self.assertEqual(conn.getresponse().status, 502)
            conn.close()
        self.assertEqual(self.proxy_log(log)[0][2], "unreachable")


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""The set's mirrors on nginx (tools/nginx/serve_mirror.sh) against the origin (tools/nginx/serve_set.sh),
without Wine: a static mirror serves its copy byte for byte with validators; the caching edge fetches each
file from the origin once, serves every later request (ranges and conditional requests too) from its
cache, keeps no error, keeps serving its copies while the origin is down, revalidates an expired copy
with the validators (a 304 from the origin, no bytes) and takes a changed file anew; bad arguments are
refused before nginx starts.

    python3 tests/scripts/nginx_mirrors_test.py
"""
import email.utils
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import mirrors  # noqa: E402

SERVE_SET = os.path.join(SOURCE, "tools", "nginx", "serve_set.sh")
SERVE_MIRROR = mirrors.SERVE
DISC = "KelvaranDemo/Disc_01/"
# name: size (bytes of a repeatable pattern); the large one spans several of the installer's chunks.
FILES = {"Update.ini": 40, DISC + "small.dat": 1, DISC + "empty.dat": 0, DISC + "qrender.dl_": 70000,
         DISC + "large.dat": 1300000, DISC + "other.dat": 5000}
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))
WORK = None


def content(name, size, salt=b""):
    """Bytes of one file: the same for the same name, no stretch repeating (a range cut at the wrong
    offset differs)."""
    return random.Random(name.encode() + salt).randbytes(size)


def write_tree(root, salt=b""):
    for name, size in FILES.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content(name, size, salt))


def free_port(addr="127.0.0.1"):
    with socket.socket() as s:
        s.bind((addr, 0))
        return s.getsockname()[1]


def get(url, headers=None):
    """(status, headers, body) of one GET; an error status is an answer too."""
    req = urllib.request.Request(url, headers=headers or {})
    try:
        with OPENER.open(req, timeout=30) as r:
            return r.status, r.headers, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers, e.read()


def setUpModule():
    global WORK
    WORK = tempfile.mkdtemp(prefix="quarn-mirrors-")
    os.chmod(WORK, 0o700)  # nginx's workers run as the invoking user (serve_*.sh), so this is no obstacle


def tearDownModule():
    shutil.rmtree(WORK, ignore_errors=True)


class Origin:
    """serve_set.sh on free ports, its log read the way mirrors.Mirror reads its own."""

    def __init__(self, name):
        self.root = os.path.join(WORK, name, "set")
        write_tree(self.root)
        self.state = os.path.join(WORK, name, "origin")
        self.https_port, self.http_port = free_port(), free_port()

    def start(self):
        subprocess.run([SERVE_SET, "start", "--root", self.root, "--state", self.state, "--pki",
                        os.path.join(WORK, "pki"), "--https-port", str(self.https_port), "--http-port",
                        str(self.http_port)], check=True, stdout=subprocess.DEVNULL)
        return self

    def stop(self):
        subprocess.run([SERVE_SET, "stop", "--state", self.state], check=True)

    def url(self, rel=""):
        return "http://127.0.0.1:%d/UpDate-V9.20%s" % (self.http_port, "/" + rel if rel else "")

    def requests(self):
        """[(method, path, status, bytes)] of the HTTP host, log markers left out."""
        mirrors.settle_log(os.path.join(self.state, "access.log"), "http://127.0.0.1:%d" % self.http_port)
        with open(os.path.join(self.state, "access.log"), encoding="utf-8") as f:
            rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
        return [(r[1], r[2], r[3], r[4]) for r in rows if r[0] == "http" and not r[2].startswith(mirrors.MARK)]


class StaticMirror(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        origin_root = os.path.join(WORK, "static-origin")
        write_tree(origin_root)
        cls.root = mirrors.copy_set(origin_root, os.path.join(WORK, "static-copy"))
        listen = "127.0.0.21:%d" % free_port("127.0.0.21")
        cls.mirror = mirrors.Mirror(WORK, os.path.join(WORK, "static-state"), listen, root=cls.root,
                                    path="/pub/quarn/UpDate-V9.20").start()
        cls.addClassCleanup(cls.mirror.stop)

    def test_every_file_byte_for_byte_with_validators(self):
        for name, size in FILES.items():
            with self.subTest(name=name):
                status, headers, body = get(self.mirror.url(name))
                self.assertEqual((status, body), (200, content(name, size)))
                self.assertTrue(headers["ETag"], headers)
                mtime = os.stat(os.path.join(self.root, name)).st_mtime
                self.assertEqual(headers["Last-Modified"], email.utils.formatdate(int(mtime), usegmt=True))

    def test_ranges_and_conditional_requests(self):
        name = DISC + "large.dat"
        data = content(name, FILES[name])
        _, headers, _ = get(self.mirror.url(name))
        cases = [  # request headers, expected status, expected body
            ({"Range": "bytes=512000-1023999"}, 206, data[512000:1024000]),
            ({"Range": "bytes=1024000-"}, 206, data[1024000:]),
            ({"If-None-Match": headers["ETag"]}, 304, b""),
            ({"If-Modified-Since": headers["Last-Modified"]}, 304, b""),
            ({"If-None-Match": '"not-this-one"'}, 200, data),
        ]
        for req, status, body in cases:
            with self.subTest(req=req):
                got_status, _, got_body = get(self.mirror.url(name), req)
                self.assertEqual((got_status, got_body), (status, body))

    def test_only_the_sets_folder_is_served_and_logged_as_asked(self):
        self.mirror.clear_log()
        cases = [(self.mirror.url(DISC + "missing.dat"), 404),
                 ("http://%s/UpDate-V9.20/Update.ini" % self.mirror.listen, 404),   # not this mirror's folder
                 ("http://%s/pub/quarn/UpDate-V9.20/../../../etc/passwd" % self.mirror.listen, 404),
                 (self.mirror.url("Update.ini") + "?x=1", 200)]
        for url, status in cases:
            with self.subTest(url=url):
                self.assertEqual(get(url)[0], status)
        log = self.mirror.requests()
        self.assertEqual([(r.uri.split("/")[-1], r.status, r.cache) for r in log],
                         [("missing.dat", "404", "-"), ("Update.ini", "404", "-"), ("passwd", "404", "-"),
                          ("Update.ini?x=1", "200", "-")])
        self.assertNotEqual(log[-1].etag, "-")


class CachingEdge(unittest.TestCase):
    """One origin and its edge; the cases run in order, each naming what the origin must see."""

    @classmethod
    def setUpClass(cls):
        cls.origin = Origin("edge").start()
        cls.addClassCleanup(cls.origin.stop)
        listen = "127.0.0.20:%d" % free_port("127.0.0.20")
        cls.edge = mirrors.Mirror(WORK, os.path.join(WORK, "edge", "edge"), listen, origin=cls.origin.url()).start()
        cls.addClassCleanup(cls.edge.stop)

    def test_each_file_is_fetched_from_the_origin_once(self):
        a, big, other = DISC + "qrender.dl_", DISC + "large.dat", DISC + "other.dat"
        a_data, big_data = content(a, FILES[a]), content(big, FILES[big])
        # The origin's validators, which the edge must pass on unchanged (a client or a cache further down
        # revalidates with them).
        validators = {n: (lambda h: (h["ETag"], h["Last-Modified"]))(get(self.origin.url(n))[1]) for n in (a, big, other)}
        # request headers, expected (status, cache status, body), what the origin is asked for since the
        # case before ([(method, path, status)]).
        whole = lambda name: [("GET", "/UpDate-V9.20/" + name, "200")]
        cases = [
            (a, {}, (200, "MISS", a_data), whole(a)),
            (a, {}, (200, "HIT", a_data), []),
            (a, {"Range": "bytes=1000-1999"}, (206, "HIT", a_data[1000:2000]), []),
            (a, {"If-None-Match": validators[a][0]}, (304, "HIT", b""), []),
            (a, {"If-Modified-Since": validators[a][1]}, (304, "HIT", b""), []),
            # The first chunk of a file not cached yet: the origin sends the whole file once, the edge the
            # chunk, and every later chunk comes from the cache.
            (big, {"Range": "bytes=0-511999"}, (206, "MISS", big_data[:512000]), whole(big)),
            (big, {"Range": "bytes=512000-1023999"}, (206, "HIT", big_data[512000:1024000]), []),
            (big, {}, (200, "HIT", big_data), []),
            # A query string is another URL to a cache: a per-run URL would go to the origin every time.
            (a + "?run=2", {}, (200, "MISS", a_data), whole(a)),
            # Errors are not kept: a file published later is found at once.
            (DISC + "missing.dat", {}, (404, "MISS", None), [("GET", "/UpDate-V9.20/" + DISC + "missing.dat", "404")]),
            (DISC + "missing.dat", {}, (404, "MISS", None), [("GET", "/UpDate-V9.20/" + DISC + "missing.dat", "404")]),
            (other, {}, (200, "MISS", content(other, FILES[other])), whole(other)),
        ]
        seen = len(self.origin.requests())
        for name, req, (status, cache, body), asked in cases:
            with self.subTest(name=name, req=req):
                got_status, headers, got_body = get(self.edge.url(name), req)
                self.assertEqual((got_status, headers["X-Cache-Status"]), (status, cache))
                if body is not None:
                    self.assertEqual(got_body, body)
                if status in (200, 206, 304):
                    self.assertEqual((headers["ETag"], headers["Last-Modified"]), validators[name.split("?")[0]])
                log = self.origin.requests()
                self.assertEqual([(m, p, s) for (m, p, s, _) in log[seen:]], asked)
                seen = len(log)
        # The edge's log: the URI as asked and the cache status of each answer.
        edge_log = [(r.uri.rsplit("/", 1)[-1], r.status, r.cache) for r in self.edge.requests()]
        self.assertEqual(edge_log, [(n.rsplit("/", 1)[-1], str(s), c) for n, _, (s, c, _), _ in cases])


class EdgeWhileTheOriginIsDown(unittest.TestCase):
    def test_cached_files_are_served_the_others_fail(self):
        origin = Origin("down").start()
        self.addCleanup(origin.stop)
        listen = "127.0.0.1:%d" % free_port()
        edge = mirrors.Mirror(WORK, os.path.join(WORK, "down", "edge"), listen, origin=origin.url()).start()
        self.addCleanup(edge.stop)
        cached = DISC + "small.dat"
        self.assertEqual(get(edge.url(cached))[0], 200)
        origin.stop()
        cases = [(cached, 200, "HIT", content(cached, 1)),
                 (DISC + "other.dat", 502, "MISS", None)]   # an error the installer moves on from
        for name, status, cache, body in cases:
            with self.subTest(name=name):
                got_status, headers, got_body = get(edge.url(name))
                self.assertEqual((got_status, headers["X-Cache-Status"]), (status, cache))
                if body is not None:
                    self.assertEqual(got_body, body)
        origin.start()


class EdgeRevalidation(unittest.TestCase):
    """A copy counted fresh for 1 s: afterwards the edge asks the origin with the validators."""

    def test_an_expired_copy_is_confirmed_or_replaced(self):
        origin = Origin("revalidate").start()
        self.addCleanup(origin.stop)
        listen = "127.0.0.1:%d" % free_port()
        edge = mirrors.Mirror(WORK, os.path.join(WORK, "revalidate", "edge"), listen, origin=origin.url(),
                              valid="1s").start()
        self.addCleanup(edge.stop)
        name = DISC + "other.dat"
        path = "/UpDate-V9.20/" + name
        first = get(edge.url(name))
        self.assertEqual(first[1]["X-Cache-Status"], "MISS")

        def after_expiry():
            answer = get(edge.url(name))
            return None if answer[1]["X-Cache-Status"] == "HIT" else answer
        # Unchanged at the origin: confirmed with a 304 that carries no body, the copy served.
        status, headers, body = mirrors.wait_until(after_expiry, 30, "the edge's copy to expire")
        self.assertEqual((status, headers["X-Cache-Status"], body), (200, "REVALIDATED", content(name, FILES[name])))
        self.assertEqual(headers["ETag"], first[1]["ETag"])
        self.assertEqual([(m, s, b) for (m, p, s, b) in origin.requests() if p == path], [("GET", "200", str(FILES[name])), ("GET", "304", "0")])
        # Published anew (other bytes, a later time): the new file replaces the copy.
        file = os.path.join(origin.root, name)
        with open(file, "wb") as f:
            f.write(content(name, FILES[name], salt=b"new"))
        later = os.stat(file).st_mtime + 60
        os.utime(file, (later, later))
        status, headers, body = mirrors.wait_until(after_expiry, 30, "the edge to ask the origin again")
        self.assertEqual((status, headers["X-Cache-Status"], body), (200, "EXPIRED", content(name, FILES[name], b"new")))
        self.assertNotEqual(headers["ETag"], first[1]["ETag"])
        self.assertEqual(get(edge.url(name))[1]["X-Cache-Status"], "HIT")


class Arguments(unittest.TestCase):
    def test_bad_arguments_are_refused_before_nginx_starts(self):
        root = os.path.join(WORK, "args-set")
        write_tree(root)
        state = os.path.join(WORK, "args-state")
        ok = ["--listen", "127.0.0.1:%d" % free_port(), "--root", root]
        cases = [  # arguments, what the refusal names
            (["--listen", "0.0.0.0:30000", "--root", root], "loopback"),
            (["--listen", "192.168.1.2:30000", "--root", root], "loopback"),
            (["--listen", "127.0.0.300:30000", "--root", root], "no IPv4 address"),
            (["--listen", "127.0.0.1:80", "--root", root], "1024..65535"),
            (["--listen", "127.0.0.1:99999", "--root", root], "1024..65535"),
            (ok + ["--path", "UpDate-V9.20"], "--path"),
            (ok + ["--path", "/UpDate-V9.20/"], "--path"),
            (ok + ["--path", "/a/../etc"], "--path"),
            (ok + ["--path", "/a b"], "--path"),
            (ok + ["--rate", "fast"], "--rate"),
            (ok + ["--valid", "forever"], "--valid"),
            (["--listen", ok[1]], "is required"),
            (ok + ["--origin", "http://127.0.0.1:1234/UpDate-V9.20"], "not both"),
            (["--listen", ok[1], "--origin", "http://example.com/UpDate-V9.20"], "--origin"),
            (["--listen", ok[1], "--origin", "https://127.0.0.1:1234/x"], "--origin"),
            (["--listen", ok[1], "--origin", "http://127.0.0.1:1234/x/"], "--origin"),
            (["--listen", ok[1], "--root", os.path.join(WORK, "nowhere")], "--root"),
            (ok + ["--rate"], "needs a value"),
        ]
        for args, named in cases:
            with self.subTest(args=args):
                p = subprocess.run([SERVE_MIRROR, "start", "--state", state] + args, capture_output=True, text=True)
                self.assertEqual(p.returncode, 2, p.stderr)
                self.assertIn(named, p.stderr)
                self.assertFalse(os.path.exists(os.path.join(state, "nginx.pid")))


if __name__ == "__main__":
    unittest.main()

"""The sample set behind a cache, as a content-delivery network serves it: published with a caching edge
(nginx proxy_cache in front of the origin's HTTP host, tools/nginx/serve_mirror.sh) as its one mirror and
installed twice by the real program. The first installation fills the edge's cache (each file fetched
from the origin once); the second is served from the cache: a HIT in the edge's log for every file of the
set, and no request for one of them reaches the origin. Every answer carries the origin's validators
(ETag, Last-Modified), and nothing the installer asks for differs per user or per run: no query string, no
cookie, the same URLs both times.
"""
import os
import shutil
import subprocess
import unittest
import urllib.request

import harness
import mirrors
import sample_set
import servers
from options_session import OptionsTestCase, WholeInstallationCase

DRIVE = "V"
ROOT = "V92Demo"
EDGE_ADDRESS = "127.0.0.20"           # an address of the edge's own, as a mirror host has
AGENT = "QuarnCAD UpDate"
WORK = SET_DIR = EDGE_LISTEN = None


def quarnset_publishes_mirrors():
    p = subprocess.run([sample_set.quarnset(), "build", "--help"], capture_output=True, text=True)
    return "--mirror" in p.stdout + p.stderr


def setUpModule():
    global WORK, SET_DIR, EDGE_LISTEN
    if not os.path.exists(sample_set.standin()):
        raise unittest.SkipTest("the stand-in system is not built")
    if not quarnset_publishes_mirrors():
        raise unittest.SkipTest("this quarnset cannot publish a mirror list (quarnset build --mirror)")
    _, http_port = servers.build_ports(harness.BUILD)
    # BASE+300: clear of the build's hosts (BASE+443, BASE+80) and of the proxies' ports next to them.
    EDGE_LISTEN = "%s:%d" % (EDGE_ADDRESS, http_port - 80 + 300)
    WORK = sample_set.private_work_folder("caching-edge-e2e")
    SET_DIR = sample_set.publish(WORK, options=["--mirror", "http://%s/UpDate-V9.20" % EDGE_LISTEN])


def target_root():
    return os.path.join(harness.BUILD, "drives", DRIVE.lower(), ROOT)


def origin_validators(origin, rel):
    """(ETag, Last-Modified) of one file as the origin's HTTP host answers it."""
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    with opener.open(origin.url("http") + "/" + rel, timeout=30) as r:
        r.read()
        return r.headers["ETag"], r.headers["Last-Modified"]


class SetBehindACachingEdge(WholeInstallationCase):
    def setUp(self):
        shutil.rmtree(target_root(), ignore_errors=True)
        self.origin = sample_set.Nginx(harness.BUILD, SET_DIR, os.path.join(WORK, "origin"))
        self.origin.start()
        self.addCleanup(self.origin.stop)
        self.edge = mirrors.Mirror(harness.BUILD, os.path.join(WORK, "edge"), EDGE_LISTEN,
                                   origin=self.origin.url("http"))
        self.edge.start()
        self.addCleanup(self.edge.stop)
        self.addCleanup(harness.close_group_windows)
        self.origin.clear_log()
        super().setUp()

    def installed_byte_for_byte(self):
        expected = sample_set.expected_files(SET_DIR, target_root())
        self.assertGreaterEqual(len(expected), 13)
        for path, data in expected.items():
            with self.subTest(path=path):
                self.assertTrue(os.path.isfile(path), path)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data)

    def run_installation(self, shot):
        """One installation from a clean target; returns (the edge's requests, the origin's requests)."""
        self.edge.clear_log()
        self.origin.clear_log()
        self.install(shot)
        self.installed_byte_for_byte()
        return self.edge.requests(), self.origin.requests()

    def second_program(self):
        """Ends this program and starts the next one, up to its options dialog."""
        self._end()
        shutil.rmtree(target_root(), ignore_errors=True)
        OptionsTestCase.setUp(self)

    def test_the_second_installation_is_served_from_the_edges_cache(self):
        files = ["/UpDate-V9.20/" + rel for rel in sample_set.stored_files(SET_DIR)]
        # The staged copy of the description may come from a mirror too: Sign.ini holds its hash. (The
        # installer reads the description itself, Sign.ini and the lists from its own hosts.)
        description = "/UpDate-V9.20/KelvaranDemo/Disc_01/Install.ini"

        def of_the_set(path):
            """Whether a path on either of the origin's hosts names a file of the set."""
            return any(path.endswith(f) for f in files)
        self.assertGreaterEqual(len(files), 13)
        runs = [self.run_installation("caching_edge_first")]
        self.second_program()
        runs.append(self.run_installation("caching_edge_second"))
        (edge_1, origin_1), (edge_2, origin_2) = runs
        served = sorted({r.uri for r in edge_1})

        # The installer asked the edge for every file of the set, and for nothing without hash data.
        for n, edge in enumerate((edge_1, edge_2), 1):
            with self.subTest(run=n):
                uris = {r.uri for r in edge}
                self.assertEqual(sorted(uris - {description}), files, edge)
                self.assertTrue(all(r.method == "GET" and r.agent == AGENT for r in edge), edge)
                self.assertTrue(all(r.status in ("200", "206") for r in edge), edge)
        # First installation: each file's first request went on to the origin (MISS), and the origin's HTTP
        # host (the edge's upstream; the installer itself reads over HTTPS) was asked for each file once.
        first_answers = {}
        for r in edge_1:
            first_answers.setdefault(r.uri, r.cache)
        self.assertEqual(first_answers, {f: "MISS" for f in served})
        self.assertEqual(sorted(r[2] for r in origin_1 if r[0] == "http"), served)
        self.assertEqual([r for r in origin_1 if r[0] == "https" and of_the_set(r[2])], [])
        # Second installation: every answer from the cache; the edge asked the origin nothing, and the
        # installer asked the origin for no file of the set (only for Update.ini, Install.ini, Sign.ini and
        # the lists, which it reads from its own hosts).
        self.assertEqual([(r.uri, r.cache) for r in edge_2 if r.cache != "HIT"], [])
        self.assertEqual([r for r in origin_2 if r[0] == "http" or of_the_set(r[2])], [])
        self.assertTrue(any(r[2].endswith("/Disc_01/Install.ini") for r in origin_2), origin_2)

        # Validators: every answer of the edge carried the origin's ETag and Last-Modified of its file.
        validators = {f: origin_validators(self.origin, f[len("/UpDate-V9.20/"):]) for f in served}
        for r in edge_1 + edge_2:
            with self.subTest(uri=r.uri, cache=r.cache):
                self.assertEqual((r.etag, r.last_modified), validators[r.uri])

        # Nothing per user or per run: no query string, no cookie, the same URLs in both runs, at the edge
        # and at the origin alike.
        self.assertEqual(sorted({r.uri for r in edge_1}), sorted({r.uri for r in edge_2}))
        installer_at_origin = [[(r[0], r[6]) for r in log if r[5] == AGENT] for log in (origin_1, origin_2)]
        self.assertTrue(installer_at_origin[1])
        self.assertEqual(sorted(set(installer_at_origin[0]) - {("http", f) for f in served}),
                         sorted(set(installer_at_origin[1])))
        for r in edge_1 + edge_2:
            self.assertNotIn("?", r.uri, r)
            self.assertEqual(r.cookie, "-", r)
        for log in (origin_1, origin_2):
            for r in log:
                self.assertNotIn("?", r[6], r)
                self.assertEqual(r[7], "-", r)


if __name__ == "__main__":
    harness.main()

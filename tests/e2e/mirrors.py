"""Mirrors of a published set for the tests and the demo: nginx on loopback (tools/nginx/serve_mirror.sh),
either a plain static server holding a copy of the set or a caching edge (proxy_cache) in front of the
origin, as a content-delivery network's edge is. Only the standard library and leftovers are used, so
that the native script tests use it too.

    edge = mirrors.Mirror(build, state, "127.0.0.20:34300", origin=nginx.url("http")).start()
    copy = mirrors.Mirror(build, state2, "127.0.0.21:34301", root=mirrors.copy_set(set_dir, dest)).start()
    edge.url()           # http://127.0.0.20:34300/UpDate-V9.20, for quarnset build --mirror
    edge.requests()      # [Request(scheme, method, uri, status, bytes, agent, cache, etag, last_modified,
                         #          cookie, range, cache_control, pragma), ...]; "-" stands for an empty field
"""
import collections
import itertools
import os
import re
import shutil
import subprocess
import time
import urllib.error
import urllib.request

import leftovers

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVE = os.path.join(SOURCE, "tools", "nginx", "serve_mirror.sh")
MARK = "/quarn-log-mark/"
_marks = itertools.count(1)

Request = collections.namedtuple("Request", "scheme method uri status bytes agent cache etag last_modified "
                                            "cookie range cache_control pragma")


def _unescape(field):
    """nginx writes a double quote, a backslash and control bytes in a logged value as \\xHH."""
    return re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), field)


def copy_set(set_dir, dest):
    """A mirror's copy of a published set: dest (replaced) holds the same files; returns dest."""
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(set_dir, dest)
    return dest


def wait_until(predicate, timeout, what):
    end = time.monotonic() + timeout
    while True:
        v = predicate()
        if v:
            return v
        if time.monotonic() >= end:
            raise TimeoutError("timed out after %.1fs waiting for %s" % (timeout, what))
        time.sleep(0.05)


def settle_log(log_path, server, timeout=30.0):
    """Waits until every answer the nginx at `server` (http://HOST:PORT) gave so far is in its log at
    log_path: nginx logs a request after its answer's last byte, so a client may have its answer before
    the line is written. The one worker logs each request before it takes the next: once a marker asked
    for now is logged, every earlier one is. Every log format of ours has the path in a field of its own."""
    mark = "%s%d-%d" % (MARK, os.getpid(), next(_marks))
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    try:
        opener.open(server + mark, timeout=timeout).close()
    except urllib.error.HTTPError:
        pass  # the marker's 404 is the answer wanted

    def logged():
        try:
            with open(log_path, encoding="utf-8", errors="replace") as f:
                return any(mark in line.rstrip("\n").split("\t") for line in f)
        except FileNotFoundError:
            return False
    wait_until(logged, timeout, "nginx to log the marker " + mark)


class Mirror:
    """One mirror, nginx with its state (configuration, pid, log, cache) in `state`, listening on
    `listen` (127.N.N.N:PORT). root: the folder holding its copy of the set; origin: the origin's set
    folder (http://...), which makes it a caching edge. valid: how long the edge counts a cached file as
    fresh (nginx time, e.g. "1h"); rate: bytes per second per answer."""

    def __init__(self, build, state, listen, root=None, origin=None, path="/UpDate-V9.20", rate=None, valid=None):
        if (root is None) == (origin is None):
            raise ValueError("a mirror holds a copy (root) or caches an origin (origin)")
        self.build, self.state, self.listen = build, state, listen
        self.root, self.origin, self.path, self.rate, self.valid = root, origin, path, rate, valid
        self._record = None

    @property
    def is_edge(self):
        return self.origin is not None

    def start(self):
        cmd = [SERVE, "start", "--state", self.state, "--listen", self.listen, "--path", self.path]
        cmd += ["--origin", self.origin] if self.is_edge else ["--root", self.root]
        if self.rate:
            cmd += ["--rate", str(self.rate)]
        if self.valid:
            cmd += ["--valid", str(self.valid)]
        self._record = leftovers.record_nginx(self.build, self.state)
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        return self

    def stop(self):
        subprocess.run([SERVE, "stop", "--state", self.state], stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        if self._record:
            leftovers.forget(self.build, self._record)
            self._record = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def url(self, rel=""):
        """The set's folder on this mirror (what quarnset build --mirror takes), or a file below it."""
        return "http://%s%s%s" % (self.listen, self.path, "/" + rel.lstrip("/") if rel else "")

    def _lines(self):
        path = os.path.join(self.state, "access.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace") as f:
            rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
        return [Request(*map(_unescape, r)) for r in rows if len(r) == len(Request._fields)]

    def settle(self, timeout=30.0):
        """Waits until every answer given so far is in the log (see settle_log)."""
        settle_log(os.path.join(self.state, "access.log"), "http://" + self.listen, timeout)

    def requests(self):
        """Every request so far (once settled), oldest first, the log markers left out."""
        self.settle()
        return [r for r in self._lines() if not r.uri.startswith(MARK)]

    def clear_log(self):
        """Empties the log once every answer given so far is logged."""
        self.settle()
        open(os.path.join(self.state, "access.log"), "w").close()

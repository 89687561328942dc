#!/usr/bin/env python3
"""Test web servers for the installer: the maker's two hosts, serving a published set from folders.

    quarn_testserver.py --root DIR [--https-root DIR] [--http-root DIR]
                        [--https-port P] [--http-port P] [--bind 127.0.0.1]
                        [--cert server.chain.crt --key server.key] [--rules RULES.json] [--log FILE]
                        [--transfer-log FILE]

The HTTPS server serves its root below /Download/UpDate-V9.20/, the HTTP server below /UpDate-V9.20/
(the two hosts' layouts): a request for /Download/UpDate-V9.20/KelvaranDemo/Disc_01/Install.ini reads
ROOT/KelvaranDemo/Disc_01/Install.ini. Every other path is 404; folders are never listed. Files are read
from disk at each request, so a test may write the tree after the servers started.
A port of 0 (or none) leaves that server out. When both listen, one line "ready https=P http=P" goes to
stdout. Python 3 standard library only.

Misbehaviour on purpose: RULES is a JSON file, read again at every request, so a test changes the
servers' behaviour by rewriting it (write a new file and rename it over the old one):

    {"rules": [{"match": "*/Fajls_2.ini", "action": "status", "status": 404}, ...]}

A rule applies to a request whose path (before any "?") matches the fnmatch pattern "match"; optional
"scheme": "https" or "http" limits it to one server; optional "times": N to the first N matching
requests (counted while the rule's text stays the same). The first rule that applies wins. Actions:

    status          the status "status" (default 404) with "body" (default "status N") and its length
    body            200 with "body" (text, Latin-1 bytes) or "body_hex", Content-Length right
    chunked         200, Transfer-Encoding chunked, no Content-Length (the file, or "body")
    nolength        200 without Content-Length; the body ends when the connection closes
    length0         200 with Content-Length: 0 and no body
    content_length  200 with "Content-Length: <value>" exactly as given (e.g. "-5", "abc"), the body
                    (file or "body") and close
    short           announces the whole length, sends "bytes" (default half) and closes
    reset           announces the whole length, sends "bytes" (default half), waits "delay" seconds
                    (default 0.1, so that the client is usually reading by then) and resets the
                    connection. A reset may also destroy bytes the client had not read yet.
    redirect        status "status" (default 302) with "Location: <location>" (a path or a URL)
    trickle         the whole file with its length, "chunk" bytes (default 1024) every "delay" seconds
                    (default 0.05): slow enough for a test to act during the transfer
    file            the file as without a rule (useful with the options below)
    stall           announces the whole length, sends "bytes" (default half), then sends nothing more
                    for "seconds" (default 300) or until the client closes, and closes
    drop            resets the connection as soon as the request has arrived, before any answer

Files (no rule, "file", "short", "reset", "stall", "trickle") are served with a strong ETag (a hash of
the bytes served), a Last-Modified (the file's time) and "Accept-Ranges: bytes", and honour one range
"Range: bytes=A-" or "bytes=A-B": 206 with its Content-Range, or 416 past the end; an "If-Range" that
matches neither the ETag nor the Last-Modified gets the whole file with 200. For "short", "reset" and
"stall", "bytes" counts the bytes of this response's body, so a cut range response is cut too.
Options of any rule:

    "ranges": false     ignore Range headers: always 200 with the whole file
    "xor": N            serve the content with every byte XOR N (a changed file of the same size, with
                        its own ETag, and a Last-Modified one day later)
    "headers": [[name, value], ...]   extra response headers (e.g. [["Retry-After", "2"]] with a 503)

LOG: one line per request, written and flushed before the answer: scheme TAB method TAB path TAB action
("file", "404" or the rule's action) TAB user agent.
TRANSFER LOG (--transfer-log FILE): one JSON object per line, written after the answer ended: scheme,
method, path, action, status, "range" and "if_range" (the request's headers, "" when absent), "sent"
(the body bytes that were written to the client), "start" and "end" (when the request arrived and its
answer ended, seconds since 1970).
"""
import argparse
import email.utils
import fnmatch
import hashlib
import json
import os
import select
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HTTPS_PREFIX = "/Download/UpDate-V9.20/"
HTTP_PREFIX = "/UpDate-V9.20/"


class Config:
    def __init__(self, rules_path, log_path, transfer_log_path=None):
        self.rules_path = rules_path
        self.log_path = log_path
        self.lock = threading.Lock()
        self.counts = {}
        self.log = open(log_path, "a", encoding="utf-8") if log_path else None
        self.transfer_log = open(transfer_log_path, "a", encoding="utf-8") if transfer_log_path else None

    def rules(self):
        if not self.rules_path:
            return []
        try:
            with open(self.rules_path, encoding="utf-8") as f:
                return json.load(f).get("rules", [])
        except FileNotFoundError:
            return []
        except (OSError, ValueError) as e:
            sys.stderr.write("testserver: rules file unreadable: %s\n" % e)
            return []

    def pick(self, scheme, path):
        """The first rule that applies to this request, counting 'times'."""
        for rule in self.rules():
            if rule.get("scheme", "any") not in ("any", scheme):
                continue
            if not fnmatch.fnmatchcase(path, rule.get("match", "*")):
                continue
            times = rule.get("times")
            if times is not None:
                key = json.dumps(rule, sort_keys=True)
                with self.lock:
                    n = self.counts.get(key, 0)
                    if n >= times:
                        continue
                    self.counts[key] = n + 1
            return rule
        return None

    def record(self, scheme, method, path, action, agent):
        if self.log:
            agent = (agent or "").replace("\t", " ").replace("\n", " ")
            with self.lock:
                self.log.write("%s\t%s\t%s\t%s\t%s\n" % (scheme, method, path, action, agent))
                self.log.flush()

    def record_transfer(self, entry):
        if self.transfer_log:
            with self.lock:
                self.transfer_log.write(json.dumps(entry, sort_keys=True) + "\n")
                self.transfer_log.flush()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuarnTestServer/1.0"

    def setup(self):
        super().setup()
        # Headers and body go out in separate writes: without this, Nagle's algorithm holds the body
        # back until the client's delayed acknowledgement (about 40 ms per request on a kept-alive
        # connection), which made lists of many small files crawl.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def log_message(self, fmt, *args):  # the request log replaces the default stderr lines
        pass

    # ---- helpers ----
    def local_file(self, path):
        """The file below this server's root for a request path, or None."""
        prefix = self.server.prefix
        if not path.startswith(prefix):
            return None
        rel = urllib.parse.unquote_to_bytes(path[len(prefix):])
        parts = [p for p in rel.split(b"/") if p]
        if not parts or any(p in (b".", b"..") or b"\\" in p or b"\0" in p for p in parts):
            return None
        full = os.path.join(os.fsencode(self.server.root), *parts)
        return full if os.path.isfile(full) else None

    def content(self, rule, path):
        """(bytes, mtime) of what this request serves, or (None, 0)."""
        if rule is not None and "body_hex" in rule:
            body, mtime = bytes.fromhex(rule["body_hex"]), 0
        elif rule is not None and "body" in rule:
            body, mtime = rule["body"].encode("latin-1"), 0
        else:
            f = self.local_file(path)
            if f is None:
                return None, 0
            with open(f, "rb") as fh:
                body = fh.read()
            mtime = int(os.stat(f).st_mtime)
        x = int(rule.get("xor", 0)) if rule is not None else 0
        if x:
            body = bytes(b ^ x for b in body)
            mtime += 86400
        return body, mtime

    def head(self, status, headers):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        for k, v in self.extra_headers:
            self.send_header(k, v)
        self.end_headers()

    def write(self, data):
        """Writes body bytes and counts them for the transfer log."""
        if self.command == "HEAD" or not data:
            return
        self.wfile.write(data)
        self.sent += len(data)

    def send_whole(self, status, body, extra=()):
        self.status = status
        self.head(status, [("Content-Type", "application/octet-stream"),
                           ("Content-Length", str(len(body)))] + list(extra))
        self.write(body)

    def not_found(self):
        self.send_whole(404, b"not found\n")

    def validators(self, body, mtime):
        etag = '"%s"' % hashlib.sha256(body).hexdigest()[:24]
        return etag, email.utils.formatdate(mtime, usegmt=True)

    def requested_range(self, total, etag, last_modified, honour):
        """(start, end) of a satisfiable single range, "unsatisfiable", or None for the whole file."""
        value = self.headers.get("Range")
        if not honour or not value:
            return None
        if_range = self.headers.get("If-Range")
        if if_range is not None and if_range.strip() not in (etag, last_modified):
            return None
        unit, _, spec = value.partition("=")
        if unit.strip().lower() != "bytes" or "," in spec:
            return None
        first, dash, last = spec.strip().partition("-")
        try:
            if not dash or not first:
                return None  # suffix ranges ("-500") are never asked by the installer
            start = int(first)
            end = int(last) if last else total - 1
        except ValueError:
            return None
        if start >= total:
            return "unsatisfiable"
        if end < start:
            return None
        return start, min(end, total - 1)

    def file_head(self, rule, body, mtime):
        """Sends the status and headers of a file answer; returns the body part to send (None: done)."""
        etag, last_modified = self.validators(body, mtime)
        honour = rule is None or rule.get("ranges", True)
        headers = [("Content-Type", "application/octet-stream"), ("ETag", etag),
                   ("Last-Modified", last_modified)]
        if honour:
            headers.append(("Accept-Ranges", "bytes"))
        r = self.requested_range(len(body), etag, last_modified, honour)
        if r == "unsatisfiable":
            self.status = 416
            self.head(416, headers + [("Content-Range", "bytes */%d" % len(body)), ("Content-Length", "0")])
            return None
        if r is None:
            self.status = 200
            self.head(200, headers + [("Content-Length", str(len(body)))])
            return body
        start, end = r
        self.status = 206
        self.head(206, headers + [("Content-Range", "bytes %d-%d/%d" % (start, end, len(body))),
                                  ("Content-Length", str(end - start + 1))])
        return body[start:end + 1]

    def client_gone(self, timeout):
        """Waits up to timeout seconds; True when the client closed its side meanwhile."""
        ready, _, _ = select.select([self.connection], [], [], timeout)
        if not ready:
            return False
        try:
            if isinstance(self.connection, ssl.SSLSocket):
                # TLS allows no peeking; the client sends nothing more on this request anyway.
                return self.connection.recv(1) == b""
            return self.connection.recv(1, socket.MSG_PEEK) == b""
        except ssl.SSLWantReadError:
            return False
        except (OSError, ValueError):
            return True

    # ---- requests ----
    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        scheme = self.server.scheme
        rule = self.server.config.pick(scheme, path)
        action = rule.get("action", "status") if rule else None
        self.extra_headers = [tuple(h) for h in rule.get("headers", [])] if rule else []
        self.sent = 0
        self.status = 0
        start = time.time()
        body, mtime = self.content(rule, path) if action not in ("status", "redirect", "length0", "drop") \
            else (b"", 0)
        shown = action or ("file" if body is not None else "404")
        self.server.config.record(scheme, self.command, path, shown, self.headers.get("User-Agent"))
        try:
            self.answer(rule, action, body, mtime)
        finally:
            self.server.config.record_transfer({
                "scheme": scheme, "method": self.command, "path": path, "action": shown,
                "status": self.status, "range": self.headers.get("Range", ""),
                "if_range": self.headers.get("If-Range", ""), "sent": self.sent, "start": start,
                "end": time.time()})

    def reset_connection(self):
        # SO_LINGER with a zero time-out turns the close into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def answer(self, rule, action, body, mtime):
        if rule is None or action == "file":
            if body is None:
                return self.not_found()
            part = self.file_head(rule, body, mtime)
            return self.write(part)
        if action == "status":
            status = int(rule.get("status", 404))
            text = rule.get("body", "status %d\n" % status)
            return self.send_whole(status, text.encode("latin-1"))
        if action == "redirect":
            return self.send_whole(int(rule.get("status", 302)), b"",
                                   [("Location", rule["location"])])
        if action == "length0":
            return self.send_whole(200, b"")
        if action == "drop":
            self.close_connection = True
            self.reset_connection()
            return
        if body is None:
            return self.not_found()
        if action == "body":
            return self.send_whole(200, body)
        if action == "chunked":
            self.status = 200
            self.head(200, [("Content-Type", "application/octet-stream"),
                            ("Transfer-Encoding", "chunked")])
            for i in range(0, len(body), 4096):
                piece = body[i:i + 4096]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.sent += len(piece)
            self.wfile.write(b"0\r\n\r\n")
            return
        if action == "nolength":
            self.close_connection = True
            self.status = 200
            self.head(200, [("Content-Type", "application/octet-stream"), ("Connection", "close")])
            return self.write(body)
        if action == "content_length":
            self.close_connection = True
            self.status = 200
            self.head(200, [("Content-Type", "application/octet-stream"),
                            ("Content-Length", str(rule["value"])), ("Connection", "close")])
            return self.write(body)
        if action in ("short", "reset", "stall"):
            self.close_connection = True
            part = self.file_head(rule, body, mtime)
            if part is None:
                return
            n = int(rule.get("bytes", len(part) // 2))
            self.write(part[:n])
            self.wfile.flush()
            if action == "reset":
                time.sleep(float(rule.get("delay", 0.1)))
                self.reset_connection()
            elif action == "stall":
                end = time.monotonic() + float(rule.get("seconds", 300))
                while time.monotonic() < end and not self.client_gone(min(0.2, end - time.monotonic())):
                    pass
            return
        if action == "trickle":
            step = max(1, int(rule.get("chunk", 1024)))
            delay = float(rule.get("delay", 0.05))
            part = self.file_head(rule, body, mtime)
            if part is None:
                return
            for i in range(0, len(part), step):
                self.write(part[i:i + step])
                self.wfile.flush()
                time.sleep(delay)
            return
        sys.stderr.write("testserver: unknown action %r\n" % action)
        self.send_whole(500, b"unknown rule action\n")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, bind, port, scheme, root, config, tls=None):
        super().__init__((bind, port), Handler)
        self.scheme = scheme
        self.prefix = HTTPS_PREFIX if scheme == "https" else HTTP_PREFIX
        self.root = root
        self.config = config
        if tls is not None:
            # The handshake runs in the request's thread, not in accept(): a stuck client cannot stall
            # the server.
            self.socket = tls.wrap_socket(self.socket, server_side=True, do_handshake_on_connect=False)

    def finish_request(self, request, client_address):
        if isinstance(request, ssl.SSLSocket):
            request.settimeout(30)
            request.do_handshake()
            request.settimeout(None)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        # Clients that give up mid-transfer (cancel, resets) are expected here; keep stderr quiet.
        exc = sys.exc_info()[1]
        if isinstance(exc, (ConnectionError, ssl.SSLError, TimeoutError, BrokenPipeError)):
            return
        super().handle_error(request, client_address)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--root", required=True)
    p.add_argument("--https-root")
    p.add_argument("--http-root")
    p.add_argument("--https-port", type=int, default=0)
    p.add_argument("--http-port", type=int, default=0)
    p.add_argument("--bind", default="127.0.0.1")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--rules")
    p.add_argument("--log")
    p.add_argument("--transfer-log")
    a = p.parse_args(argv)
    config = Config(a.rules, a.log, a.transfer_log)
    servers = []
    if a.https_port:
        if not (a.cert and a.key):
            p.error("--https-port needs --cert and --key")
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(a.cert, a.key)
        servers.append(Server(a.bind, a.https_port, "https", a.https_root or a.root, config, ctx))
    if a.http_port:
        servers.append(Server(a.bind, a.http_port, "http", a.http_root or a.root, config))
    if not servers:
        p.error("no port given")
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    print("ready https=%d http=%d" % (a.https_port, a.http_port), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()

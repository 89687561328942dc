#!/usr/bin/env python3
"""A loopback HTTP proxy for the tests: the way to the servers when the direct route is closed.

    quarn_testproxy.py --port P [--bind 127.0.0.1] [--map HOST:PORT=HOST:PORT ...]
                       [--auth USER:PASSWORD] [--log FILE]

It understands what a client configured with a proxy sends: "CONNECT host:port" (for HTTPS; the proxy
then relays the bytes both ways, TLS passes through untouched) and requests in absolute form
("GET http://host:port/path HTTP/1.1", for HTTP), which it sends on to the host in origin form with
"Connection: close" and relays the answer, also with "Connection: close".

--map sends connections for one address to another one: "localhost:26443=127.0.0.1:26444" makes the
proxy reach a host that the client cannot reach directly (nothing listens at the address the client
knows; only the proxy knows where the server is). Addresses without a mapping are connected as given.

--auth makes the proxy ask for Basic credentials: a request without "Proxy-Authorization: Basic ..."
matching USER:PASSWORD gets 407 with "Proxy-Authenticate: Basic realm=...".

LOG: one line per request, written before it is carried out: method TAB target TAB verdict
("tunnel", "forward", "407", "bad", "unreachable"). When listening, one line "ready port=P" goes to
stdout (P is the port really bound, so --port 0 picks a free one). Python 3 standard library only.
"""
import argparse
import base64
import socket
import sys
import threading
import urllib.parse

REALM = "QuarnTestProxy"


class Proxy:
    def __init__(self, bind, port, mapping, auth, log_path):
        self.mapping = mapping
        self.auth = ("Basic " + base64.b64encode(auth.encode("latin-1")).decode("ascii")) if auth else None
        self.lock = threading.Lock()
        self.log = open(log_path, "a", encoding="utf-8") if log_path else None
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((bind, port))
        self.sock.listen(64)
        self.port = self.sock.getsockname()[1]

    def record(self, method, target, verdict):
        if self.log:
            with self.lock:
                self.log.write("%s\t%s\t%s\n" % (method, target, verdict))
                self.log.flush()

    def serve_forever(self):
        while True:
            try:
                client, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.handle, args=(client,), daemon=True).start()

    def close(self):
        self.sock.close()

    def upstream(self, host, port):
        key = "%s:%d" % (host, port)
        target = self.mapping.get(key.lower(), key)
        h, _, p = target.rpartition(":")
        return socket.create_connection((h.strip("[]"), int(p)), timeout=30)

    # ---- one client connection: requests until one of them ends it ----
    def handle(self, client):
        try:
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            reader = client.makefile("rb")
            while self.one_request(client, reader):
                pass
        except (OSError, ValueError):
            pass
        finally:
            client.close()

    def one_request(self, client, reader):
        """Handles one request; True when the client connection may carry another one."""
        line = reader.readline(65537)
        if not line:
            return False
        headers = []
        while True:
            h = reader.readline(65537)
            if not h or h in (b"\r\n", b"\n"):
                break
            name, _, value = h.decode("latin-1").partition(":")
            headers.append((name.strip(), value.strip()))
        try:
            method, target, version = line.decode("latin-1").split()
        except ValueError:
            self.record("?", line.decode("latin-1").strip(), "bad")
            client.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        length = 0
        for name, value in headers:
            if name.lower() == "content-length":
                length = int(value)
        body = reader.read(length) if length else b""
        if self.auth and dict((n.lower(), v) for n, v in headers).get("proxy-authorization") != self.auth:
            self.record(method, target, "407")
            client.sendall(("HTTP/1.1 407 Proxy Authentication Required\r\n"
                            "Proxy-Authenticate: Basic realm=\"%s\"\r\nContent-Length: 0\r\n\r\n"
                            % REALM).encode("latin-1"))
            return True
        if method == "CONNECT":
            return self.tunnel(client, reader, target)
        return self.forward(client, method, target, version, headers, body)

    def tunnel(self, client, reader, target):
        host, _, port = target.rpartition(":")
        try:
            server = self.upstream(host, int(port))
        except (OSError, ValueError):
            self.record("CONNECT", target, "unreachable")
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        self.record("CONNECT", target, "tunnel")
        client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        # Bytes the client sent right after its request may already sit in the reader's buffer.
        pending = reader.peek(0) if hasattr(reader, "peek") else b""
        if pending:
            server.sendall(reader.read(len(pending)))
        self.relay(client, server)
        return False

    def forward(self, client, method, target, version, headers, body):
        url = urllib.parse.urlsplit(target)
        if url.scheme != "http" or not url.hostname:
            self.record(method, target, "bad")
            client.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        try:
            server = self.upstream(url.hostname, url.port or 80)
        except OSError:
            self.record(method, target, "unreachable")
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        self.record(method, target, "forward")
        path = url.path or "/"
        if url.query:
            path += "?" + url.query
        out = ["%s %s %s" % (method, path, version)]
        for name, value in headers:
            if name.lower() in ("proxy-connection", "proxy-authorization", "connection", "keep-alive"):
                continue
            out.append("%s: %s" % (name, value))
        out.append("Connection: close")
        server.sendall(("\r\n".join(out) + "\r\n\r\n").encode("latin-1") + body)
        # The answer's head gets "Connection: close": the client must not send another request on a
        # connection whose server side is gone.
        data = b""
        while b"\r\n\r\n" not in data:
            piece = server.recv(65536)
            if not piece:
                break
            data += piece
        head, sep, rest = data.partition(b"\r\n\r\n")
        lines = [l for l in head.split(b"\r\n")
                 if not l.lower().startswith((b"connection:", b"proxy-connection:", b"keep-alive:"))]
        client.sendall(b"\r\n".join(lines + [b"Connection: close", b"Proxy-Connection: close"]) + sep + rest)
        try:
            while True:
                piece = server.recv(65536)
                if not piece:
                    break
                client.sendall(piece)
        finally:
            server.close()
        return False

    @staticmethod
    def relay(a, b):
        """Copies bytes both ways until either side closes; then closes both."""
        def pump(src, dst):
            try:
                while True:
                    data = src.recv(65536)
                    if not data:
                        break
                    dst.sendall(data)
            except OSError:
                pass
            finally:
                for s in (src, dst):
                    try:
                        s.shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass
        t = threading.Thread(target=pump, args=(b, a), daemon=True)
        t.start()
        pump(a, b)
        t.join(timeout=5)
        b.close()


def parse_map(items):
    mapping = {}
    for item in items or []:
        src, eq, dst = item.partition("=")
        if not eq or ":" not in src or ":" not in dst:
            raise SystemExit("--map wants HOST:PORT=HOST:PORT, not %r" % item)
        mapping[src.lower()] = dst
    return mapping


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--bind", default="127.0.0.1")
    p.add_argument("--map", action="append")
    p.add_argument("--auth")
    p.add_argument("--log")
    a = p.parse_args(argv)
    proxy = Proxy(a.bind, a.port, parse_map(a.map), a.auth, a.log)
    print("ready port=%d" % proxy.port, flush=True)
    try:
        proxy.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()

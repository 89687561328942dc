#!/usr/bin/env python3
"""tools/netdelay/netdelay.py between a client and an echo server on loopback: every byte arrives, in
order, the close of either side goes through, and nothing arrives earlier than the round trips it must
cost (a lower bound only: a busy machine may make it later, never earlier).

    python3 tests/scripts/netdelay_test.py
"""
import os
import socket
import subprocess
import sys
import threading
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RELAY = os.path.join(SOURCE, "tools", "netdelay", "netdelay.py")
RTT_MS = 200


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class EchoServer(threading.Thread):
    """Echoes each connection's bytes back and closes its side when the client closed its own."""

    def __init__(self):
        super().__init__(daemon=True)
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen()
        self.port = self.sock.getsockname()[1]

    def run(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.echo, args=(conn,), daemon=True).start()

    @staticmethod
    def echo(conn):
        with conn:
            while True:
                data = conn.recv(65536)
                if not data:
                    return
                conn.sendall(data)


def receive_all(sock, n):
    got = bytearray()
    while len(got) < n:
        data = sock.recv(65536)
        if not data:
            break
        got += data
    return bytes(got)


class Relay(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.echo = EchoServer()
        cls.echo.start()
        cls.port = free_port()
        cls.proc = subprocess.Popen([sys.executable, RELAY, "--rtt", str(RTT_MS), "%d:%d" % (cls.port, cls.echo.port)],
                                    stdout=subprocess.PIPE)
        assert cls.proc.stdout.readline().strip() == b"ready"

    @classmethod
    def tearDownClass(cls):
        cls.proc.kill()
        cls.proc.wait()
        cls.proc.stdout.close()
        cls.echo.sock.close()

    def connect(self):
        s = socket.create_connection(("127.0.0.1", self.port), timeout=60)
        self.addCleanup(s.close)
        return s

    def test_the_first_answer_costs_the_handshake_and_a_round_trip(self):
        started = time.monotonic()
        s = self.connect()
        s.sendall(b"x")
        self.assertEqual(s.recv(1), b"x")
        first = time.monotonic() - started
        self.assertGreaterEqual(first, 2 * RTT_MS / 1000 - 0.01)
        started = time.monotonic()
        s.sendall(b"y")
        self.assertEqual(s.recv(1), b"y")
        self.assertGreaterEqual(time.monotonic() - started, RTT_MS / 1000 - 0.01)

    def test_many_megabytes_arrive_whole_and_in_order_and_the_close_goes_through(self):
        payload = os.urandom(20 * 1024 * 1024)  # more than the relay holds in flight either way
        s = self.connect()
        sender = threading.Thread(target=lambda: (s.sendall(payload), s.shutdown(socket.SHUT_WR)))
        sender.start()
        got = receive_all(s, len(payload) + 1)
        sender.join()
        self.assertEqual(len(got), len(payload))
        self.assertTrue(got == payload, "the bytes changed on the way")

    def test_connections_are_independent(self):
        socks = [self.connect() for _ in range(5)]
        for i, s in enumerate(socks):
            s.sendall(b"%d" % i)
        self.assertEqual([s.recv(1) for s in socks], [b"0", b"1", b"2", b"3", b"4"])

    def test_a_port_without_a_server_closes_the_client(self):
        listen = free_port()
        proc = subprocess.Popen([sys.executable, RELAY, "--rtt", "10", "%d:%d" % (listen, free_port())],
                                stdout=subprocess.PIPE)
        self.addCleanup(lambda: (proc.kill(), proc.wait(), proc.stdout.close()))
        self.assertEqual(proc.stdout.readline().strip(), b"ready")
        s = socket.create_connection(("127.0.0.1", listen), timeout=60)
        self.addCleanup(s.close)
        try:
            self.assertEqual(s.recv(1), b"")
        except ConnectionResetError:
            pass  # closed as well

    def test_bad_arguments_are_refused(self):
        for args in (["--rtt", "-1", "1:2"], ["--rtt", "20", "x:2"], ["--rtt", "20"]):
            with self.subTest(args=args):
                r = subprocess.run([sys.executable, RELAY] + args, capture_output=True)
                self.assertEqual(r.returncode, 2, r.stderr)


if __name__ == "__main__":
    unittest.main()

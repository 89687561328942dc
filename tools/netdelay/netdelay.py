#!/usr/bin/env python3
"""A TCP relay on loopback that gives a connection a real link's latency, for the benchmarks: everything
sent either way arrives half a round trip later, in order, and a new connection's first byte goes on one
round trip after the connection was accepted (the handshake a real link costs before the client may send).

    netdelay.py --rtt MS LISTEN_PORT:TARGET_PORT [LISTEN_PORT:TARGET_PORT ...]

Listens on 127.0.0.1 only and connects to 127.0.0.1:TARGET_PORT for each client. Prints "ready" once every
port listens; runs until killed. Bounded: each direction of a connection holds at most MAX_IN_FLIGHT bytes
(the reader waits while that much is on its way), so a fast sender cannot fill the memory; at a round trip
of 50 ms that still carries more than 1 Gbit/s. Bandwidth is not limited here (nginx's limit_rate does it).
"""
import argparse
import asyncio
import sys

CHUNK = 64 * 1024
MAX_IN_FLIGHT = 8 * 1024 * 1024


class Direction:
    """One direction of a connection: what is read is written `delay` seconds later, never before `start`
    plus `delay` (the first bytes wait for the handshake), in order."""

    def __init__(self, reader, writer, delay, start):
        self.reader, self.writer, self.delay, self.start = reader, writer, delay, start
        self.queue = asyncio.Queue()
        self.in_flight = 0
        self.room = asyncio.Event()
        self.room.set()

    async def receive(self):
        loop = asyncio.get_running_loop()
        while True:
            await self.room.wait()
            try:
                data = await self.reader.read(CHUNK)
            except ConnectionError:
                data = b""
            due = max(loop.time(), self.start) + self.delay
            self.in_flight += len(data)
            if self.in_flight >= MAX_IN_FLIGHT:
                self.room.clear()
            await self.queue.put((due, data))
            if not data:
                return

    async def send(self):
        loop = asyncio.get_running_loop()
        while True:
            due, data = await self.queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                if self.writer.can_write_eof():
                    self.writer.write_eof()
                return
            self.writer.write(data)
            await self.writer.drain()
            self.in_flight -= len(data)
            if self.in_flight < MAX_IN_FLIGHT:
                self.room.set()


async def relay(client_reader, client_writer, target_port, rtt):
    loop = asyncio.get_running_loop()
    start = loop.time() + rtt
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError:
        client_writer.close()
        return
    half = rtt / 2
    ways = [Direction(client_reader, server_writer, half, start), Direction(server_reader, client_writer, half, start)]
    tasks = [asyncio.ensure_future(t) for w in ways for t in (w.receive(), w.send())]
    try:
        await asyncio.gather(*tasks)
    except (ConnectionError, OSError):
        pass
    finally:
        for t in tasks:
            t.cancel()
        for w in (client_writer, server_writer):
            w.close()


async def serve(pairs, rtt):
    servers = []
    for listen, target in pairs:
        servers.append(await asyncio.start_server(
            lambda r, w, target=target: relay(r, w, target, rtt), "127.0.0.1", listen, reuse_address=True))
    print("ready", flush=True)
    await asyncio.gather(*(s.serve_forever() for s in servers))


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--rtt", type=float, required=True, help="round trip in milliseconds")
    ap.add_argument("ports", nargs="+", help="LISTEN_PORT:TARGET_PORT")
    a = ap.parse_args(argv)
    if not 0 <= a.rtt <= 10000:
        ap.error("--rtt takes 0 to 10000 ms")
    pairs = []
    for p in a.ports:
        listen, _, target = p.partition(":")
        if not (listen.isdigit() and target.isdigit()):
            ap.error("ports are LISTEN_PORT:TARGET_PORT, not %r" % p)
        pairs.append((int(listen), int(target)))
    try:
        asyncio.run(serve(pairs, a.rtt / 1000.0))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main(sys.argv[1:])

#!/usr/bin/env python3
"""A relay on loopback that holds every byte for a fixed time in each direction, so that a
local server looks like one across the Internet. Bandwidth is not limited; only latency.

    latency_relay.py TARGET_PORT DELAY_MS

Listens on a free 127.0.0.1 port, prints it on one line, and relays every connection to
127.0.0.1:TARGET_PORT until it is killed. When a connection ends it prints, on a line of its
own, the round trips the client's POP3 session cost: the greeting, and every command that
reached the server when it had answered all before it (so that it waited on the client).
"""
import asyncio
import collections
import sys


class RoundTrips:
    """Follows a POP3 session as the server sees it, to tell when the server sat idle."""

    def __init__(self):
        self.count = 1  # the connection and its greeting
        self.unanswered = collections.deque(["line"])  # the greeting
        self.client = b""
        self.server = b""
        self.in_body = False
        self.in_auth = False

    def command(self, data):
        self.client += data
        while b"\n" in self.client:
            line, self.client = self.client.split(b"\n", 1)
            if not self.unanswered:
                self.count += 1
            words = line.split()
            verb = words[0].upper() if words else b""
            if self.in_auth or verb == b"AUTH":
                kind = "auth"
            elif verb in (b"CAPA", b"TOP", b"RETR") or (verb in (b"UIDL", b"LIST") and
                                                          len(words) == 1):
                kind = "lines"
            else:
                kind = "line"
            self.unanswered.append(kind)

    def reply(self, data):
        self.server += data
        while b"\n" in self.server and self.unanswered:
            line, self.server = self.server.split(b"\n", 1)
            line = line.rstrip(b"\r")
            kind = self.unanswered[0]
            if self.in_body:
                if line == b".":
                    self.in_body = False
                    self.unanswered.popleft()
                continue
            if kind == "lines" and line.startswith(b"+OK"):
                self.in_body = True
                continue
            # A challenge: the client's next line answers it, within the same AUTH.
            self.in_auth = kind == "auth" and (line == b"+" or line.startswith(b"+ "))
            self.unanswered.popleft()


async def carry(reader, writer, delay, on_read=None, on_delivery=None):
    """Delivers what reader gives to writer, each piece delay seconds after it arrived and
    in order; the end of the stream travels the same way. The server's side of the session
    is seen without delay: its replies as they are read, the commands as they reach it."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            if on_delivery:
                on_delivery(data)
            writer.write(data)
            await writer.drain()

    delivery = asyncio.create_task(deliver())
    try:
        while True:
            data = await reader.read(65536)
            if on_read and data:
                on_read(data)
            queue.put_nowait((loop.time() + delay, data))
            if not data:
                break
        await delivery
    except (ConnectionError, asyncio.CancelledError):
        delivery.cancel()


async def serve(target_port, delay):
    async def connection(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
        except OSError:
            client_writer.close()
            return
        trips = RoundTrips()
        await asyncio.gather(carry(client_reader, server_writer, delay,
                                   on_delivery=trips.command),
                             carry(server_reader, client_writer, delay, on_read=trips.reply))
        for writer in (client_writer, server_writer):
            writer.close()
        print(trips.count, flush=True)

    server = await asyncio.start_server(connection, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: latency_relay.py TARGET_PORT DELAY_MS")
    asyncio.run(serve(int(sys.argv[1]), float(sys.argv[2]) / 1000.0))


if __name__ == "__main__":
    main()

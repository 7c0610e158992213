#!/usr/bin/env python3
"""A relay on loopback that holds every byte for a fixed time in each direction, so that a
local server looks like one across the Internet. Bandwidth is not limited; only latency.

    latency_relay.py TARGET_PORT DELAY_MS

Listens on a free 127.0.0.1 port, prints it on one line, and relays every connection to
127.0.0.1:TARGET_PORT until it is killed.
"""
import asyncio
import sys


async def carry(reader, writer, delay):
    """Delivers what reader gives to writer, each piece delay seconds after it arrived and
    in order; the end of the stream travels the same way."""
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
            writer.write(data)
            await writer.drain()

    delivery = asyncio.create_task(deliver())
    try:
        while True:
            data = await reader.read(65536)
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
        await asyncio.gather(carry(client_reader, server_writer, delay),
                             carry(server_reader, client_writer, delay))
        for writer in (client_writer, server_writer):
            writer.close()

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

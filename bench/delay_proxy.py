#!/usr/bin/env python3
"""A TCP relay on loopback that delays every piece of data by a fixed time in each direction,
as a link with that latency would (this kernel has no netem). It counts what passes.

    delay_proxy.py <target port> <delay ms> <stats file>

Listens on a free port of 127.0.0.1 and prints it on the first line. Each piece read from one
side is written to the other once `delay ms` have passed since it was read; pieces keep their
order and the relay adds no limit on bandwidth. On SIGTERM or SIGINT it writes key=value lines
to the stats file: connections (accepted from clients), peak_connections (the most open at one
moment), requests (request heads seen from clients, counted by their blank line) and served_bytes
(bytes from the server, headers included).
"""

import asyncio
import signal
import sys

stats = {"connections": 0, "peak_connections": 0, "requests": 0, "served_bytes": 0}
open_connections = 0


async def pipe(reader, writer, delay, count_requests):
    queue = asyncio.Queue()
    loop = asyncio.get_running_loop()

    async def send():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()
        writer.close()

    sender = asyncio.create_task(send())
    tail = b""
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            if count_requests:
                # A request head ends with an empty line; GETs carry no body.
                joined = tail + data
                stats["requests"] += joined.count(b"\r\n\r\n")
                tail = joined[-3:]
            else:
                stats["served_bytes"] += len(data)
            queue.put_nowait((loop.time() + delay, data))
    except (ConnectionError, OSError):
        pass
    queue.put_nowait((0, None))
    try:
        await sender
    except (ConnectionError, OSError):
        pass


async def relay(client_reader, client_writer, target_port, delay):
    global open_connections
    stats["connections"] += 1
    open_connections += 1
    stats["peak_connections"] = max(stats["peak_connections"], open_connections)
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError:
        client_writer.close()
        open_connections -= 1
        return
    await asyncio.gather(pipe(client_reader, server_writer, delay, True),
                         pipe(server_reader, client_writer, delay, False))
    open_connections -= 1


async def main():
    target_port, delay, stats_file = int(sys.argv[1]), int(sys.argv[2]) / 1000.0, sys.argv[3]
    server = await asyncio.start_server(lambda r, w: relay(r, w, target_port, delay), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, stop.set)
    await stop.wait()
    server.close()
    with open(stats_file, "w", encoding="utf-8") as f:
        f.write("".join(f"{key}={value}\n" for key, value in stats.items()))


if __name__ == "__main__":
    asyncio.run(main())

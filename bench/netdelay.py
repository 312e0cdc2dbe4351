#!/usr/bin/env python3
"""A network link with latency, on this machine alone: a TCP proxy that
listens on 127.0.0.1 and forwards every connection to a port on 127.0.0.1,
holding each chunk of bytes back for a fixed delay in each direction (10 ms
each way: a 20 ms round trip). Chunks keep their order; the link is not
otherwise slowed.

It is bounded: it stops itself after --timeout seconds, when its standard
input closes (the process that started it has ended), or on SIGTERM.

As a command:
    netdelay.py --target PORT [--delay-ms 10] [--timeout 3600]
prints the port it listens on as one line, then serves.
From Python: `with DelayLink(target_port) as link: ... link.port ...`.
"""

import argparse
import asyncio
import os
import signal
import subprocess
import sys

HOST = "127.0.0.1"


async def pipe(reader, writer, delay):
    """Copies reader to writer, each chunk sent `delay` seconds after it arrived."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue(maxsize=1024)

    async def receive():
        try:
            while True:
                chunk = await reader.read(65536)
                await queue.put((loop.time() + delay, chunk))
                if not chunk:
                    return
        except (ConnectionError, OSError):
            await queue.put((loop.time() + delay, b""))

    async def send():
        try:
            while True:
                due, chunk = await queue.get()
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if not chunk:
                    break
                writer.write(chunk)
                await writer.drain()
        except (ConnectionError, OSError):
            pass
        finally:
            writer.close()

    await asyncio.gather(receive(), send())


async def serve(target, delay, timeout, ready):
    async def connection(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(HOST, target)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pipe(client_reader, server_writer, delay),
                             pipe(server_reader, client_writer, delay))

    loop = asyncio.get_running_loop()
    # Connections still open when the link stops are cut: nothing to report.
    loop.set_exception_handler(
        lambda _loop, context: None if isinstance(context.get("exception"),
                                                  (asyncio.CancelledError, ConnectionError))
        else _loop.default_exception_handler(context))
    server = await asyncio.start_server(connection, HOST, 0)
    ready(server.sockets[0].getsockname()[1])
    stop = loop.create_future()
    loop.add_signal_handler(signal.SIGTERM, lambda: stop.done() or stop.set_result(None))
    # The starter's end closes our standard input.
    if not os.isatty(0):
        def stdin_closed():
            if not os.read(0, 4096):
                loop.remove_reader(0)
                if not stop.done():
                    stop.set_result(None)
        loop.add_reader(0, stdin_closed)
    try:
        await asyncio.wait_for(stop, timeout)
    except asyncio.TimeoutError:
        pass
    server.close()


class DelayLink:
    """The proxy as a child process; stops with the `with` block (or its timeout)."""

    def __init__(self, target, delay_ms=10, timeout=3600):
        self.target, self.delay_ms, self.timeout = target, delay_ms, timeout
        self.port = None
        self._process = None

    def __enter__(self):
        self._process = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "--target", str(self.target),
             "--delay-ms", str(self.delay_ms), "--timeout", str(self.timeout)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self._process.stdout.readline()
        if not line.strip():
            self.__exit__()
            raise RuntimeError("the delaying proxy did not start")
        self.port = int(line)
        return self

    def __exit__(self, *_):
        if self._process and self._process.poll() is None:
            self._process.stdin.close()
            try:
                self._process.wait(10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, default=10)
    parser.add_argument("--timeout", type=float, default=3600)
    args = parser.parse_args()

    def ready(port):
        print(port, flush=True)

    asyncio.run(serve(args.target, args.delay_ms / 1000, args.timeout, ready))


if __name__ == "__main__":
    main()

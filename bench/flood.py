#!/usr/bin/env python3
"""Flood benchmark: how fast an update spreads over an overlay of pelmard nodes.

Starts N nodes (default 64) on 127.0.5.1 ... 127.0.5.N, each joining a few
earlier ones, and lets the overlay settle. A probe joins every node as one
more servent and an injector sends updates to the first node; the time from
sending an update to its relay reaching each node's probe is that node's
relay time. Prints, per update, how many nodes relayed it and the slowest
and median relay, once with the nodes' logging on and once with it off.
Every node it starts is stopped at the end; every wait is bounded.

Usage: bench/flood.py [BUILD_DIR] [NODES] [UPDATES]
"""
import os
import random
import select
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

PORT = 16640
BLOCK = "127.0.5."
TYPE_UPDATE = 0x50
HEADER = 23


def address(i):
    return BLOCK + str(i)


def handshake(sock, peer):
    sock.sendall(b"PELMAR CONNECT/0.1\r\nReflect: " + peer.encode() + b"\r\n\r\n")
    data = b""
    deadline = time.monotonic() + 5
    while b"\r\n\r\n" not in data:
        if time.monotonic() > deadline:
            raise RuntimeError("no handshake answer from " + peer)
        sock.settimeout(max(0.01, deadline - time.monotonic()))
        chunk = sock.recv(4096)
        if not chunk:
            raise RuntimeError("closed by " + peer)
        data += chunk
    return data[data.index(b"\r\n\r\n") + 4:]


def update_message(message_id, thread_id):
    payload = thread_id + struct.pack(">IH", int(time.time()), 1)
    payload += b"flood\0bench\0bench\0" + os.urandom(16)
    return message_id + struct.pack(">BBBI", TYPE_UPDATE, 5, 0, len(payload)) + payload


class Probe:
    """One servent connection to a node that only listens."""

    def __init__(self, node):
        self.node = node
        self.sock = socket.create_connection((address(node), PORT), timeout=5)
        self.buffer = handshake(self.sock, address(node))
        self.sock.setblocking(False)

    def messages(self):
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                self.buffer += chunk
        except BlockingIOError:
            pass
        while len(self.buffer) >= HEADER:
            length = struct.unpack(">I", self.buffer[19:23])[0]
            if len(self.buffer) < HEADER + length:
                break
            message = self.buffer[:HEADER + length]
            self.buffer = self.buffer[HEADER + length:]
            yield message


def start_nodes(pelmard, work, count, log):
    processes = []
    for i in range(1, count + 1):
        home = os.path.join(work, "n%d" % i)
        os.makedirs(home, exist_ok=True)
        with open(os.path.join(home, "pelmar.ini"), "w") as ini:
            ini.write("[Network]\nPort=%d\n[Servent]\nCacheMode=Disable\n" % PORT)
        args = [pelmard, "--ini", "pelmar.ini", "--address", address(i)]
        if log:
            args.append("--log")
        for j in sorted({i - 1, random.randint(1, max(1, i - 1))}):
            if 1 <= j < i:
                args += ["--connect", "%s:%d" % (address(j), PORT)]
        processes.append(subprocess.Popen(args, cwd=home, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
        time.sleep(0.02)
    return processes


def stop_nodes(processes):
    for process in processes:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
    for process in processes:
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def run(pelmard, count, updates, log):
    work = tempfile.mkdtemp(prefix="pelmar-flood-")
    processes = []
    probes = []
    try:
        processes = start_nodes(pelmard, work, count, log)
        time.sleep(3)  # pings and pongs fill the nodes' connections
        for i in range(1, count + 1):
            for attempt in range(50):
                try:
                    probes.append(Probe(i))
                    break
                except OSError:
                    time.sleep(0.1)
        injector = socket.create_connection((address(1), PORT), timeout=5)
        handshake(injector, address(1))
        by_socket = {probe.sock: probe for probe in probes}
        results = []
        for _ in range(updates):
            message_id = os.urandom(16)
            arrived = {}
            sent = time.monotonic()
            injector.sendall(update_message(message_id, os.urandom(16)))
            deadline = sent + 3
            while len(arrived) < count and time.monotonic() < deadline:
                ready, _, _ = select.select(list(by_socket), [], [], 0.05)
                now = time.monotonic()
                for sock in ready:
                    probe = by_socket[sock]
                    for message in probe.messages():
                        if message[:16] == message_id and probe.node not in arrived:
                            arrived[probe.node] = (now - sent) * 1000
            # Take what the injector was sent meanwhile, so nothing backs up.
            injector.setblocking(False)
            try:
                while injector.recv(65536):
                    pass
            except (BlockingIOError, OSError):
                pass
            injector.setblocking(True)
            times = sorted(arrived.values())
            results.append((len(times), times[-1] if times else 0,
                            statistics.median(times) if times else 0))
            time.sleep(0.3)
        return results
    finally:
        for probe in probes:
            probe.sock.close()
        stop_nodes(processes)
        shutil.rmtree(work, ignore_errors=True)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 64
    updates = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    pelmard = os.path.abspath(os.path.join(build, "daemon", "pelmard"))
    random.seed(1)
    for log in (True, False):
        results = run(pelmard, count, updates, log)
        label = "with --log" if log else "without --log"
        for reached, slowest, median in results:
            print("%s: reached %d/%d, slowest %.1f ms, median %.1f ms"
                  % (label, reached, count, slowest, median))
        slowest = statistics.median(r[1] for r in results)
        print("%s: median of the slowest relays %.1f ms" % (label, slowest))


if __name__ == "__main__":
    main()

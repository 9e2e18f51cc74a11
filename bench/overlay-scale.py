#!/usr/bin/env python3
"""Overlay scale benchmark: what an overlay of N pelmard nodes costs each node.

Starts N nodes (with --log) on 127.0.5.1 ... 127.0.5.N as bench/flood.py does,
lets the overlay settle, counts the node-to-node TCP connections (ss), joins a
probe to every node (from 127.0.6.1) and injects updates at the first node.
Reports, from the sockets and the nodes' own event logs:
  connections   node-to-node connections; peers per node (median, max)
  pings         "relay ping message" lines to other nodes, whole run
  reach         nodes whose log received each update (and who missed it)
  copies        copies of an update each node was sent by its neighbours
                (relay lines naming it), mean; duplicates = copies beyond the first
  relay         probe-measured time from injection to each node's relay (slowest)
Run it inside a network namespace of its own on a shared machine:
  unshare -n bash -c 'ip link set lo up; bench/overlay-scale.py build 64 5'
Every node it starts is stopped at the end; every wait is bounded.

Usage: bench/overlay-scale.py [BUILD_DIR|PELMARD] [NODES] [UPDATES] [SETTLE_S]
KEEP_LOGS=1 keeps the nodes' directories (their logs) and names where.
"""
import collections
import os
import re
import select
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import flood  # noqa: E402

PROBE_FROM = "127.0.6.1"
RELAY = re.compile(r"relay (ping|update) message (\S+) (\d+) MSGID=(\w+)")
RECEIVE_UPDATE = re.compile(r"receive update message \S+ \d+ MSGID=(\w+)")


def node_connections(count):
    """Per node, the node-to-node connections ss sees (each counted at both ends),
    their number, and each node's neighbours."""
    out = subprocess.run(["ss", "-Htn", "state", "established"], capture_output=True,
                         text=True, timeout=30).stdout
    nodes = {flood.address(i) for i in range(1, count + 1)}
    peers = collections.Counter()
    neighbours = collections.defaultdict(set)
    pairs = 0
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 4:
            continue
        local = fields[-2].rsplit(":", 1)[0]
        remote = fields[-1].rsplit(":", 1)[0]
        if local in nodes and remote in nodes:
            peers[local] += 1
            neighbours[int(local.rsplit(".", 1)[1])].add(int(remote.rsplit(".", 1)[1]))
            pairs += 1
    return [peers[flood.address(i)] for i in range(1, count + 1)], pairs // 2, neighbours


class BoundProbe(flood.Probe):
    """A probe that connects from PROBE_FROM, so its connections are told apart."""

    def __init__(self, node):
        self.node = node
        self.sock = socket.create_connection((flood.address(node), flood.PORT), timeout=5,
                                             source_address=(PROBE_FROM, 0))
        self.buffer = flood.handshake(self.sock, flood.address(node))
        self.sock.setblocking(False)


def read_logs(work, count):
    """Per node, the lines of its event log."""
    logs = {}
    for i in range(1, count + 1):
        try:
            with open(os.path.join(work, "n%d" % i, "pelmar.log"), encoding="latin-1") as log:
                logs[i] = log.read().splitlines()
        except OSError:
            logs[i] = []
    return logs


def run(pelmard, count, updates, settle):
    work = tempfile.mkdtemp(prefix="pelmar-scale-")
    processes, probes = [], []
    try:
        processes = flood.start_nodes(pelmard, work, count, True)
        time.sleep(settle)
        peers, pairs, neighbours = node_connections(count)
        for i in range(1, count + 1):
            for _ in range(50):
                try:
                    probes.append(BoundProbe(i))
                    break
                except OSError:
                    time.sleep(0.1)
        injector = socket.create_connection((flood.address(1), flood.PORT), timeout=5,
                                            source_address=(PROBE_FROM, 0))
        flood.handshake(injector, flood.address(1))
        by_socket = {probe.sock: probe for probe in probes}
        ids, slowest, relayed = [], [], []
        for _ in range(updates):
            message_id = os.urandom(16)
            ids.append(message_id.hex())
            arrived = {}
            # Per node, the (TTL, hops) of every copy it relayed, as its probe got them.
            copies = collections.defaultdict(list)
            relayed.append(copies)
            sent = time.monotonic()
            injector.sendall(flood.update_message(message_id, os.urandom(16)))
            deadline = sent + 3
            while len(arrived) < count and time.monotonic() < deadline:
                ready, _, _ = select.select(list(by_socket), [], [], 0.05)
                now = time.monotonic()
                for sock in ready:
                    probe = by_socket[sock]
                    for message in probe.messages():
                        if message[:16] != message_id:
                            continue
                        copies[probe.node].append((message[17], message[18]))
                        if probe.node not in arrived:
                            arrived[probe.node] = (now - sent) * 1000
            injector.setblocking(False)
            try:
                while injector.recv(65536):
                    pass
            except (BlockingIOError, OSError):
                pass
            injector.setblocking(True)
            slowest.append(max(arrived.values()) if arrived else 0.0)
            # Copies still on their way (repeats relayed again) are counted too.
            end = time.monotonic() + 0.5
            while time.monotonic() < end:
                ready, _, _ = select.select(list(by_socket), [], [], 0.05)
                for sock in ready:
                    probe = by_socket[sock]
                    for message in probe.messages():
                        if message[:16] == message_id:
                            copies[probe.node].append((message[17], message[18]))
        injector.close()
    finally:
        for probe in probes:
            probe.sock.close()
        flood.stop_nodes(processes)
    logs = read_logs(work, count)
    if os.environ.get("KEEP_LOGS"):
        print("logs kept in " + work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return peers, pairs, logs, ids, slowest, neighbours, relayed


def distances(neighbours, start):
    """Hops from start to each node over the node-to-node connections."""
    far = {start: 0}
    frontier = [start]
    while frontier:
        following = []
        for node in frontier:
            for other in neighbours[node]:
                if other not in far:
                    far[other] = far[node] + 1
                    following.append(other)
        frontier = following
    return far


def explain_miss(node, neighbours, copies, far, senders, received, used):
    """Why a node missed an update: for it and each neighbour (as ss saw them at
    the start), who relayed the update to it (their logs) with the (TTL, hops)
    of that sender's copies (its probe), and what it relayed itself."""
    def got(n):
        return ", ".join("%d%s" % (m, sorted(copies.get(m, []))) for m in sorted(senders[n]))
    print("    node %d: %d hops from node 1; sent it: %s" % (node, far.get(node, -1), got(node)))
    for n in sorted(neighbours[node]):
        closer = [m for m in sorted(neighbours[n]) if far.get(m, 99) < far.get(n, -1)]
        print("      neighbour %d (%d hops%s): sent it: %s; relayed %s; nearer to node 1: %s"
              % (n, far.get(n, -1), "" if n in received else ", never received",
                 got(n) or "none", sorted(copies.get(n, [])),
                 ", ".join("%d%s" % (m, "" if (m, n) in used else " (no relay ever)")
                           for m in closer)))


def summarize(count, peers, pairs, logs, ids, slowest, neighbours, relayed):
    nodes = {flood.address(i): i for i in range(1, count + 1)}
    pings = 0
    used = set()  # (from, to): a connection some relay went over
    sent_to = {message_id: collections.Counter() for message_id in ids}
    # Per update, per node, the nodes whose logs relayed it there.
    senders = {message_id: collections.defaultdict(set) for message_id in ids}
    received = {message_id: set() for message_id in ids}
    for i, lines in logs.items():
        for line in lines:
            relay = RELAY.search(line)
            if relay:
                kind, to, _, message_id = relay.groups()
                if to not in nodes:
                    continue
                used.add((i, nodes[to]))
                if kind == "ping":
                    pings += 1
                elif message_id in sent_to:
                    sent_to[message_id][nodes[to]] += 1
                    senders[message_id][nodes[to]].add(i)
                continue
            receive = RECEIVE_UPDATE.search(line)
            if receive and receive.group(1) in received:
                received[receive.group(1)].add(i)
    print("nodes %d: node-to-node connections %d; peers per node median %g, max %d, min %d"
          % (count, pairs, statistics.median(peers), max(peers), min(peers)))
    print("nodes %d: pings relayed to nodes %d (%.0f per node)" % (count, pings, pings / count))
    # A connection ss sees that no relay crossed either way carries nothing:
    # the flood treats the overlay as if it were not there.
    edges = {(a, b) for a in neighbours for b in neighbours[a] if a < b}
    idle = sorted((a, b) for a, b in edges if (a, b) not in used and (b, a) not in used)
    print("nodes %d: connections no relay crossed: %d of %d%s"
          % (count, len(idle), len(edges), (" " + str(idle[:20])) if idle else ""))
    for n, message_id in enumerate(ids):
        # The first node gets the update from the injector, not from a node.
        reached = received[message_id]
        missed = sorted(set(range(1, count + 1)) - reached)
        copies = sent_to[message_id]
        total = sum(copies.values())
        mean = total / count
        duplicates = (total - (len(reached) - 1)) / total * 100 if total else 0.0
        print("update %d: reached %d/%d%s; copies per node mean %.1f, max %d; "
              "duplicates %.0f %%; slowest relay %.1f ms"
              % (n + 1, len(reached), count,
                 (" (missed: %s)" % ",".join(map(str, missed))) if missed else "",
                 mean, max(copies.values()) if copies else 0, duplicates, slowest[n]))
        # A node that was sent a copy able to go further than any it relayed
        # dropped it (TTL t arriving goes on with t - 1; 5 may stay 5).
        held_back = []
        for node, sent_by in senders[message_id].items():
            best_in = max((ttl for m in sent_by for ttl, _ in relayed[n].get(m, [])), default=0)
            best_out = max((ttl for ttl, _ in relayed[n].get(node, [])), default=0)
            if min(best_in - 1, 4) > best_out:
                held_back.append((node, best_in, best_out))
        if held_back:
            print("  nodes sent a copy that could go further than any they relayed "
                  "(node, best TTL sent to it, best TTL it relayed): %s" % held_back[:12])
        if missed:
            far = distances(neighbours, 1)
            print("  node 1 relayed %s; hops from node 1: %s"
                  % (sorted(relayed[n].get(1, [])),
                     dict(sorted(collections.Counter(far.values()).items()))))
            for node in missed:
                explain_miss(node, neighbours, relayed[n], far, senders[message_id], reached, used)
    print("nodes %d: slowest relay, median over updates %.1f ms"
          % (count, statistics.median(slowest)))


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "build"
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 64
    updates = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    settle = float(sys.argv[4]) if len(sys.argv) > 4 else 5
    pelmard = target if os.path.isfile(target) else os.path.join(target, "daemon", "pelmard")
    flood.random.seed(1)
    print("load before: " + os.getloadavg().__repr__())
    summarize(count, *run(os.path.abspath(pelmard), count, updates, settle))
    print("load after: " + os.getloadavg().__repr__())


if __name__ == "__main__":
    main()

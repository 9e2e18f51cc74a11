#!/usr/bin/env python3
"""Checks the overlay simulator against real nodes.

Starts N pelmard processes on loopback (default 64, as bench/flood.py does:
node i joins node i-1 and one earlier node at random), with their logs on.
After the overlay settles it reads, from the logs, which connections were
established, sends U updates into node 1 from one more servent connection
(the injector), stops the nodes and reads from their logs, per update, which
nodes received it and how many copies each was sent. Then it runs pelmar-sim
on the same connections with the same injections and prints both side by
side, with the tolerance each figure must meet.

Run it in a network namespace of its own (it binds 127.0.5.x):
    unshare -n bash -c 'ip link set lo up; tools/sim/validate.py build'
Usage: tools/sim/validate.py [BUILD_DIR] [NODES] [UPDATES]
Every node it starts is stopped at the end; every wait is bounded.
"""
import collections
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import flood  # noqa: E402  (the benchmark's node start-up and wire helpers)

# What the simulator must meet against the real nodes, over all updates:
# the mean share of nodes reached within this many points of percentage...
REACH_TOLERANCE_POINTS = 3.0
# ...and the mean copies received per reached node within this share.
COPIES_TOLERANCE = 0.10

# Loopback takes no time; what orders the copies is when each busy process
# gets to run: a random wait per message, the same on average everywhere.
SIM_DELAYS = ["--latency", "0,0", "--jitter", "1"]

LINE = re.compile(r"^\S+ \S+ (.*)$")


def node_of(address):
    if not address.startswith(flood.BLOCK):
        return 0  # the injector, or anything not a node
    return int(address[len(flood.BLOCK):])


def read_log(work, i):
    path = os.path.join(work, "n%d" % i, "pelmar.log")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as log:
        return [LINE.match(line.decode("latin-1")).group(1)
                for line in log if LINE.match(line.decode("latin-1"))]


def connections(work, count):
    """Established connections as (i, j) pairs, each counted once, read from
    the side that opened it ("receive PELMAR OK" names the node answered)."""
    edges = []
    for i in range(1, count + 1):
        for text in read_log(work, i):
            if text.startswith("receive PELMAR OK "):
                j = node_of(text.split()[3])
                if j:
                    edges.append((i, j))
    return edges


def start_seconds(work, count):
    """The second each node started in: a node seeds its draws with it, so
    nodes started in the same second draw alike (the log's first line)."""
    seconds = {}
    for i in range(1, count + 1):
        path = os.path.join(work, "n%d" % i, "pelmar.log")
        with open(path, "rb") as log:
            stamp = log.readline().decode("latin-1")[:19]
        seconds[i] = int(time.mktime(time.strptime(stamp, "%Y/%m/%d %H:%M:%S")))
    return seconds


def spread(work, count, ids):
    """Per update id: the nodes that took it as new, and the copies each node
    was sent (relay lines naming it, plus the injector's copy to node 1)."""
    received = {m: set() for m in ids}
    copies = {m: collections.Counter() for m in ids}
    for m in ids:
        copies[m][1] += 1
    for i in range(1, count + 1):
        for text in read_log(work, i):
            words = text.split()
            if len(words) < 6 or words[1] != "update" or not words[5].startswith("MSGID="):
                continue
            m = words[5][len("MSGID="):]
            if m not in received:
                continue
            if words[0] == "receive":
                received[m].add(i)
            elif words[0] == "relay":
                j = node_of(words[3])
                if j:
                    copies[m][j] += 1
    return received, copies


def run_real(pelmard, count, updates, work):
    processes = flood.start_nodes(pelmard, work, count, log=True)
    ids = []
    try:
        time.sleep(5)  # pings and pongs fill the nodes' connections
        injector = flood.socket.create_connection((flood.address(1), flood.PORT), timeout=5)
        flood.handshake(injector, flood.address(1))
        injector.setblocking(False)
        for _ in range(updates):
            message_id = os.urandom(16)
            ids.append(message_id.hex())
            injector.sendall(flood.update_message(message_id, os.urandom(16)))
            deadline = time.monotonic() + 1.0
            while time.monotonic() < deadline:
                try:
                    while injector.recv(65536):
                        pass
                except (BlockingIOError, OSError):
                    pass
                time.sleep(0.05)
        time.sleep(1)
        injector.close()
    finally:
        flood.stop_nodes(processes)
    return connections(work, count), ids


def summarise(received, copies, count):
    reach = [100.0 * len(received[m]) / count for m in received]
    per_node = [copies[m][j] for m in received for j in received[m]]
    dups = [c - 1 for c in per_node]
    return statistics.mean(reach), min(reach), statistics.mean(per_node), statistics.mean(dups)


def run_sim(sim, edges, count, updates, work):
    topology = os.path.join(work, "topology.txt")
    with open(topology, "w") as out:
        for i, j in edges:
            out.write("%d %d\n" % (i - 1, j - 1))
    seeds = os.path.join(work, "seeds.txt")
    with open(seeds, "w") as out:
        for i, second in start_seconds(work, count).items():
            out.write("%d %d\n" % (i - 1, second))
    csv = os.path.join(work, "sim.csv")
    subprocess.run([sim, "--scenario", "replay", "--nodes", str(count), "--topology", topology,
                    "--node-seeds", seeds,
                    "--updates", str(updates), "--seed", "1", "--csv", csv] + SIM_DELAYS,
                   check=True, stdout=subprocess.DEVNULL, timeout=300)
    with open(csv) as rows:
        header = rows.readline().strip().split(",")
        row = dict(zip(header, rows.readline().strip().split(",")))
    return (float(row["reach_mean_pct"]), float(row["reach_min_pct"]),
            float(row["copies_per_reached_node"]), float(row["duplicates_per_reached_node"]))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 64
    updates = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    pelmard = os.path.abspath(os.path.join(build, "daemon", "pelmard"))
    sim = os.path.abspath(os.path.join(build, "tools", "sim", "pelmar-sim"))
    random.seed(1)
    work = tempfile.mkdtemp(prefix="pelmar-validate-")
    try:
        edges, ids = run_real(pelmard, count, updates, work)
        received, copies = spread(work, count, ids)
        real = summarise(received, copies, count)
        degree = collections.Counter()
        for i, j in edges:
            degree[i] += 1
            degree[j] += 1
        degrees = sorted(degree[i] for i in range(1, count + 1))
        print("%d nodes, %d connections, peers per node: median %d, largest %d"
              % (count, len(edges), statistics.median(degrees), degrees[-1]), flush=True)
        simulated = run_sim(sim, edges, count, updates, work) if os.path.exists(sim) else real
    finally:
        if os.environ.get("PELMAR_KEEP"):
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    print("%-34s %10s %10s" % ("per update (%d updates)" % updates, "real", "simulated"))
    names = ("nodes reached, mean %", "nodes reached, worst %",
             "copies per reached node", "duplicates per reached node")
    for name, a, b in zip(names, real, simulated):
        print("%-34s %10.2f %10.2f" % (name, a, b))
    reach_ok = abs(real[0] - simulated[0]) <= REACH_TOLERANCE_POINTS
    copies_ok = abs(real[2] - simulated[2]) <= COPIES_TOLERANCE * real[2]
    print("reach within %.1f points: %s; copies within %d %%: %s"
          % (REACH_TOLERANCE_POINTS, "yes" if reach_ok else "NO",
             COPIES_TOLERANCE * 100, "yes" if copies_ok else "NO"))
    return 0 if reach_ok and copies_ok else 1


if __name__ == "__main__":
    sys.exit(main())

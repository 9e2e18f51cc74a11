#!/usr/bin/python3
"""Soak with churn: many pelmard nodes on 127.0.2.x, a third of them cache
servents, joined through pelmar-reflector; one writer posts threads and
responses all the time while nodes are killed with SIGKILL and restarted.
At the end the overlay settles, a last response refreshes a few threads, and
the run checks that nothing was lost or damaged. Prints one summary line and
exits 0 when every check holds.

    soak.py SECONDS BUILD_DIR [WORK_DIR]

Run through scripts/soak.sh, which builds what it needs. Standard library only.
"""

import hashlib
import http.client
import json
import os
import random
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

NODES = 32
CACHE_EVERY = 3  # every third node is a cache servent
# PELMAR_SOAK_BLOCK moves the whole run to another 127.0.x block.
BLOCK = os.environ.get("PELMAR_SOAK_BLOCK", "127.0.2.")
REFLECTOR = BLOCK + "40"
REFLECTOR_PORT = 16340
WRITER = BLOCK + "33"
PORT = 16341
WEB_PORT = 16342
NODE_WEB_PORT = 6341  # where pelmard serves its web interface by default
CATEGORY = b"soak"
ENTRY = "http://%s:%d/reflect" % (REFLECTOR, REFLECTOR_PORT)


def md5(data):
    return hashlib.md5(data).hexdigest()


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def api(address, port, token, method, path, fields=None):
    """The JSON answer of a node's web interface to a call, when it is 2xx."""
    body = None if fields is None else json.dumps(fields).encode()
    headers = {"Authorization": b"Bearer " + (token or b""),
               "Content-Type": "application/json"}
    conn = http.client.HTTPConnection(address, port, timeout=10)
    try:
        conn.request(method, path, body, headers)
        reply = conn.getresponse()
        data = reply.read()
        return json.loads(data or b"{}") if 200 <= reply.status < 300 else None
    except (OSError, ValueError, http.client.HTTPException):
        return None
    finally:
        conn.close()


def proc_counts(pid):
    """Open descriptors and resident KiB of a process; None when it is gone."""
    try:
        fds = len(os.listdir("/proc/%d/fd" % pid))
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return fds, int(line.split()[1])
    except OSError:
        return None
    return None


class Node:
    def __init__(self, work, index, cache, pelmard):
        self.index = index
        self.address = BLOCK + str(index)
        self.cache = cache
        self.dir = os.path.join(work, "node-%02d" % index)
        self.pelmard = pelmard
        self.proc = None
        self.kills = 0
        self.killed_at = None  # when it was killed, until restarted
        self.died = []  # exit codes of incarnations that ended by themselves
        os.makedirs(self.dir)
        with open(os.path.join(self.dir, "pelmar.ini"), "w") as f:
            f.write("[Network]\nPort=%d\n[Servent]\nCacheMode=%s\n"
                    % (PORT, "CacheServent" if cache else "Disable"))
        with open(os.path.join(self.dir, "category.dat"), "wb") as f:
            f.write(CATEGORY + b"\r\n")

    def start(self):
        err = open(os.path.join(self.dir, "stderr.txt"), "ab")
        self.proc = subprocess.Popen(
            [self.pelmard, "--ini", "pelmar.ini", "--address", self.address, "--log",
             "--connect", ENTRY],
            cwd=self.dir, stdin=subprocess.DEVNULL, stdout=err, stderr=err)
        err.close()
        self.killed_at = None
        self.started_at = time.monotonic()
        self.baseline = None  # descriptors and memory once this start has settled

    def up(self):
        return self.proc is not None and self.proc.poll() is None

    def kill(self):
        if self.up():
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
            self.kills += 1
            self.killed_at = time.monotonic()

    def check_alive(self):
        """Records an incarnation that ended without being killed."""
        if self.proc is not None and self.killed_at is None:
            code = self.proc.poll()
            if code is not None:
                self.died.append(code)
                self.killed_at = time.monotonic()  # restarted like a killed one

    def log(self):
        return read_file(os.path.join(self.dir, "pelmar.log")) or b""

    def fetching(self):
        """Whether its fetch runs, asked of its web interface (on by default);
        None when it does not answer."""
        token = (read_file(os.path.join(self.dir, "webtoken")) or b"").strip()
        status = api(self.address, NODE_WEB_PORT, token, "GET", "/api/status")
        return None if status is None else bool(status.get("fetch", {}).get("running"))

    def store_files(self):
        """Relative paths of every file under thread/, and the temporary names."""
        root = os.path.join(self.dir, "thread")
        files, temps = [], []
        for base, _, names in os.walk(root):
            for name in names:
                rel = os.path.relpath(os.path.join(base, name), root)
                if ".tmp" in name or name == "index.temp":
                    temps.append(rel)
                else:
                    files.append(rel)
        return files, temps


class Writer:
    """The node that writes every post: a pelmard whose web interface takes
    the posts, as a person's browser would send them."""

    def __init__(self, work, pelmard):
        self.dir = os.path.join(work, "writer")
        os.makedirs(self.dir)
        with open(os.path.join(self.dir, "pelmar.ini"), "w") as f:
            f.write("[Network]\nPort=%d\n[Servent]\nCacheMode=Disable\n" % PORT)
        with open(os.path.join(self.dir, "category.dat"), "wb") as f:
            f.write(CATEGORY + b"\r\n")
        err = open(os.path.join(self.dir, "stderr.txt"), "ab")
        self.proc = subprocess.Popen(
            [pelmard, "--ini", "pelmar.ini", "--address", WRITER, "--log", "--connect", ENTRY,
             "--web", "%s:%d" % (WRITER, WEB_PORT)],
            cwd=self.dir, stdin=subprocess.DEVNULL, stdout=err, stderr=err)
        err.close()
        self.token = None
        end = time.monotonic() + 10
        while self.token is None and time.monotonic() < end:
            time.sleep(0.1)
            token = read_file(os.path.join(self.dir, "webtoken"))
            if token and self._call("GET", "/api/status", None, token.strip()):
                self.token = token.strip()

    def _call(self, method, path, fields, token=None):
        return api(WRITER, WEB_PORT, token or self.token, method, path, fields)

    def _stored(self, rel, body):
        """md5 of the file the post was stored as, when it holds the body."""
        data = read_file(os.path.join(self.dir, "thread", rel))
        return md5(data) if data and body in data else None

    def post_thread(self, title, body):
        """(thread id, md5 of its ".thread") or None."""
        got = self._call("POST", "/api/threads",
                         {"category": CATEGORY.decode(), "title": title.decode("cp932"),
                          "name": "soak", "mail": "", "body": body.decode("cp932")})
        if not got or "id" not in got:
            return None
        digest = self._stored(rel_thread(got["id"]), body)
        return (got["id"], digest) if digest else None

    def post_response(self, thread_id, body):
        """(response id, md5 of its ".res") or None."""
        got = self._call("POST", "/api/threads/%s/responses" % thread_id,
                         {"name": "soak", "mail": "", "body": body.decode("cp932")})
        if not got or "id" not in got:
            return None
        digest = self._stored(rel_res(thread_id, got["id"]), body)
        return (got["id"], digest) if digest else None

    def last_update_ids(self):
        """Thread id -> message id of the newest update this node sent for it."""
        found = {}
        for line in (read_file(os.path.join(self.dir, "pelmar.log")) or b"").splitlines():
            if b" send update message " in line and b"TID=" in line:
                msgid = line.split(b"MSGID=")[1].split()[0]
                found[line.split(b"TID=")[1].strip().decode()] = msgid
        return found

    def rejoin(self):
        """Joins the overlay again through the reflector: a writer whose
        neighbours were all killed would otherwise announce to nobody."""
        self._call("POST", "/api/connect", {"entry": ENTRY})

    def up(self):
        return self.proc.poll() is None


def wait_idle(caches, until):
    """Waits until no cache servent that is up runs a fetch, or until the
    time given; returns those still fetching (or not answering) then."""
    while True:
        busy = {x for x in caches if x.up() and x.fetching() is not False}
        if not busy or time.monotonic() >= until:
            return busy
        time.sleep(0.2)


def fetched_from_writer(lines, updates):
    """Threads among updates (message id -> thread id) that a fetch of this
    node asked the writer for after the node relayed their update. A fetch
    logs the holders it will ask before it asks the first ("fetch TID=<id>
    ask <address> <port>, ..."), and the node writes that line only once the
    lines before it are written; so a fetch logged after the relay asked the
    writer after the post was stored there, whether it started at once or
    waited in the queue behind another."""
    writer = b"%s %d" % (WRITER.encode(), PORT)
    relayed = set()  # thread ids whose update this node relayed so far
    asked = set()
    for line in lines:
        kind = line[20:]
        if kind.startswith(b"relay update message ") and b"MSGID=" in line:
            tid = updates.get(line.split(b"MSGID=")[1].split()[0])
            if tid is not None:
                relayed.add(tid)
        elif kind.startswith(b"fetch TID=") and b" ask " in kind:
            tid = kind[len(b"fetch TID="):].split()[0].decode()
            sites = kind.split(b" ask ", 1)[1].strip().split(b", ")
            if tid in relayed and writer in sites:
                asked.add(tid)
    return asked


def rel_thread(thread_id):
    return os.path.join(thread_id[0], thread_id, thread_id + ".thread")


def rel_res(thread_id, res_id):
    return os.path.join(thread_id[0], thread_id, res_id + ".res")


def text(n):
    # Shift_JIS bytes among the ASCII, as the node stores them.
    return b"soak %d \x82\xa0\x82\xa2 " % n + b"x" * random.randint(0, 300)


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 60
    build = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "build")
    seconds = max(seconds, 30)
    start = time.monotonic()
    deadline = start + seconds - 3  # room to stop everything
    churn_end = start + seconds * 0.5
    refresh_end = start + seconds * 0.85
    if len(sys.argv) > 3:
        work = os.path.abspath(sys.argv[3])
        os.makedirs(work, exist_ok=True)
    else:
        work = tempfile.mkdtemp(prefix="pelmar-soak-")
    random.seed(os.getpid())

    pelmard = os.path.join(build, "daemon", "pelmard")
    reflector_bin = os.path.join(build, "tools", "pelmar-reflector")
    nodes = [Node(work, i, i % CACHE_EVERY == 1, pelmard) for i in range(1, NODES + 1)]
    refl_out = open(os.path.join(work, "reflector.txt"), "ab")
    reflector = subprocess.Popen([reflector_bin, "--address", REFLECTOR, "--port",
                                  str(REFLECTOR_PORT)], stdout=refl_out, stderr=refl_out)
    writer = None
    posts = []  # (kind, thread id, res id or None, md5, phase)
    threads = []
    kills = 0
    restarts = []  # (when, node)
    failures = []
    summary = "aborted"
    try:
        time.sleep(0.5)
        for node in nodes:
            node.start()
            time.sleep(0.08)
        writer = Writer(work, pelmard)
        time.sleep(3.0)
        for node in nodes:
            node.baseline = proc_counts(node.proc.pid)

        # Churn: post all the time, kill a node every couple of seconds.
        next_kill = time.monotonic() + 1.0
        next_rejoin = time.monotonic() + 10.0
        n = 0
        while time.monotonic() < churn_end:
            n += 1
            if not threads or random.random() < 0.2:
                got = writer.post_thread(b"thread %d" % n, text(n))
                if got:
                    threads.append(got[0])
                    posts.append(("thread", got[0], None, got[1], "churn"))
            else:
                tid = random.choice(threads)
                got = writer.post_response(tid, text(n))
                if got:
                    posts.append(("res", tid, got[0], got[1], "churn"))
            if not got:
                failures.append("post %d failed" % n)
            now = time.monotonic()
            for node in nodes:
                node.check_alive()
                if node.up() and node.baseline is None and now - node.started_at > 3:
                    node.baseline = proc_counts(node.proc.pid)
            for when, node in list(restarts):
                if now >= when:
                    node.start()
                    restarts.remove((when, node))
            if now >= next_rejoin:
                writer.rejoin()
                next_rejoin = now + 10.0
            if now >= next_kill:
                # Cache servents half the time: one is likely fetching the post
                # just announced.
                pool = [x for x in nodes if x.up() and (x.cache or random.random() < 0.5)]
                victim = random.choice(pool or [x for x in nodes if x.up()] or nodes)
                victim.kill()
                kills += 1
                restarts.append((now + random.uniform(0.3, 1.5), victim))
                next_kill = now + random.uniform(1.0, 3.0)
            time.sleep(random.uniform(0.1, 0.3))

        # Settle: every node up again.
        for when, node in restarts:
            node.start()
        restarts = []
        for node in nodes:
            node.check_alive()
            if not node.up():
                node.start()
        # Fetches started during the churn end first: a node runs one at a
        # time and drops the fetches asked for meanwhile.
        time.sleep(min(8.0, max(0.0, refresh_end - time.monotonic() - 7)))
        writer.rejoin()

        # Refresh: one more response into a few threads, one at a time, so
        # each cache servent that relays it fetches the whole thread. A node
        # runs one fetch at a time and queues the refreshes that come
        # meanwhile; each refresh waits until the cache servents are idle, so
        # that the queues stay short.
        refreshed = []
        caches = [x for x in nodes if x.cache]
        for tid in reversed(threads):
            if time.monotonic() + 6.5 > refresh_end:
                break
            wait_idle(caches, min(time.monotonic() + 5.0, refresh_end - 6.0))
            got = writer.post_response(tid, b"refresh " + text(len(posts)))
            if got:
                posts.append(("res", tid, got[0], got[1], "refresh"))
                refreshed.append(tid)
            time.sleep(1.0)  # the update spreads and the fetches start
            wait_idle(caches, min(time.monotonic() + 8.0, refresh_end - 3.0))
        update_ids = writer.last_update_ids()
        # A cache servent still fetching when the checks begin is not judged:
        # what it lacks may yet come.
        busy = wait_idle(caches, max(time.monotonic(), deadline - 6))

        # Checks.
        # Growth within each node's current run, from a few seconds after it
        # started; the longest such run is reported with it.
        growth_fd, growth_rss, longest = 0, 0, 0.0
        for node in nodes:
            node.check_alive()
            if node.up() and node.baseline:
                counts = proc_counts(node.proc.pid)
                if counts:
                    growth_fd = max(growth_fd, counts[0] - node.baseline[0])
                    growth_rss = max(growth_rss, counts[1] - node.baseline[1])
                    longest = max(longest, time.monotonic() - node.started_at)
        died = sum(len(node.died) for node in nodes) + (0 if writer.up() else 1)
        if died:
            failures.append("%d unkilled processes died" % died)

        reference = {}
        for kind, tid, rid, digest, _ in posts:
            rel = rel_thread(tid) if kind == "thread" else rel_res(tid, rid)
            data = read_file(os.path.join(writer.dir, "thread", rel))
            reference[rel] = data
            if data is None or md5(data) != digest:
                failures.append("writer lost or changed " + rel)
        copies = damaged = 0
        temps = visible_temps = 0
        for node in nodes:
            files, temp_names = node.store_files()
            temps += len(temp_names)
            visible_temps += sum(1 for name in temp_names if name.endswith("index.temp"))
            for rel in files:
                if rel.endswith(".thread") or rel.endswith(".res"):
                    copies += 1
                    data = read_file(os.path.join(node.dir, "thread", rel))
                    if rel not in reference or data != reference[rel]:
                        damaged += 1
                        failures.append("node %d holds a damaged %s" % (node.index, rel))

        # Every refreshed post, at every cache servent that is up and idle,
        # that relayed its update since it last started and then fetched the
        # thread from the writer (see fetched_from_writer): a copy lacking
        # fails the run. A fetch asks only the three holders heard of last,
        # so a cache servent whose fetches asked others is counted apart.
        owed = held = not_asked = 0
        relayed = {}  # cache servent -> message ids relayed since it last started
        asked = {}  # cache servent -> threads it fetched from the writer after the relay
        wanted_updates = {update_ids[t]: t for t in refreshed if t in update_ids}
        for node in nodes:
            if node.cache and node.up():
                log = node.log()
                lines = log[max(0, log.rfind(b"pelmar Startup!!")):].splitlines()
                relayed[node.index] = {line.split(b"MSGID=")[1].split()[0]
                                       for line in lines
                                       if line[20:41] == b"relay update message " and
                                       b"MSGID=" in line}
                asked[node.index] = fetched_from_writer(lines, wanted_updates)
        for tid in refreshed:
            msgid = update_ids.get(tid)
            if msgid is None:
                continue
            wanted = [rel for (kind, t, rid, _, _) in posts if t == tid
                      for rel in [rel_thread(t) if kind == "thread" else rel_res(t, rid)]]
            for node in nodes:
                if msgid not in relayed.get(node.index, ()) or node in busy:
                    continue
                if tid not in asked[node.index]:
                    not_asked += 1
                    continue
                for rel in wanted:
                    owed += 1
                    if read_file(os.path.join(node.dir, "thread", rel)) == reference.get(rel):
                        held += 1
                    else:
                        failures.append("cache %d fetched from the writer and lacks %s"
                                        % (node.index, rel))
        # Coverage of all posts at the cache servents, for the record.
        cache_nodes = [x for x in nodes if x.cache]
        covered = sum(1 for node in cache_nodes for rel in reference
                      if os.path.exists(os.path.join(node.dir, "thread", rel)))
        if refreshed and owed == 0:
            failures.append("no cache servent relayed a refreshed update")
        if visible_temps:
            failures.append("%d index.temp left" % visible_temps)
        if growth_fd > 64:
            failures.append("descriptors grew by %d" % growth_fd)

        summary = ("soak %ds: %d nodes (%d cache), %d posts in %d threads, %d kills, "
                   "writer holds %d/%d, copies %d (%d damaged), refreshed posts held by "
                   "caches that fetched them from the writer %d/%d (still busy %d, "
                   "did not ask it %d), cache coverage %d/%d, died %d, temp names %d "
                   "(visible %d), fd growth %+d, rss growth %+d KiB (runs up to %.0f s)"
                   % (seconds, NODES, len(cache_nodes), len(posts), len(threads), kills,
                      sum(1 for v in reference.values() if v is not None), len(reference),
                      copies, damaged, held, owed, len(busy), not_asked, covered,
                      len(reference) * len(cache_nodes), died, temps, visible_temps,
                      growth_fd, growth_rss, longest))
    finally:
        everyone = [x.proc for x in nodes if x.proc] + [reflector] + \
            ([writer.proc] if writer else [])
        for proc in everyone:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
        stop_by = time.monotonic() + 3
        for proc in everyone:
            try:
                proc.wait(max(0.1, stop_by - time.monotonic()))
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        refl_out.close()
    for line in failures[:10]:
        print("  " + line, file=sys.stderr)
    verdict = "FAIL" if failures else "PASS"
    if failures or len(sys.argv) > 3:
        summary += " (work %s)" % work
    else:
        shutil.rmtree(work, ignore_errors=True)
    print("%s: %s" % (verdict, summary))
    sys.stdout.flush()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

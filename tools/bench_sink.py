#!/usr/bin/env python3
"""Measures frame-sink: throughput, delay and memory, one column per program.

    tools/bench_sink.py [--only NAME[,NAME]] [SINK ...]
                                       (default: build/release/frame-sink)

--only runs just the loads named, each by one of its rows' names or by its
function's name (it may be given more than once); all of them by default.
Each load runs against a fresh frame-sink on a free port of 127.0.0.1, ready
once it says "frame-sink: listening on 127.0.0.1:PORT" on standard error (the
run fails, telling what it said instead, if it ends or is silent for 10 s):
  one connection   2,000,000 frames of 32 bytes on one connection, sent from
                   one prepared buffer, timed from the first send to the
                   sink's exit: frames/s
  short conns      5,000 connections of one 32-byte frame each: frames/s
  1000 tricklers   1,000 peers, each claiming a 16 MiB frame and sending
                   it in pieces, eight of them all but its last byte, the
                   others 256 KiB, then a stop: peak resident MiB
  control frame    one 16 MiB frame of control bytes: peak resident MiB
  held-up delay    four peers claim 16 MiB frames, the whole default budget,
                   and trickle them a byte each 0.2 s; a fifth sends a
                   10-byte frame, its prefix first and its payload 0.1 s
                   later, so that the sink meets it unfinished: ms from its
                   last byte sent to its line in the output, "> 10 s" if it
                   never came (goal: under 100 ms)
  frag. peak/after 600 peers claim 102,400 bytes and send all but the last;
                   every other one finishes; 270 more claim 122,880 bytes
                   and send all but the last; then all finish: the peak
                   resident MiB (goal: the 64 MiB budget + 1 MiB + 200 bytes
                   a connection) and the resident MiB once all are printed
                   (goal: near idle)
  busy alone,      2,000,000 frames of 32 bytes on one connection, timed up
  busy, 5000 idle  to the last line's arrival, alone and with 5,000 idle
                   peers connected, in turn after a first run left out:
                   frames/s each (the mean of two), and their ratio (goal:
                   within 20%)
  mixed payloads   500,000 frames of 0 to 300 bytes on one connection, drawn
                   from 4,096 seeded random payloads with about one byte in
                   ten a control byte (below 0x20, or 0x7F), the rest
                   printable ASCII and now and then a byte of 0x80 or over;
                   the output compared with a model of the escaping: frames/s
  flood, free      300,000 frames of 32 payload bytes, each its own, in one
  flood, held      send on one connection at --memory 1 --frame-timeout 4,
                   timed from the first send to the last line's arrival: with
                   the budget free, and while another peer holds all of it
                   (the prefix of a 1 MiB frame and a payload byte, taken in
                   first); in turn, three runs each after a first one left
                   out: the median ms and the worst, "> 10 s" past that, and
                   whether the holder was dropped by the frame limit before
                   the last line came; every line must come, in order (goal:
                   held within 2 ms of free)
  wait behind 1,   1, 5 or 40 peers each claim a 1 MiB frame at --memory 1
  5, 40            --frame-timeout 2 and trickle it a byte each 0.2 s; once
                   their claims are taken in, one more sends a whole
                   100,000-byte frame at once: ms from its send to its line's
                   arrival, "> 30 s" past that; the line must come, at the
                   stop if not before (goal: at most about one frame limit,
                   2 s, whatever the number of tricklers)
  10 B beside      one peer sends 16 MiB frames of printable bytes back to
  16 MiB, max      back; another, with TCP_NODELAY, a 10-byte frame of its own
                   every 20 ms, 50 in all: the median and the largest ms from
                   a send to its line's arrival; every line must come, each
                   16 MiB one whole and equal to what was sent (goal: a
                   median under 1 ms)
  CPU, reset       at --memory 1 a peer claims the whole budget and trickles
  waiter           it; a second sends a whole 100,000-byte frame, which waits
                   for room, then resets its connection: the sink's processor
                   time over the next 3 s, from /proc, as a share of one core
                   (goal: under 1%); the frame must be printed by the stop,
                   or its connection's fault reported
  json, 28 B,      --format json: 1,000,000 frames of the client's 28-byte
  json, 300 B bin  JSON payload on one connection, then 200,000 frames of 300
                   bytes that are not UTF-8 (so in base64), timed from the
                   first send to the sink's exit: frames/s each (goal for the
                   first: 5M frames/s); a record a frame and the opening and
                   end, every frame's record alike but for its time, the
                   first and last three read with a JSON parser and their
                   payloads as sent; "n/a" for a sink without --format
Peak memory is the sink's own high-water mark (VmHWM), read while it still
runs. A load that times lines' arrival reads the output from a pipe (widened
to 1 MiB, so that the reader's own pace weighs less) in a thread that notes
the time of each read; the others send it to a file. Every load checks what
the sink printed, so a fast wrong answer cannot pass for a fast right one.
Run it on a quiet machine; several programs given side by side are measured
in the same run.
"""

import argparse
import base64
import bisect
import fcntl
import itertools
import json
import os
import random
import re
import resource
import signal
import socket
import statistics
import subprocess
import struct
import sys
import tempfile
import termios
import threading
import time

MIB = 1 << 20


def frame(payload):
    return len(payload).to_bytes(4, "big") + payload


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


# Each sink takes port 0, and its "listening on" line names the port the
# system chose. A sink from before port 0 was taken is given a port found
# free just before instead (see free_port).
PORT_ZERO = True


def takes(program, *args):
    """Whether the program takes these options (a sink from before them
    refuses them with status 2)."""
    return subprocess.run([program, *args, "--version"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0
LISTENING = re.compile(rb"frame-sink: listening on 127\.0\.0\.1:(\d+)\n")
# The line that ends every run: no report of a fault.
SUMMARY = re.compile(r"frame-sink: \d+ frames?, \d+ bytes?, \d+ connections?, 0 faults$")


class Sink:
    """One frame-sink run, taken as ready once it says it listens.

    Its output goes to a file, or with `pipe` to a pipe read in a thread that
    notes when each piece arrived; `lines`, when given, then takes the output
    as it comes instead of it being kept whole. Its standard error is read in
    a thread all along, so that a chatty sink never blocks on it: `errors`
    holds each line with the time it came."""

    started = []  # each run's process, so that none outlives the bench

    def __init__(self, program, *args, pipe=False, lines=None, limit=10):
        port = 0 if PORT_ZERO and takes(program, "--port", "0") else free_port()
        self.changed = threading.Condition()
        self.errors, self.errors_ended = [], False
        self.size, self.arrivals, self.chunks, self.lines = 0, [], [], lines
        self.out = None if pipe else tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            [program, "--port", str(port), *args],
            stdout=subprocess.PIPE if pipe else self.out, stderr=subprocess.PIPE)
        Sink.started.append(self.process)
        self.readers = [threading.Thread(target=self._read_errors, daemon=True)]
        if pipe:
            try:  # a wider pipe, so that the reader's own pace weighs less
                fcntl.fcntl(self.process.stdout.fileno(), fcntl.F_SETPIPE_SZ, MIB)
            except OSError:
                pass
            self.readers.append(threading.Thread(target=self._read_output, daemon=True))
        for reader in self.readers:
            reader.start()
        with self.changed:
            self.changed.wait_for(lambda: self.errors or self.errors_ended, limit)
            first = self.errors[0][1] if self.errors else None
        said = first and LISTENING.fullmatch(first)
        if not said or (port and int(said[1]) != port):
            if first:
                why = "said " + repr(first.decode(errors="replace"))
            elif self.errors_ended:
                why = f"ended (status {self.process.wait()}) without a word"
            else:
                why = f"said nothing within {limit} s"
            self.process.kill()
            self.process.wait()
            raise RuntimeError(f"{program} never said it listens: it {why}")
        self.port = int(said[1])

    def _read_errors(self):
        for line in self.process.stderr:
            with self.changed:
                self.errors.append((time.monotonic(), line))
                self.changed.notify_all()
        with self.changed:
            self.errors_ended = True
            self.changed.notify_all()

    def _read_output(self):
        out = self.process.stdout.fileno()
        while data := os.read(out, MIB):
            now = time.monotonic()
            with self.changed:
                self.size += len(data)
                self.arrivals.append((self.size, now))
                if self.lines:
                    self.lines.feed(data, now)
                else:
                    self.chunks.append(data)
                self.changed.notify_all()

    def reports(self):
        """What the sink said after its listening line, and when, but for the
        summary of a run without faults."""
        with self.changed:
            said = [(when, line.decode(errors="replace").rstrip("\n"))
                    for when, line in self.errors[1:]]
        return [(when, text) for when, text in said if not SUMMARY.match(text)]

    def connect(self):
        peer = socket.socket()  # no name lookup: the sink is measured
        peer.connect(("127.0.0.1", self.port))
        return peer

    def memory(self, field="VmHWM"):
        """VmHWM (the most memory held resident so far) or VmRSS, in MiB."""
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) / 1024
        raise RuntimeError("no " + field)

    def cpu(self):
        """Processor time used so far, user and system, in seconds."""
        with open(f"/proc/{self.process.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def unread(self):
        """Bytes and connections sent to the sink that it has not taken in
        yet, as the kernel's table of connections counts them."""
        total = 0
        with open("/proc/net/tcp") as table:
            next(table)
            for line in table:
                fields = line.split()
                ends = (fields[1], fields[2])
                if any(int(end.split(":")[1], 16) == self.port for end in ends):
                    # The listener's receive queue is its connections not
                    # yet accepted.
                    total += sum(int(queue, 16) for queue in fields[4].split(":"))
        return total

    def settle(self, limit=60):
        """Waits until the sink has taken in all that was sent to it."""
        deadline = time.monotonic() + limit
        while self.unread():
            expect(time.monotonic() < deadline, "the sink left input unread")
            time.sleep(0.01)

    def printed(self):
        if self.out is None:
            return self.size
        return os.fstat(self.out.fileno()).st_size

    def wait_for_output(self, size, limit=60):
        """Seconds until the output reached `size` bytes; None past `limit`."""
        start = time.monotonic()
        while self.printed() < size:
            if time.monotonic() - start > limit:
                return None
            time.sleep(0.001)
        return time.monotonic() - start

    def wait(self, ready, until):
        """Waits, the output being piped, until `ready()` or the time
        `until`; whether ready."""
        with self.changed:
            return self.changed.wait_for(ready, max(0, until - time.monotonic()))

    def arrival(self, size, until):
        """When the piped output reached `size` bytes, as read; None if it
        had not by the time `until`."""
        if not self.wait(lambda: self.size >= size, until):
            return None
        with self.changed:
            return self.arrivals[bisect.bisect_left(self.arrivals, (size, 0))][1]

    def end(self, stop=False, limit=300):
        """Waits for the end; the output (None when `lines` took it)."""
        if stop:
            self.process.send_signal(signal.SIGINT)
        try:
            self.process.wait(limit)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise RuntimeError(f"the sink had not ended {limit} s on") from None
        self.exited = time.monotonic()
        for reader in self.readers:
            reader.join()
        if self.out is None:
            output, self.chunks = b"".join(self.chunks), []
            return None if self.lines else output
        self.out.seek(0)
        output = self.out.read()
        self.out.close()
        return output

    def quiet(self):
        """Whether it ended well having reported nothing."""
        return self.process.returncode == 0 and not self.reports()


def expect(condition, what):
    if not condition:
        raise RuntimeError("wrong output: " + what)


class Trickle:
    """Sends a byte to each peer every `every` seconds while in use, so that
    none goes idle; a peer the sink dropped is left alone."""

    def __init__(self, peers, every=0.2):
        self.peers, self.every = list(peers), every
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run)

    def run(self):
        while not self.stop.wait(self.every):
            for peer in list(self.peers):
                try:
                    peer.sendall(b"t")
                except OSError:
                    self.peers.remove(peer)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.stop.set()
        self.thread.join()


def stream(program, data):
    """Sends `data` on one connection: the output, and the seconds from the
    first send to the sink's exit."""
    sink = Sink(program, "--connections", "1")
    start = time.monotonic()
    with sink.connect() as peer:
        peer.sendall(data)
    output = sink.end()
    expect(sink.quiet(), "a sink that reported " + repr(sink.reports()))
    return output, sink.exited - start


def one_connection(program, frames=2_000_000):
    payload = b"p" * 32
    output, elapsed = stream(program, frame(payload) * frames)
    expect(output == (payload + b"\n") * frames, "one connection")
    return f"{frames / elapsed:,.0f} frames/s"


def json_records(program, frames=1_000_000, binary=200_000):
    """The client's 28-byte JSON payload, then 300-byte binary payloads, as
    JSON records: frames/s each, to the sink's exit."""
    if not takes(program, "--format", "json"):
        return "n/a", "n/a"
    rates = []
    rng = random.Random(2)
    client = b'{"id":"3","message":"split"}'
    for payload, count, field in [(client, frames, "json"),
                                  (bytes([0xFF]) + rng.randbytes(299), binary, "base64")]:
        sink = Sink(program, "--connections", "1", "--format", "json")
        data = frame(payload) * count
        start = time.monotonic()
        with sink.connect() as peer:
            peer.sendall(data)
        output = sink.end()
        expect(sink.quiet(), "a sink that reported " + repr(sink.reports()))
        lines = output.split(b"\n")
        expect(lines.pop() == b"" and len(lines) == count + 2, "one record a frame, and two more")
        # Every record a JSON text; each frame's payload as sent.
        records = [json.loads(line) for line in lines[:3] + lines[-3:]]
        expect([r["event"] for r in records] == ["open"] + ["frame"] * 4 + ["end"], "the events")
        for record in records[1:-1]:
            value = record[field]
            same = value == {"id": "3", "message": "split"} if field == "json" else \
                base64.b64decode(value) == payload
            expect(same and record["length"] == len(payload), "a record's payload")
        expect(len(set(line[line.index(b',"event"'):] for line in lines[1:-1])) == 1,
               "every frame's record alike but for its time")
        rates.append(f"{count / (sink.exited - start):,.0f} frames/s")
    return rates[0], rates[1]


def short_connections(program, count=5_000):
    payload = b"s" * 32
    sink = Sink(program, "--connections", str(count))
    data = frame(payload)
    start = time.monotonic()
    for _ in range(count):
        with sink.connect() as peer:
            peer.sendall(data)
    output = sink.end()
    elapsed = sink.exited - start
    expect(output == (payload + b"\n") * count and sink.quiet(), "short connections")
    return f"{count / elapsed:,.0f} frames/s"


def tricklers(program, peers=1_000, heavy=8, light=256 * 1024, piece=64 * 1024):
    sink = Sink(program)
    sockets = []
    for i in range(peers):
        peer = sink.connect()
        peer.setblocking(False)
        peer.send((16 * MIB).to_bytes(4, "big"))
        sockets.append([peer, 16 * MIB - 1 if i < heavy else light])
    # Pieces in turn, as far as each peer's window lets it, until nobody has
    # got anything through for a second: a sink that holds peers back leaves
    # their bytes in the network's buffers.
    zeros = bytes(piece)
    quiet_since = time.monotonic()
    while time.monotonic() - quiet_since < 1:
        for entry in sockets:
            try:
                sent = entry[0].send(zeros[:min(piece, entry[1])]) if entry[1] else 0
            except BlockingIOError:
                sent = 0
            entry[1] -= sent
            if sent:
                quiet_since = time.monotonic()
        time.sleep(0.01)
    peak = sink.memory()
    sink.end(stop=True)
    for peer, _ in sockets:
        peer.close()
    return f"{peak:,.1f} MiB"


def control_frame(program):
    payload = bytes([1]) * (16 * MIB)
    line = b"\\u0001" * (16 * MIB) + b"\n"
    sink = Sink(program)
    with sink.connect() as peer:
        peer.sendall(frame(payload))
    expect(sink.wait_for_output(len(line)) is not None, "control frame never printed")
    peak = sink.memory()
    expect(sink.end(stop=True) == line, "control frame")
    return f"{peak:,.1f} MiB"


def held_up(program, holders=4, cap=10):
    sink = Sink(program)
    peers = [sink.connect() for _ in range(holders)]
    for peer in peers:
        peer.sendall((16 * MIB).to_bytes(4, "big"))
    sink.settle()  # the holders' claims taken in
    payload = b"0123456789"
    late = sink.connect()
    late.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    with Trickle(peers):
        late.sendall(frame(payload)[:4])
        time.sleep(0.1)
        late.sendall(payload)
        delay = sink.wait_for_output(len(payload) + 1, limit=cap)
    output = sink.end(stop=True)
    for peer in peers + [late]:
        peer.close()
    expect(output == payload + b"\n", "held-up delay")
    return f"> {cap} s" if delay is None else f"{delay * 1000:,.1f} ms"


def fragmentation(program, first=600, small=102_400, later=270, large=122_880):
    sink = Sink(program, "--idle-timeout", "600")
    payloads = [b"%06d" % i + bytes([97 + i % 26]) * (small - 6) for i in range(first)]
    payloads += [b"%06d" % i + bytes([65 + i % 26]) * (large - 6)
                 for i in range(first, first + later)]
    peers = []

    def claim(batch):
        for payload in batch:
            peers.append(sink.connect())
            peers[-1].sendall(frame(payload)[:-1])
        sink.settle()  # in the sink's memory, not the network's buffers

    claim(payloads[:first])
    # Every other one finishes, leaving holes too small for what comes next.
    for peer, payload in list(zip(peers, payloads))[::2]:
        peer.sendall(payload[-1:])
    halfway = sink.wait_for_output(first // 2 * (small + 1))
    expect(halfway is not None, "the first frames never printed")
    claim(payloads[first:])
    pairs = list(zip(peers, payloads))
    for peer, payload in pairs[1:first:2] + pairs[first:]:
        peer.sendall(payload[-1:])
    total = sum(len(payload) + 1 for payload in payloads)
    expect(sink.wait_for_output(total) is not None, "fragmentation frames never printed")
    time.sleep(0.2)  # a buffer is given back just after its line is out
    peak, after = sink.memory(), sink.memory("VmRSS")
    output = sink.end(stop=True)
    for peer in peers:
        peer.close()
    lines = output.split(b"\n")
    expect(lines.pop() == b"" and sorted(lines) == sorted(payloads), "fragmentation")
    return f"{peak:,.1f} MiB", f"{after:,.1f} MiB"


def idle_peers(program, idle=5_000, frames=2_000_000):
    payload = b"i" * 32
    data = frame(payload) * frames
    line = payload + b"\n"

    def busy(others):
        sink = Sink(program, "--idle-timeout", "86400")
        peers = [sink.connect() for _ in range(others)]
        sink.settle()  # every idle peer accepted
        start = time.monotonic()
        with sink.connect() as peer:
            peer.sendall(data)
        done = sink.wait_for_output(len(line) * frames)
        elapsed = time.monotonic() - start
        output = sink.end(stop=True)
        for peer in peers:
            peer.close()
        expect(done is not None and output == line * frames, f"busy with {others} idle")
        return frames / elapsed

    # The first run of a sink warms the machine up (its page cache, its
    # clock): it is left out, and the two loads then take turns.
    busy(0)
    alone, crowded = [], []
    for _ in range(2):
        alone.append(busy(0))
        crowded.append(busy(idle))
    alone, crowded = sum(alone) / 2, sum(crowded) / 2
    return f"{alone:,.0f} frames/s", f"{crowded:,.0f} frames/s", f"{crowded / alone:.2f}"


SHORT_ESCAPES = {0x08: b"\\b", 0x09: b"\\t", 0x0A: b"\\n", 0x0C: b"\\f", 0x0D: b"\\r"}
ESCAPED = [SHORT_ESCAPES.get(b, b"\\u%04x" % b) if b < 0x20 or b == 0x7F else bytes([b])
           for b in range(256)]


def mixed_payloads(program, frames=500_000, pool=4_096, seed=1):
    rng = random.Random(seed)
    control = set(range(0x20)) | {0x7F}
    weights = [0.10 / len(control) if b in control else 0.85 / 95 if b < 0x80 else 0.05 / 128
               for b in range(256)]
    cumulative = list(itertools.accumulate(weights))
    payloads = [bytes(rng.choices(range(256), cum_weights=cumulative, k=rng.randint(0, 300)))
                for _ in range(pool)]
    lines = [b"".join(ESCAPED[b] for b in payload) + b"\n" for payload in payloads]
    order = [rng.randrange(pool) for _ in range(frames)]
    output, elapsed = stream(program, b"".join(frame(payloads[i]) for i in order))
    expect(output == b"".join(lines[i] for i in order), "mixed payloads")
    return f"{frames / elapsed:,.0f} frames/s"


def flood(program, frames=300_000, rounds=3, cap=10):
    data = b"".join(frame(b"%032d" % i) for i in range(frames))
    lines = b"".join(b"%032d\n" % i for i in range(frames))

    def run(held):
        """Seconds to the last line (None past the cap), and whether the
        holder was dropped before it."""
        sink = Sink(program, "--memory", "1", "--frame-timeout", "4", "--idle-timeout", "60",
                    pipe=True)
        holder = sink.connect()
        if held:  # the whole budget, its frame begun
            holder.sendall(MIB.to_bytes(4, "big") + b"h")
            sink.settle()
        peer = sink.connect()
        peer.settimeout(cap)
        start = time.monotonic()
        try:
            peer.sendall(data)
        except TimeoutError:
            pass
        arrived = sink.arrival(len(lines), until=start + cap)
        peer.close()
        output = sink.end(stop=True)
        holder.close()
        if arrived is None:  # what came must still be whole lines, in order
            expect(lines.startswith(output) and output.endswith(b"\n") or not output, "flood")
            return None, False
        expect(output == lines, "flood")
        dropped = any(when < arrived and text.startswith("frame-sink: connection 1: frame not")
                      for when, text in sink.reports())
        return arrived - start, dropped

    def summed_up(runs):
        # The median, and the worst: a sink that stalls now and then must not
        # pass for one that never does.
        if any(seconds is None for seconds, _ in runs):
            return f"> {cap} s"
        worst, dropped = max(runs)
        median = statistics.median(seconds for seconds, _ in runs)
        return (f"{median * 1000:,.1f} ms, worst {worst * 1000:,.1f}"
                + (" (holder dropped first)" if dropped else ""))

    # The first run warms the machine up: it is left out, and the two loads
    # then take turns; a load that reached the cap once is not run again.
    run(False)
    free, held = [], []
    for _ in range(rounds):
        free.append(run(False))
        if all(seconds is not None for seconds, _ in held):
            held.append(run(True))
    return summed_up(free), summed_up(held)


def wait_behind(program, counts=(1, 5, 40), size=100_000, cap=30):
    payload = (b"0123456789" * (size // 10 + 1))[:size]

    def run(tricklers):
        sink = Sink(program, "--memory", "1", "--frame-timeout", "2", pipe=True)
        peers = [sink.connect() for _ in range(tricklers)]
        for peer in peers:
            peer.sendall(MIB.to_bytes(4, "big"))
        sink.settle()  # every claim taken in: the first has the room, the rest wait
        late = sink.connect()
        late.settimeout(cap)
        with Trickle(peers):
            start = time.monotonic()
            late.sendall(frame(payload))
            arrived = sink.arrival(len(payload) + 1, until=start + cap)
        # Whole before the stop, it is printed then if not before.
        output = sink.end(stop=True)
        for peer in peers + [late]:
            peer.close()
        expect(output == payload + b"\n", f"wait behind {tricklers}")
        return f"> {cap} s" if arrived is None else f"{(arrived - start) * 1000:,.1f} ms"

    return tuple(run(count) for count in counts)


class Lines:
    """Takes piped output as it comes: a line of at most `keep` bytes is kept
    with the time of the read that ended it; a longer one must equal `long`
    and is compared piece by piece as it comes, then only counted."""

    def __init__(self, long, keep=4096):
        self.long, self.keep = long, keep
        self.kept, self.longs, self.wrong = [], 0, 0
        self.parts, self.size, self.bad = [], 0, False  # the line under way

    def feed(self, data, when):
        start = 0
        while (end := data.find(b"\n", start)) >= 0:
            self.piece(data[start:end])
            self.finish(when)
            start = end + 1
        if start < len(data):
            self.piece(data[start:])

    def piece(self, part):
        at = self.size
        self.size += len(part)
        if self.parts is not None:
            self.parts.append(part)
            if self.size <= self.keep:
                return
            part, at, self.parts = b"".join(self.parts), 0, None
        self.bad = self.bad or self.long[at:at + len(part)] != part

    def finish(self, when):
        if self.parts is not None:
            self.kept.append((when, b"".join(self.parts)))
        else:
            self.longs += 1
            self.wrong += self.bad or self.size != len(self.long)
        self.parts, self.size, self.bad = [], 0, False


def beside_long(program, samples=50, every=0.02, cap=30):
    long = (bytes(range(0x20, 0x7F)) * (16 * MIB // 95 + 1))[:16 * MIB]
    data = frame(long)
    lines = Lines(long)
    sink = Sink(program, pipe=True, lines=lines)
    stop, sent = threading.Event(), []

    def send_long():  # back to back, at full speed
        with sink.connect() as peer:
            while not stop.is_set():
                peer.sendall(data)
                sent.append(True)

    sender = threading.Thread(target=send_long)
    sender.start()
    try:
        expect(sink.wait(lambda: lines.longs, time.monotonic() + cap), "no 16 MiB line came")
        payloads = [b"short%05d" % i for i in range(samples)]
        sends = []
        with sink.connect() as short:
            short.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            due = time.monotonic()
            for payload in payloads:
                sends.append(time.monotonic())
                short.sendall(frame(payload))
                due += every
                time.sleep(max(0, due - time.monotonic()))
            came = sink.wait(lambda: len(lines.kept) >= samples, time.monotonic() + cap)
    finally:
        stop.set()
        sender.join()
    expect(came, "10-byte lines missing")
    expect(sink.wait(lambda: lines.longs >= len(sent), time.monotonic() + cap),
           "16 MiB lines missing")
    sink.end(stop=True)
    expect([line for _, line in lines.kept] == payloads, "10-byte lines")
    expect(lines.longs == len(sent) and not lines.wrong and lines.size == 0, "16 MiB lines")
    expect(sink.quiet(), "a sink that reported " + repr(sink.reports()))
    delays = [when - sent_at for (when, _), sent_at in zip(lines.kept, sends)]
    return (f"{statistics.median(delays) * 1000:,.2f} ms", f"{max(delays) * 1000:,.2f} ms")


def unsent(peer):
    """Bytes the peer sent that the other end has not acknowledged."""
    count = bytearray(4)
    fcntl.ioctl(peer.fileno(), termios.TIOCOUTQ, count)
    return int.from_bytes(count, sys.byteorder)


def reset_waiter(program, size=100_000, span=3):
    # A frame that fits in what the system takes in for a sink that does not
    # read (a 200,000-byte one would not come whole, and be dropped at once).
    payload = (b"reset " * (size // 6 + 1))[:size]
    sink = Sink(program, "--memory", "1", "--frame-timeout", "60")
    holder = sink.connect()
    holder.sendall(MIB.to_bytes(4, "big"))
    sink.settle()  # the holder has the whole budget
    waiter = sink.connect()
    with Trickle([holder]):
        waiter.sendall(frame(payload))
        deadline = time.monotonic() + 10
        while sink.unread() != size or unsent(waiter):  # its prefix taken, its payload all there
            expect(time.monotonic() < deadline, "the waiting frame never came whole")
            time.sleep(0.01)
        waiter.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        waiter.close()  # a reset
        time.sleep(0.2)
        before, start = sink.cpu(), time.monotonic()
        time.sleep(span)
        used, elapsed = sink.cpu() - before, time.monotonic() - start
        expect(sink.process.poll() is None, "the sink ended")
    output = sink.end(stop=True)
    holder.close()
    # Whole before the reset, the frame is printed; or, dropped, it is told.
    told = any(text.startswith("frame-sink: connection 2: ") for _, text in sink.reports())
    expect(output == payload + b"\n" or (not output and told), "reset waiter")
    return f"{used / elapsed * 100:.1f}% of a core"


LOADS = [(["one connection"], one_connection), (["short conns"], short_connections),
         (["1000 tricklers"], tricklers), (["control frame"], control_frame),
         (["held-up delay"], held_up), (["frag. peak", "frag. after"], fragmentation),
         (["busy alone", "busy, 5000 idle", "idle/alone"], idle_peers),
         (["mixed payloads"], mixed_payloads), (["flood, free", "flood, held"], flood),
         (["wait behind 1", "wait behind 5", "wait behind 40"], wait_behind),
         (["10 B beside 16 MiB", "10 B, max"], beside_long),
         (["CPU, reset waiter"], reset_waiter),
         (["json, 28 B", "json, 300 B bin"], json_records)]


def chosen_loads(parser, only):
    """The loads that --only names, by a row's name or the load's function;
    all of them without it."""
    known = {}
    for names, load in LOADS:
        for name in names + [load.__name__]:
            known[name.casefold()] = load
    chosen = set()
    for text in only:
        # Some row names hold a comma themselves.
        for name in [text] if text.casefold() in known else text.split(","):
            load = known.get(name.strip().casefold())
            if load is None:
                every = [row for rows, each in LOADS for row in rows + [each.__name__]]
                parser.error(f"--only: no load is named {name.strip()!r}; the names: "
                             + "; ".join(every))
            chosen.add(load)
    return [(names, load) for names, load in LOADS if not chosen or load in chosen]


def main():
    parser = argparse.ArgumentParser(
        description="Measures frame-sink, one column per program; the docstring says how.")
    parser.add_argument("--only", action="append", default=[], metavar="NAME[,NAME]",
                        help="run only these loads, by a row's name or the load's function name")
    parser.add_argument("programs", nargs="*", metavar="SINK", default=["build/release/frame-sink"])
    args = parser.parse_args()
    loads = chosen_loads(parser, args.only)
    # Thousands of peers at once: a descriptor each.
    _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    programs = args.programs
    names = max(len(name) for row, _ in LOADS for name in row) + 2
    width = max(24, *(len(p) + 2 for p in programs))
    print(f"{'':{names}}" + "".join(f"{p:>{width}}" for p in programs))
    try:
        for row, load in loads:
            results = [load(p) for p in programs]
            for i, name in enumerate(row):
                values = [r if isinstance(r, str) else r[i] for r in results]
                print(f"{name:{names}}" + "".join(f"{v:>{width}}" for v in values), flush=True)
    finally:  # a load that failed may leave its sink running
        for process in Sink.started:
            if process.poll() is None:
                process.kill()
                process.wait()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Measures frame-sink: throughput and peak memory, one column per program.

    tools/bench_sink.py [SINK ...]     (default: build/release/frame-sink)

Four loads, each against a fresh frame-sink on a free port of 127.0.0.1:
  one connection   100,000 frames of 32 bytes on one connection: frames/s
  short conns      5,000 connections of one 32-byte frame each: frames/s
  1000 tricklers   1,000 peers, each claiming a 16 MiB frame and sending
                   it in pieces, eight of them all but its last byte, the
                   others 256 KiB, then a stop: peak resident MiB
  control frame    one 16 MiB frame of control bytes: peak resident MiB
Peak memory is the sink's own high-water mark (VmHWM), read while it still
runs: after the frame was printed, or before the tricklers' stop. Every load
checks what the sink printed, so a fast wrong answer cannot pass for a fast
right one. Run it on a quiet machine; several
programs given side by side are measured in the same run.
"""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20


def frame(payload):
    return len(payload).to_bytes(4, "big") + payload


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Sink:
    """One frame-sink run, its output in a file."""

    def __init__(self, program, *args):
        self.port = free_port()
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            [program, "--port", str(self.port), *args],
            stdout=self.out, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port)).close()
                break
            except ConnectionRefusedError:
                if time.monotonic() > deadline:
                    raise RuntimeError(program + " never listened")
                time.sleep(0.01)

    def peak(self):
        """The most memory the sink has held resident so far, in MiB."""
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
        raise RuntimeError("no VmHWM")

    def wait_for_output(self, size):
        deadline = time.monotonic() + 60
        while os.fstat(self.out.fileno()).st_size < size:
            if time.monotonic() > deadline:
                raise RuntimeError("the sink never printed it all")
            time.sleep(0.01)

    def end(self, stop=False):
        """Waits for the end; the output."""
        if stop:
            self.process.send_signal(signal.SIGINT)
        self.process.wait()
        self.out.seek(0)
        output = self.out.read()
        self.out.close()
        return output


def expect(condition, what):
    if not condition:
        raise RuntimeError("wrong output: " + what)


def one_connection(program, frames=100_000):
    payload = b"p" * 32
    # The probe connection that found the sink listening counts as one.
    sink = Sink(program, "--connections", "2")
    data = frame(payload) * frames
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", sink.port)) as peer:
        peer.sendall(data)
    output = sink.end()
    elapsed = time.monotonic() - start
    expect(output == (payload + b"\n") * frames, "one connection")
    return f"{frames / elapsed:,.0f} frames/s"


def short_connections(program, count=5_000):
    payload = b"s" * 32
    sink = Sink(program, "--connections", str(count + 1))
    data = frame(payload)
    start = time.monotonic()
    for _ in range(count):
        with socket.socket() as peer:  # no name lookup: the sink is measured
            peer.connect(("127.0.0.1", sink.port))
            peer.sendall(data)
    output = sink.end()
    elapsed = time.monotonic() - start
    expect(output == (payload + b"\n") * count, "short connections")
    return f"{count / elapsed:,.0f} frames/s"


def tricklers(program, peers=1_000, heavy=8, light=256 * 1024, piece=64 * 1024):
    sink = Sink(program)
    sockets = []
    for i in range(peers):
        peer = socket.socket()
        peer.connect(("127.0.0.1", sink.port))
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
    peak = sink.peak()
    sink.end(stop=True)
    for peer, _ in sockets:
        peer.close()
    return f"{peak:,.1f} MiB"


def control_frame(program):
    payload = bytes([1]) * (16 * MIB)
    line = b"\\u0001" * (16 * MIB) + b"\n"
    sink = Sink(program)
    with socket.create_connection(("127.0.0.1", sink.port)) as peer:
        peer.sendall(frame(payload))
    sink.wait_for_output(len(line))
    peak = sink.peak()
    expect(sink.end(stop=True) == line, "control frame")
    return f"{peak:,.1f} MiB"


LOADS = [("one connection", one_connection), ("short conns", short_connections),
         ("1000 tricklers", tricklers), ("control frame", control_frame)]


def main():
    programs = sys.argv[1:] or ["build/release/frame-sink"]
    width = max(24, *(len(p) + 2 for p in programs))
    print(f"{'':16}" + "".join(f"{p:>{width}}" for p in programs))
    for name, load in LOADS:
        print(f"{name:16}" + "".join(f"{load(p):>{width}}" for p in programs), flush=True)


if __name__ == "__main__":
    main()

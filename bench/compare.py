#!/usr/bin/env python3
"""One table of ratios, project / anchor, on the same loopback servers in one
go: the codecs against Python's base64 (binascii), sending against curl and
Python smtplib + email, downloading against curl and Python poplib. Each
benchmark runs RUNS times; the table shows the median of each figure's runs.
Usage: compare.py BUILD_TREE [RUNS]
"""
import base64
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROW = re.compile(r"^  (\S.*?)\s{2,}([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+(\S+)\s*$")


def rows_of(output):
    """{client: (MB/s, CPU s/MB)} from the tables a benchmark printed."""
    rows = {}
    for line in output.splitlines():
        m = ROW.match(line)
        if m:
            rows[m.group(1)] = (float(m.group(3)), float(m.group(5)))
    return rows


def python_base64(megabytes=64):
    """Python's MB/s for MIME base64 (76-character lines) encode and decode."""
    data = os.urandom(megabytes << 20)
    start = time.perf_counter()
    encoded = base64.encodebytes(data)
    encode = len(data) / 1e6 / (time.perf_counter() - start)
    start = time.perf_counter()
    base64.decodebytes(encoded)
    decode = len(data) / 1e6 / (time.perf_counter() - start)
    return encode, decode


def kov_base64(tree):
    out = subprocess.run([os.path.join(tree, "codec_bench")], capture_output=True, text=True, check=True).stdout
    figure = dict(re.findall(r"^(kov\w+Buffer) \((?:input|output)\)\s+([\d.]+) MB/s", out, re.M))
    return float(figure["kovEncodeBuffer"]), float(figure["kovDecodeBuffer"])


def main():
    tree = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    client = os.path.join(tree, "kov_client")
    samples = {}

    def add(name, value):
        samples.setdefault(name, []).append(value)

    for n in range(runs):
        print("run %d of %d" % (n + 1, runs), file=sys.stderr)
        ke, kd = kov_base64(tree)
        pe, pd = python_base64()
        add("base64 encode MB/s / Python binascii", ke / pe)
        add("base64 decode MB/s / Python binascii", kd / pd)
        send = subprocess.run([sys.executable, os.path.join(HERE, "send_bench.py"), client], capture_output=True,
                              text=True, check=True).stdout
        # Two tables, both with a Python row: the large message, then the small ones.
        large, small = send.split("on one connection")
        rows = rows_of(large)
        k, c, p = rows["kovSendEmail (library)"], rows["curl -T composed message"], rows["Python smtplib + email"]
        add("send 20 MiB: MB/s / curl", k[0] / c[0])
        add("send 20 MiB: CPU per MB / curl", k[1] / c[1])
        add("send 20 MiB: MB/s / Python smtplib", k[0] / p[0])
        rows = rows_of(small)
        ks = next(v for name, v in rows.items() if name.startswith("kovSendEmail x"))
        add("send 200 x 1 KB: MB/s / Python smtplib", ks[0] / rows["Python smtplib + email"][0])
        download = subprocess.run([sys.executable, os.path.join(HERE, "pop3_bench.py"), client],
                                  capture_output=True, text=True, check=True).stdout
        pop = rows_of(download)
        add("download decoded 20 MiB base64: MB/s / Python poplib + email",
            pop["kovGetEmailFile decoded (library)"][0] / pop["Python poplib + email"][0])
        add("download decoded: MB/s / raw download", pop["kovGetEmailFile decoded (library)"][0] /
            pop["kovGetEmailFile raw (library)"][0])
        k, kl = pop["kovGetEmailFile raw (library)"], pop["kovGetEmailFile raw, with a log"]
        c, p = pop["curl RETR -o file"], pop["Python poplib"]
        add("download 20 MiB raw: MB/s / curl", k[0] / c[0])
        add("download 20 MiB raw: CPU per MB / curl", k[1] / c[1])
        add("download 20 MiB raw: MB/s / Python poplib", k[0] / p[0])
        add("download with a log: MB/s / curl", kl[0] / c[0])

    print("%-62s %8s %8s %8s" % ("ratio (project / anchor)", "median", "min", "max"))
    for name, values in samples.items():
        print("%-62s %8.2f %8.2f %8.2f" % (name, statistics.median(values), min(values), max(values)))
    print("(%d runs; CPU ratios below 1 and speed ratios above 1 favour the project)" % runs)


if __name__ == "__main__":
    main()

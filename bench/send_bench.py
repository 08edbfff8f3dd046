#!/usr/bin/env python3
"""Send benchmark: on one loopback SMTP sink, kovSendEmail of a 20 MiB
attachment (from a file, body type 0, KOV_DELAY 0) against curl uploading
the message the library composed and Python's smtplib + email building and
sending the same attachment; then 200 messages of 1 KB on one connection,
the library against smtplib. Prints MB/s, CPU seconds and system calls per
MB. Usage: send_bench.py PATH_OF_kov_client
"""
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_run import best_of, print_table, syscalls  # noqa: E402
from loopback_servers import SmtpSink  # noqa: E402

ATTACHMENT_BYTES = 20 << 20
SMALL_COUNT = 200
SMALL_SIZE = 1000
RUNS = 3


def main():
    kov = os.path.abspath(sys.argv[1])
    python = [sys.executable, os.path.join(HERE, "py_clients.py")]
    sink = SmtpSink()
    port = str(sink.port)
    with tempfile.TemporaryDirectory() as tmp:
        attachment = os.path.join(tmp, "payload.bin")
        with open(attachment, "wb") as f:
            f.write(os.urandom(ATTACHMENT_BYTES))

        sink.keep_next = True
        kov_cmd = [kov, "send", port, attachment]
        k = best_of(RUNS, kov_cmd)
        megabytes = sink.sizes[0] / 1e6
        composed = os.path.join(tmp, "composed.eml")
        with open(composed, "wb") as f:
            f.write(sink.kept)
        curl_cmd = ["curl", "-s", "smtp://127.0.0.1:%s" % port, "--mail-from", "bench@example.com", "--mail-rcpt",
                    "sink@example.com", "-T", composed]
        c = best_of(RUNS, curl_cmd)
        py_cmd = python + ["send", port, attachment]
        mark = len(sink.sizes)
        p = best_of(RUNS, py_cmd)
        py_megabytes = sink.sizes[mark] / 1e6
        print_table("Send: one message with a 20 MiB attachment (MB = message bytes on the wire)", [
            ("kovSendEmail (library)", megabytes, k.inner_seconds, k.cpu, syscalls(kov_cmd)),
            ("curl -T composed message", megabytes, c.wall, c.cpu, syscalls(curl_cmd)),
            ("Python smtplib + email", py_megabytes, p.inner_seconds, p.cpu, syscalls(py_cmd)),
        ])
        print("  library's own count: %.1f socket and sleep calls per MB; seconds: library and Python around the"
              " transfer, curl the whole run" % (k.inner_syscalls / megabytes))
        print("  kov vs curl: CPU/MB x%.2f;  kov vs Python: x%.1f faster" %
              (k.cpu / megabytes / (c.cpu / megabytes), (megabytes / k.inner_seconds) /
               (py_megabytes / p.inner_seconds)))

        kov_small = [kov, "small", port, str(SMALL_COUNT), str(SMALL_SIZE)]
        py_small = python + ["small", port, str(SMALL_COUNT), str(SMALL_SIZE)]
        mark = len(sink.sizes)
        ks = best_of(RUNS, kov_small)
        small_mb = sum(sink.sizes[mark:mark + SMALL_COUNT]) / 1e6
        mark = len(sink.sizes)
        ps = best_of(RUNS, py_small)
        py_small_mb = sum(sink.sizes[mark:mark + SMALL_COUNT]) / 1e6
        print()
        print_table("Send: %d messages of %d text bytes on one connection, KOV_DELAY 0" % (SMALL_COUNT, SMALL_SIZE), [
            ("kovSendEmail x%d (library)" % SMALL_COUNT, small_mb, ks.inner_seconds, ks.cpu, syscalls(kov_small)),
            ("Python smtplib + email", py_small_mb, ps.inner_seconds, ps.cpu, syscalls(py_small)),
        ])
        print("  messages/s: library %.0f, Python %.0f" % (SMALL_COUNT / ks.inner_seconds,
                                                           SMALL_COUNT / ps.inner_seconds))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Download benchmark: one 20 MiB message from a loopback POP3 server that
writes 64 KiB at a time, fetched by kovGetEmailFile in raw mode
(KOV_DECODE_MODE 1) without and with a log, by curl's RETR into a file and by
Python's poplib; then a message with a 20 MiB base64 attachment decoded into
files by kovGetEmailFile and by Python's poplib + email. Prints MB/s, CPU
seconds and system calls per MB.
Usage: pop3_bench.py PATH_OF_kov_client
"""
import base64
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_run import best_of, print_table, syscalls  # noqa: E402
from loopback_servers import Pop3Server  # noqa: E402

MESSAGE_BYTES = 20 << 20
ATTACHMENT_BYTES = 20 << 20
RUNS = 3


def message():
    """Headers, then 76-character lines up to the size; every 50th line
    starts with a period, so that the dots are stuffed on the wire."""
    lines = [b"From: <bench@example.com>", b"To: <sink@example.com>", b"Subject: Bench", b""]
    size = sum(len(line) + 2 for line in lines)
    n = 0
    while size < MESSAGE_BYTES:
        text = (b"." if n % 50 == 0 else b"L") + (b"%075d" % n)
        lines.append(text)
        size += len(text) + 2
        n += 1
    return b"\r\n".join(lines) + b"\r\n"


def mime_message(payload):
    """A short text part and `payload` as a base64 attachment, "payload.bin"."""
    body = base64.encodebytes(payload).replace(b"\n", b"\r\n")
    return (b"From: <bench@example.com>\r\nTo: <sink@example.com>\r\nSubject: Bench\r\n"
            b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0\"\r\n\r\n"
            b"--b0\r\nContent-Type: text/plain\r\n\r\nThe file.\r\n--b0\r\n"
            b"Content-Type: application/octet-stream; name=\"payload.bin\"\r\n"
            b"Content-Transfer-Encoding: base64\r\n"
            b"Content-Disposition: attachment; filename=\"payload.bin\"\r\n\r\n" + body + b"--b0--\r\n")


def main():
    kov = os.path.abspath(sys.argv[1])
    server = Pop3Server(message())
    port = str(server.port)
    megabytes = server.size / 1e6
    with tempfile.TemporaryDirectory() as tmp:
        kov_cmd = [kov, "retr", port, tmp, "kov.eml"]
        kov_log_cmd = kov_cmd + [os.path.join(tmp, "kov.log")]
        curl_cmd = ["curl", "-s", "pop3://127.0.0.1:%s/1" % port, "-u", "user:password", "-o",
                    os.path.join(tmp, "curl.eml")]
        py_cmd = [sys.executable, os.path.join(HERE, "py_clients.py"), "retr", port, os.path.join(tmp, "py.eml")]
        k = best_of(RUNS, kov_cmd)
        kl = best_of(RUNS, kov_log_cmd)
        c = best_of(RUNS, curl_cmd)
        p = best_of(RUNS, py_cmd)
        print_table("Download: RETR of one %.1f MB message into a file" % megabytes, [
            ("kovGetEmailFile raw (library)", megabytes, k.inner_seconds, k.cpu, syscalls(kov_cmd)),
            ("kovGetEmailFile raw, with a log", megabytes, kl.inner_seconds, kl.cpu, syscalls(kov_log_cmd)),
            ("curl RETR -o file", megabytes, c.wall, c.cpu, syscalls(curl_cmd)),
            ("Python poplib", megabytes, p.inner_seconds, p.cpu, syscalls(py_cmd)),
        ])
        print("  library's own count: %.1f socket and sleep calls per MB (%.1f with a log); seconds: library and"
              " Python around the transfer, curl the whole run" % (k.inner_syscalls / megabytes,
                                                                    kl.inner_syscalls / megabytes))
        print("  kov vs curl: MB/s x%.2f, CPU/MB x%.2f;  kov vs Python: x%.1f faster" %
              (c.wall / k.inner_seconds, k.cpu / c.cpu, p.inner_seconds / k.inner_seconds))
        kov_size = os.path.getsize(os.path.join(tmp, "kov.eml"))
        print("  sizes: library's file %d bytes (status line and final period kept), curl's %d, Python's %d" %
              (kov_size, os.path.getsize(os.path.join(tmp, "curl.eml")), os.path.getsize(os.path.join(tmp, "py.eml"))))
        decode_comparison(kov, tmp, k, megabytes)


def decode_comparison(kov, tmp, raw, raw_megabytes):
    """A message with a 20 MiB base64 attachment: the library decoding it
    into files against Python's poplib + email doing the same job."""
    payload = os.urandom(ATTACHMENT_BYTES)
    server = Pop3Server(mime_message(payload))
    port = str(server.port)
    megabytes = server.size / 1e6
    kov_dir, py_dir = os.path.join(tmp, "kov-decode"), os.path.join(tmp, "py-decode")
    os.mkdir(kov_dir)
    os.mkdir(py_dir)
    kov_cmd = [kov, "decode", port, kov_dir, "mail.txt"]
    py_cmd = [sys.executable, os.path.join(HERE, "py_clients.py"), "decode", port, py_dir]
    k = best_of(RUNS, kov_cmd)
    p = best_of(RUNS, py_cmd)
    for where in (kov_dir, py_dir):
        with open(os.path.join(where, "payload.bin"), "rb") as f:
            if f.read() != payload:
                raise SystemExit("the attachment saved in %s differs" % where)
    print()
    print_table("Download decoded: RETR of a %.1f MB message with a 20 MiB base64 attachment" % megabytes, [
        ("kovGetEmailFile decoded (library)", megabytes, k.inner_seconds, k.cpu, syscalls(kov_cmd)),
        ("Python poplib + email", megabytes, p.inner_seconds, p.cpu, syscalls(py_cmd)),
    ])
    print("  kov decoded vs Python: x%.1f faster; decoded vs raw download: x%.2f the time per MB" %
          (p.inner_seconds / k.inner_seconds, (k.inner_seconds / megabytes) / (raw.inner_seconds / raw_megabytes)))


if __name__ == "__main__":
    main()

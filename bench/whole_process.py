#!/usr/bin/env python3
"""Whole-process side by side: each client is one process timed from its
start to its exit (wall, CPU, peak memory), on the same loopback servers, in
several interleaved rounds; the table shows medians, and each row's ratio
to its anchor is the median of the per-round ratios. System calls per MB come
from one strace -f -c run of each client; clock reads per MB from the
library's own count (benchmark build), for the library's rows only.
Usage: whole_process.py BUILD_TREE [ROUNDS]
"""
import base64
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_run import syscalls  # noqa: E402
from loopback_servers import Pop3Server, SmtpSink  # noqa: E402
from pop3_bench import message  # noqa: E402

ATTACHMENT_BYTES = 20 << 20
SMALL_COUNT = 1000
SMALL_SIZE = 1000


def run(cmd, stdin=None, cwd=None):
    """Wall seconds, CPU seconds, peak resident MB and stdout of one child, as
    /usr/bin/time reports the child (the benchmark's own large process must
    not count in the child's peak)."""
    start = time.perf_counter()
    child = subprocess.Popen(["/usr/bin/time", "-f", "TIME %U %S %M"] + cmd, stdin=stdin, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, cwd=cwd)
    out, err = child.communicate()
    wall = time.perf_counter() - start
    text = err.decode(errors="replace")
    if child.returncode != 0:
        raise SystemExit("%s failed (%d): %s %s" % (" ".join(cmd), child.returncode, out, text))
    user, system, peak = re.findall(r"TIME ([\d.]+) ([\d.]+) (\d+)", text)[-1]
    return wall, float(user) + float(system), int(peak) / 1024.0, out.decode(errors="replace")


class Row:
    def __init__(self, name, cmd, megabytes, anchor=None, stdin_path=None, cwd=None, prepare=None, rate=None):
        self.name, self.cmd, self.megabytes, self.anchor = name, cmd, megabytes, anchor
        self.stdin_path, self.cwd, self.prepare, self.rate = stdin_path, cwd, prepare, rate
        self.walls, self.cpus, self.peaks, self.clocks = [], [], [], None

    def measure(self):
        if self.prepare:
            self.prepare()
        stdin = open(self.stdin_path, "rb") if self.stdin_path else None
        wall, cpu, peak, out = run(self.cmd, stdin, self.cwd)
        if stdin:
            stdin.close()
        self.walls.append(wall)
        self.cpus.append(cpu)
        self.peaks.append(peak)
        m = re.search(r"clocks (\d+)", out)
        if m:
            self.clocks = int(m.group(1))


def ratio(rows, row, pick):
    """Median over rounds of row's figure / its anchor's figure."""
    anchor = rows[row.anchor]
    return statistics.median(pick(row, n) / pick(anchor, n) for n in range(len(row.walls)))


def print_group(title, rows, unit="MB/s"):
    print(title)
    print("  %-40s %8s %8s %8s %8s %9s %11s %10s" % ("client (whole process)", unit, "CPU s/MB", "peak MB",
                                                      "x anchor", "CPU x anc.", "syscalls/MB", "clocks/MB"))
    for row in rows.values():
        speed = statistics.median(row.megabytes / w for w in row.walls)
        if row.rate:
            speed = statistics.median(row.rate / w for w in row.walls)
        cpu = statistics.median(row.cpus) / row.megabytes
        peak = statistics.median(row.peaks)
        if row.anchor:
            speed_ratio = "%9.2f" % ratio(rows, row, lambda r, n: 1 / r.walls[n])
            cpu_ratio = "%10.2f" % ratio(rows, row, lambda r, n: r.cpus[n])
        else:
            speed_ratio, cpu_ratio = "%9s" % "anchor", "%10s" % ""
        calls = syscalls(row.cmd) if not row.stdin_path and not row.prepare else None
        calls_text = "%11.0f" % (calls / row.megabytes) if calls else "%11s" % "n/a"
        clocks = "%10.1f" % (row.clocks / row.megabytes) if row.clocks is not None else "%10s" % "n/a"
        print("  %-40s %8.1f %8.4f %8.1f %s %s %s %s" % (row.name, speed, cpu, peak, speed_ratio, cpu_ratio,
                                                         calls_text, clocks))
    print()


def fetchmail_rc(tmp, port, out):
    rc = os.path.join(tmp, "fetchmailrc")
    with open(rc, "w") as f:
        f.write('poll 127.0.0.1 protocol pop3 port %s user "user" password "password" '
                'mda "/bin/sh -c \'cat > %s\'" fetchall sslproto ""\n' % (port, out))
    os.chmod(rc, 0o600)
    return rc


def main():
    tree = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    client, kovmail = os.path.join(tree, "kov_client"), os.path.join(tree, "kovmail")
    env_password = {"KOVMAIL_PASSWORD": "password"}
    os.environ.update(env_password)
    tmp = tempfile.mkdtemp()
    try:
        sink = SmtpSink()
        sport = str(sink.port)
        attachment = os.path.join(tmp, "payload.bin")
        with open(attachment, "wb") as f:
            f.write(os.urandom(ATTACHMENT_BYTES))
        sink.keep_next = True
        run([client, "send", sport, attachment])
        composed = os.path.join(tmp, "composed.eml")
        with open(composed, "wb") as f:
            f.write(sink.kept)
        send_mb = sink.sizes[0] / 1e6
        send = {
            "curl": Row("curl -T (the library's message)", ["curl", "-s", "smtp://127.0.0.1:%s" % sport,
                        "--mail-from", "bench@example.com", "--mail-rcpt", "sink@example.com", "-T", composed],
                        send_mb),
            "lib": Row("library kovSendEmail, KOV_PACING 0", [client, "send", sport, attachment], send_mb, "curl"),
            "kovmail": Row("kovmail send --attach", [kovmail, "send", "--server", "127.0.0.1", "--port", sport,
                           "--from", "bench@example.com", "--to", "sink@example.com", "--subject", "Bench",
                           "--text", "See the attachment.", "--attach", attachment, "-q"], send_mb, "curl"),
            "msmtp": Row("msmtp < message", ["msmtp", "--host=127.0.0.1", "--port=" + sport, "--auth=off",
                         "--tls=off", "--from=bench@example.com", "sink@example.com"], send_mb, "curl",
                         stdin_path=composed),
        }
        pop = Pop3Server(message())
        pport = str(pop.port)
        fetch_mb = pop.size / 1e6
        fetch_dir = os.path.join(tmp, "fetch")
        os.mkdir(fetch_dir)
        fetch = {
            "curl": Row("curl pop3 RETR -o", ["curl", "-s", "pop3://127.0.0.1:%s/1" % pport, "-u",
                        "user:password", "-o", os.path.join(fetch_dir, "curl.eml")], fetch_mb),
            "lib": Row("library kovGetEmailFile raw", [client, "retr", pport, fetch_dir, "kov.eml"], fetch_mb,
                       "curl"),
            "kovmail": Row("kovmail fetch --raw", [kovmail, "fetch", "1", "--server", "127.0.0.1", "--port", pport,
                           "--user", "user", "--raw", "--dir", fetch_dir, "-q"], fetch_mb, "curl"),
            "fetchmail": Row("fetchmail (mda cat)", ["fetchmail", "-s", "-f", fetchmail_rc(tmp, pport,
                             os.path.join(fetch_dir, "fm.eml")), "--nosyslog", "-k"], fetch_mb, "curl"),
            "logged": Row("library raw, with a log", [client, "retr", pport, fetch_dir, "kovlog.eml",
                          os.path.join(tmp, "raw.log")], fetch_mb, "lib"),
        }
        small = {
            "smtp-source": Row("smtp-source -d -m %d -l %d" % (SMALL_COUNT, SMALL_SIZE),
                               ["smtp-source", "-d", "-m", str(SMALL_COUNT), "-l", str(SMALL_SIZE), "-f",
                                "bench@example.com", "-t", "sink@example.com", "127.0.0.1:" + sport],
                               SMALL_COUNT * SMALL_SIZE / 1e6, rate=SMALL_COUNT),
            "lib": Row("library kovSendEmail x %d, one connection" % SMALL_COUNT,
                       [client, "small", sport, str(SMALL_COUNT), str(SMALL_SIZE)], SMALL_COUNT * SMALL_SIZE / 1e6,
                       "smtp-source", rate=SMALL_COUNT),
        }
        payload = os.urandom(ATTACHMENT_BYTES)
        body = base64.encodebytes(payload).replace(b"\n", b"\r\n")
        mime = (b"From: <bench@example.com>\r\nTo: <sink@example.com>\r\nSubject: Bench\r\n"
                b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0\"\r\n\r\n"
                b"--b0\r\nContent-Type: text/plain\r\n\r\nThe file.\r\n--b0\r\n"
                b"Content-Type: application/octet-stream; name=\"payload.bin\"\r\n"
                b"Content-Transfer-Encoding: base64\r\n"
                b"Content-Disposition: attachment; filename=\"payload.bin\"\r\n\r\n" + body + b"--b0--\r\n")
        mime_path = os.path.join(tmp, "mime.eml")
        with open(mime_path, "wb") as f:
            f.write(mime)
        dpop = Pop3Server(mime)
        dport = str(dpop.port)
        decode_mb = dpop.size / 1e6
        dirs = {name: os.path.join(tmp, name) for name in ("kovd", "kovdl", "rip", "mshow")}
        for d in dirs.values():
            os.mkdir(d)

        def fresh(d):
            return lambda: [os.remove(os.path.join(d, n)) for n in os.listdir(d)]

        decode = {
            "mshow": Row("mshow -x (local file)", ["mshow", "-x", mime_path], decode_mb, cwd=dirs["mshow"],
                         prepare=fresh(dirs["mshow"])),
            "ripmime": Row("ripmime -i (local file)", ["ripmime", "-i", mime_path, "-d", dirs["rip"]], decode_mb,
                           "mshow", prepare=fresh(dirs["rip"])),
            "lib": Row("library decoded, over POP3", [client, "decode", dport, dirs["kovd"], "mail.txt"], decode_mb,
                       "mshow", prepare=fresh(dirs["kovd"])),
            "logged": Row("library decoded, with a log", [client, "decode", dport, dirs["kovdl"], "mail.txt",
                          os.path.join(tmp, "decode.log")], decode_mb, "lib", prepare=fresh(dirs["kovdl"])),
        }
        groups = [("One send: 20 MiB attachment, %.1f MB on the wire" % send_mb, send, "MB/s"),
                  ("One fetch: RETR of a %.1f MB message" % fetch_mb, fetch, "MB/s"),
                  ("%d messages of %d bytes on one connection (rate: messages/s)" % (SMALL_COUNT, SMALL_SIZE), small,
                   "msg/s"),
                  ("Decoding a %.1f MB message with a 20 MiB base64 attachment into files" % decode_mb, decode,
                   "MB/s")]
        for n in range(rounds):
            print("round %d of %d" % (n + 1, rounds), file=sys.stderr)
            for _, rows, _ in groups:
                for row in rows.values():
                    row.measure()
        with open(os.path.join(dirs["kovd"], "payload.bin"), "rb") as f:
            if f.read() != payload:
                raise SystemExit("the library's decoded attachment differs")
        for title, rows, unit in groups:
            print_group(title, rows, unit)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()

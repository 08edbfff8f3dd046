#!/usr/bin/env python3
"""Whole-process side by side: each client is one process timed from its
start to its exit (wall, CPU, peak memory), on the same loopback servers, in
several interleaved rounds; the table shows medians, and each row's ratio
to its anchor is the median of the per-round ratios. CPU is user + system
time of the whole child as the kernel counts it (wait4); peak memory is the
child's largest resident size in one more run under /usr/bin/time. System
calls per MB come from one strace -f -c run of each client; clock reads per
MB from the library's own count (benchmark build), for the library's rows
only. A peer that is not installed (curl, msmtp, fetchmail, smtp-source from
Postfix, ripmime, mshow from mblaze) leaves its row out.
Usage: whole_process.py BUILD_TREE [ROUNDS]
"""
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
from pop3_bench import message, mime_message  # noqa: E402

ATTACHMENT_BYTES = 20 << 20
SMALL_COUNT = 1000
SMALL_SIZE = 1000


def run(cmd, stdin=None, cwd=None, peak=False):
    """Wall seconds, CPU seconds and stdout of one child, from its own resource
    use as the kernel counts it (microseconds). With `peak` the child runs
    under /usr/bin/time, and the third figure is its peak resident MB instead:
    the resident size a child of this large process starts with would count
    in its own peak, not so in a child of /usr/bin/time."""
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        child = subprocess.Popen((["/usr/bin/time", "-f", "PEAK %M"] if peak else []) + cmd, stdin=stdin,
                                 stdout=subprocess.PIPE, stderr=err, cwd=cwd)
        out = child.stdout.read()
        child.stdout.close()
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        text = err.read().decode(errors="replace")
    if child.returncode != 0:
        raise SystemExit("%s failed (%d): %s %s" % (" ".join(cmd), child.returncode, out, text))
    if peak:
        return wall, int(re.findall(r"PEAK (\d+)", text)[-1]) / 1024.0, out.decode(errors="replace")
    return wall, usage.ru_utime + usage.ru_stime, out.decode(errors="replace")


class Row:
    def __init__(self, name, cmd, megabytes, anchor=None, stdin_path=None, cwd=None, prepare=None, rate=None):
        self.name, self.cmd, self.megabytes, self.anchor = name, cmd, megabytes, anchor
        self.stdin_path, self.cwd, self.prepare, self.rate = stdin_path, cwd, prepare, rate
        self.walls, self.cpus, self.peak, self.clocks = [], [], None, None

    def run(self, peak=False):
        if self.prepare:
            self.prepare()
        stdin = open(self.stdin_path, "rb") if self.stdin_path else None
        try:
            return run(self.cmd, stdin, self.cwd, peak)
        finally:
            if stdin:
                stdin.close()

    def measure(self):
        wall, cpu, out = self.run()
        self.walls.append(wall)
        self.cpus.append(cpu)
        m = re.search(r"clocks (\d+)", out)
        if m:
            self.clocks = int(m.group(1))

    def measure_peak(self):
        self.peak = self.run(peak=True)[1]


def ratio(rows, row, pick):
    """Median over rounds of row's figure / its anchor's figure, each per MB
    (rows of one group may move different amounts)."""
    anchor = rows[row.anchor]
    return statistics.median((pick(row, n) / row.megabytes) / (pick(anchor, n) / anchor.megabytes)
                             for n in range(len(row.walls)))


def print_group(title, rows, unit="MB/s"):
    print(title)
    print("  %-40s %8s %8s %8s %8s %9s %11s %10s" % ("client (whole process)", unit, "CPU s/MB", "peak MB",
                                                      "x anchor", "CPU x anc.", "syscalls/MB", "clocks/MB"))
    for row in rows.values():
        speed = statistics.median(row.megabytes / w for w in row.walls)
        if row.rate:
            speed = statistics.median(row.rate / w for w in row.walls)
        cpu = statistics.median(row.cpus) / row.megabytes
        if row.anchor in rows:
            speed_ratio = "%9.2f" % (1 / ratio(rows, row, lambda r, n: r.walls[n]))
            cpu_ratio = "%10.2f" % ratio(rows, row, lambda r, n: r.cpus[n])
        else:
            speed_ratio, cpu_ratio = "%9s" % "anchor", "%10s" % ""
        if row.prepare:
            row.prepare()
        calls = syscalls(row.cmd, row.stdin_path, row.cwd)
        calls_text = "%11.0f" % (calls / row.megabytes) if calls else "%11s" % "n/a"
        clocks = "%10.1f" % (row.clocks / row.megabytes) if row.clocks is not None else "%10s" % "n/a"
        print("  %-40s %8.1f %8.4f %8.1f %s %s %s %s" % (row.name, speed, cpu, row.peak, speed_ratio, cpu_ratio,
                                                         calls_text, clocks))
    print()


def fresh(d):
    """A run's preparation: the directory `d` emptied (folders in it too)."""
    def empty():
        for n in os.listdir(d):
            path = os.path.join(d, n)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
    return empty


def measure_rounds(groups, rounds):
    """Every row of every group (dicts of rows) once a round, the rounds
    interleaved, then each row's peak memory in one more run."""
    for n in range(rounds):
        print("round %d of %d" % (n + 1, rounds), file=sys.stderr)
        for rows in groups:
            for row in rows.values():
                row.measure()
    for rows in groups:
        for row in rows.values():
            row.measure_peak()


def kovmail_folder():
    """A new temporary folder, also kovmail's configuration and state folder,
    with kovmail's password in the environment."""
    os.environ["KOVMAIL_PASSWORD"] = "password"
    tmp = tempfile.mkdtemp()
    os.environ["XDG_CONFIG_HOME"] = os.environ["XDG_STATE_HOME"] = tmp
    return tmp


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
        # Each client writes into a directory of its own, emptied before every
        # run: a fetch writes new files, it does not first remove old ones.
        fdirs = {name: os.path.join(tmp, "fetch-" + name) for name in ("curl", "lib", "kovmail", "fm", "log")}
        for d in fdirs.values():
            os.mkdir(d)
        fetch = {
            "curl": Row("curl pop3 RETR -o", ["curl", "-s", "pop3://127.0.0.1:%s/1" % pport, "-u",
                        "user:password", "-o", os.path.join(fdirs["curl"], "curl.eml")], fetch_mb,
                        prepare=fresh(fdirs["curl"])),
            "lib": Row("library kovGetEmailFile raw", [client, "retr", pport, fdirs["lib"], "kov.eml"], fetch_mb,
                       "curl", prepare=fresh(fdirs["lib"])),
            "kovmail": Row("kovmail fetch --raw", [kovmail, "fetch", "1", "--server", "127.0.0.1", "--port", pport,
                           "--user", "user", "--raw", "--dir", fdirs["kovmail"], "-q"], fetch_mb, "curl",
                           prepare=fresh(fdirs["kovmail"])),
            "fetchmail": Row("fetchmail (mda cat)", ["fetchmail", "-s", "-f", fetchmail_rc(tmp, pport,
                             os.path.join(fdirs["fm"], "fm.eml")), "--nosyslog", "-k"], fetch_mb, "curl",
                             prepare=fresh(fdirs["fm"])),
            "logged": Row("library raw, with a log", [client, "retr", pport, fdirs["log"], "kovlog.eml",
                          os.path.join(fdirs["log"], "raw.log")], fetch_mb, "lib", prepare=fresh(fdirs["log"])),
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
        mime = mime_message(payload)
        mime_path = os.path.join(tmp, "mime.eml")
        with open(mime_path, "wb") as f:
            f.write(mime)
        dpop = Pop3Server(mime)
        dport = str(dpop.port)
        decode_mb = dpop.size / 1e6
        dirs = {name: os.path.join(tmp, name) for name in ("kovd", "kovdl", "rip", "mshow")}
        for d in dirs.values():
            os.mkdir(d)
        decode = {
            "mshow": Row("mshow -x (local file)", ["mshow", "-x", mime_path], decode_mb, cwd=dirs["mshow"],
                         prepare=fresh(dirs["mshow"])),
            "ripmime": Row("ripmime -i (local file)", ["ripmime", "-i", mime_path, "-d", dirs["rip"]], decode_mb,
                           "mshow", prepare=fresh(dirs["rip"])),
            "lib": Row("library decoded, over POP3", [client, "decode", dport, dirs["kovd"], "mail.txt"], decode_mb,
                       "mshow", prepare=fresh(dirs["kovd"])),
            "logged": Row("library decoded, with a log", [client, "decode", dport, dirs["kovdl"], "mail.txt",
                          os.path.join(dirs["kovdl"], "decode.log")], decode_mb, "lib", prepare=fresh(dirs["kovdl"])),
        }
        groups = [("One send: 20 MiB attachment, %.1f MB on the wire" % send_mb, send, "MB/s"),
                  ("One fetch: RETR of a %.1f MB message" % fetch_mb, fetch, "MB/s"),
                  ("%d messages of %d bytes on one connection (rate: messages/s)" % (SMALL_COUNT, SMALL_SIZE), small,
                   "msg/s"),
                  ("Decoding a %.1f MB message with a 20 MiB base64 attachment into files" % decode_mb, decode,
                   "MB/s")]
        for _, rows, _ in groups:
            for key in [k for k, row in rows.items() if shutil.which(row.cmd[0]) is None]:
                print("%s is not installed: its row is left out" % rows.pop(key).cmd[0], file=sys.stderr)
        measure_rounds([rows for _, rows, _ in groups], rounds)
        with open(os.path.join(dirs["kovd"], "payload.bin"), "rb") as f:
            if f.read() != payload:
                raise SystemExit("the library's decoded attachment differs")
        for title, rows, unit in groups:
            print_group(title, rows, unit)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()

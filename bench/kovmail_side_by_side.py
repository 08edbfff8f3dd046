#!/usr/bin/env python3
"""kovmail beside msmtp, fetchmail, curl and Python's poplib, each one whole
process on the same loopback servers, in interleaved rounds (medians; "x
anchor" is the median of the per-round ratios to curl):
  - one send of a 20 MiB attachment: kovmail send --attach (composed),
    kovmail send --eml (the same message finished), msmtp < message, curl -T;
  - fetching 1,000 messages of 1,000 bytes on one connection: kovmail
    fetch-all (raw and decoded, into fresh folders), fetchmail (into a BSMTP
    file), curl (1,000 URLs, one connection), Python poplib.
Usage: kovmail_side_by_side.py BUILD_TREE [ROUNDS]
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from loopback_servers import Pop3Server, SmtpSink  # noqa: E402
from whole_process import (ATTACHMENT_BYTES, SMALL_COUNT, SMALL_SIZE, Row, fresh, kovmail_folder,  # noqa: E402
                           measure_rounds, print_group, run)

POPLIB = """
import poplib, sys
box = poplib.POP3("127.0.0.1", int(sys.argv[1]))
box.user("user"); box.pass_("password")
count = len(box.list()[1])
for n in range(1, count + 1):
    with open("%s/%d.eml" % (sys.argv[2], n), "wb") as f:
        f.write(b"\\r\\n".join(box.retr(n)[1]) + b"\\r\\n")
box.quit()
"""


def small_message():
    body = b"x" * 70 + b"\r\n"
    head = b"From: <a@example.com>\r\nTo: <b@example.com>\r\nSubject: small\r\n\r\n"
    text = head + body * ((SMALL_SIZE - len(head)) // len(body))
    return text + b"y" * (SMALL_SIZE - len(text) - 2) + b"\r\n"


def send_rows(tree, tmp, sink):
    kovmail, sport = os.path.join(tree, "kovmail"), str(sink.port)
    attachment = os.path.join(tmp, "payload.bin")
    with open(attachment, "wb") as f:
        f.write(os.urandom(ATTACHMENT_BYTES))
    sink.keep_next = True
    common = ["--server", "127.0.0.1", "--port", sport, "--from", "bench@example.com", "--to", "sink@example.com",
              "-q"]
    run([kovmail, "send"] + common + ["--subject", "Bench", "--text", "See the attachment.", "--attach", attachment])
    composed = os.path.join(tmp, "composed.eml")
    with open(composed, "wb") as f:
        f.write(sink.kept)
    mb = sink.sizes[0] / 1e6
    return {
        "curl": Row("curl -T message.eml", ["curl", "-s", "smtp://127.0.0.1:%s" % sport, "--mail-from",
                    "bench@example.com", "--mail-rcpt", "sink@example.com", "-T", composed], mb),
        "kovmail": Row("kovmail send --attach", [kovmail, "send"] + common + ["--subject", "Bench", "--text",
                       "See the attachment.", "--attach", attachment], mb, "curl"),
        "eml": Row("kovmail send --eml message.eml", [kovmail, "send"] + common + ["--eml", composed], mb, "curl"),
        "msmtp": Row("msmtp < message.eml", ["msmtp", "--host=127.0.0.1", "--port=" + sport, "--auth=off",
                     "--tls=off", "--from=bench@example.com", "sink@example.com"], mb, "curl", stdin_path=composed),
    }


def fetch_rows(tree, tmp, pop):
    kovmail, pport = os.path.join(tree, "kovmail"), str(pop.port)
    mb = SMALL_COUNT * SMALL_SIZE / 1e6
    dirs = {name: os.path.join(tmp, name) for name in ("curl", "raw", "decoded", "py", "fm")}
    for d in dirs.values():
        os.mkdir(d)
    urls = []
    for n in range(1, SMALL_COUNT + 1):
        urls += ["pop3://127.0.0.1:%s/%d" % (pport, n), "-o", os.path.join(dirs["curl"], "%d.eml" % n)]
    rc = os.path.join(tmp, "fetchmailrc")
    with open(rc, "w") as f:
        f.write('poll 127.0.0.1 protocol pop3 port %s user "user" password "password" bsmtp "%s" fetchall '
                'sslproto ""\n' % (pport, os.path.join(dirs["fm"], "out.bsmtp")))
    os.chmod(rc, 0o600)
    kov = [kovmail, "fetch-all", "--server", "127.0.0.1", "--port", pport, "--user", "user", "-q"]
    return {
        "curl": Row("curl, 1,000 URLs, one connection", ["curl", "-s", "-u", "user:password"] + urls, mb,
                    rate=SMALL_COUNT, prepare=fresh(dirs["curl"])),
        "raw": Row("kovmail fetch-all --raw", kov + ["--raw", "--dir", dirs["raw"]], mb, "curl", rate=SMALL_COUNT,
                   prepare=fresh(dirs["raw"])),
        "decoded": Row("kovmail fetch-all (decoded, N.files)", kov + ["--dir", dirs["decoded"]], mb, "curl",
                       rate=SMALL_COUNT, prepare=fresh(dirs["decoded"])),
        "fetchmail": Row("fetchmail (bsmtp file)", ["fetchmail", "-s", "-f", rc, "--nosyslog", "-k"], mb, "curl",
                         rate=SMALL_COUNT, prepare=fresh(dirs["fm"])),
        "poplib": Row("Python poplib", [sys.executable, "-c", POPLIB, pport, dirs["py"]], mb, "curl",
                      rate=SMALL_COUNT, prepare=fresh(dirs["py"])),
    }


def main():
    tree = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    tmp = kovmail_folder()
    try:
        sink = SmtpSink()
        pop = Pop3Server(small_message(), SMALL_COUNT)
        groups = [("One send: 20 MiB attachment, whole processes", send_rows(tree, tmp, sink), "MB/s"),
                  ("fetch-all of %d messages of %d bytes (rate: messages/s)" % (SMALL_COUNT, SMALL_SIZE),
                   fetch_rows(tree, tmp, pop), "msg/s")]
        measure_rounds([rows for _, rows, _ in groups], rounds)
        if len(os.listdir(os.path.join(tmp, "raw"))) != SMALL_COUNT:
            raise SystemExit("kovmail did not save every message")
        for title, rows, unit in groups:
            print_group(title, rows, unit)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()

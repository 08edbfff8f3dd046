#!/usr/bin/env python3
"""TLS benchmark, whole processes: over implicit TLS (TLS 1.3, a P-256
certificate made with the openssl command) to loopback peers built on
Python's ssl (an SMTPS sink, POP3S sources), in the same run:
  - one send of a 20 MiB attachment: the library (kov_client: kovSendEmail,
    KOV_TLS 2, KOV_PACING 0), kovmail send --tls implicit --ca, and curl
    --ssl-reqd uploading the message the library composed;
  - one RETR of a 21 MB message into a file: the library raw, kovmail fetch
    --raw, curl --ssl-reqd;
  - one RETR of a message with a 20 MiB base64 attachment decoded into files
    by the library and kovmail, beside curl saving it undecoded;
  - the socket layer alone (tls_client) and the plain-text library and curl
    as reference rows.
Each client is one process from start to exit, in interleaved rounds; the
table shows medians, and "x anchor" / "CPU x" are the medians of the
per-round ratios per MB to curl --ssl-reqd (speed: higher is better; CPU:
lower is better). Then the heap each established connection holds, logged
in over TLS and in plain text, through the public API.
Usage: tls_bench.py BUILD_TREE [ROUNDS]
"""
import datetime
import os
import platform
import shutil
import ssl
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from loopback_servers import Pop3Server, SmtpSink  # noqa: E402
from pop3_bench import message, mime_message  # noqa: E402
from whole_process import Row, fresh, kovmail_folder, measure_rounds, print_group, run  # noqa: E402

ATTACHMENT_BYTES = 20 << 20
CONNECTIONS = 16
FROM, TO = "bench@example.com", "sink@example.com"


def certificate(tmp):
    cert, key = os.path.join(tmp, "cert.pem"), os.path.join(tmp, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return cert, context


class Bed:
    """The build tree's programs, the certificate and the folders of one run."""

    def __init__(self, tree, tmp):
        self.tmp = tmp
        self.client = os.path.join(tree, "kov_client")
        self.kovmail = os.path.join(tree, "kovmail")
        self.socket_layer = os.path.join(tree, "tls_client")
        self.cert, self.context = certificate(tmp)
        self.tls = ["--tls", self.cert]

    def folder(self, name):
        path = os.path.join(self.tmp, name)
        os.mkdir(path)
        return path

    def curl(self, scheme, port):
        """curl's options and URL prefix for a server on `port`, TLS for an "s" scheme."""
        if not scheme.endswith("s"):
            return ["curl", "-s"], "%s://127.0.0.1:%d" % (scheme, port)
        return (["curl", "-s", "--ssl-reqd", "--cacert", self.cert, "--resolve", "localhost:%d:127.0.0.1" % port],
                "%s://localhost:%d" % (scheme, port))

    def kovmail_fetch(self, port, folder, raw, mb):
        return Row("kovmail fetch%s --tls implicit --ca" % (" --raw" if raw else ""),
                   [self.kovmail, "fetch", "1", "--server", "127.0.0.1", "--port", str(port), "--user", "user",
                    "--tls", "implicit", "--ca", self.cert, "--dir", folder, "-q"] + (["--raw"] if raw else []),
                   mb, "curl", prepare=fresh(folder))


def send_rows(bed, attachment):
    sink, plain = SmtpSink(bed.context), SmtpSink()
    sink.keep_next = True
    run([bed.client] + bed.tls + ["send", str(sink.port), attachment])
    composed = os.path.join(bed.tmp, "composed.eml")
    with open(composed, "wb") as f:
        f.write(sink.kept)
    mb = sink.sizes[0] / 1e6
    envelope = ["--mail-from", FROM, "--mail-rcpt", TO, "-T", composed]
    curl, url = bed.curl("smtps", sink.port)
    plain_curl, plain_url = bed.curl("smtp", plain.port)
    return mb, {
        "curl": Row("curl --ssl-reqd smtps -T (same message)", curl + [url] + envelope, mb),
        "lib": Row("library kovSendEmail, KOV_TLS 2", [bed.client] + bed.tls + ["send", str(sink.port), attachment],
                   mb, "curl"),
        "kovmail": Row("kovmail send --tls implicit --ca", [
            bed.kovmail, "send", "--server", "127.0.0.1", "--port", str(sink.port), "--tls", "implicit", "--ca",
            bed.cert, "--from", FROM, "--to", TO, "--subject", "Bench", "--text", "See the attachment.", "--attach",
            attachment, "-q"], mb, "curl"),
        "socket": Row("socket layer alone, 20 MiB of lines", [bed.socket_layer, "send", str(sink.port), bed.cert, "20"],
                      (20 << 20) / 1e6, "curl"),
        "plain curl": Row("plain text: curl smtp -T", plain_curl + [plain_url] + envelope, mb, "curl"),
        "plain lib": Row("plain text: library kovSendEmail", [bed.client, "send", str(plain.port), attachment], mb,
                         "curl"),
    }


def fetch_rows(bed):
    pop, plain = Pop3Server(message(), tls=bed.context), Pop3Server(message())
    mb = pop.size / 1e6
    dirs = {name: bed.folder("fetch-" + name) for name in ("curl", "lib", "kovmail", "plain-curl", "plain-lib")}
    curl, url = bed.curl("pop3s", pop.port)
    plain_curl, plain_url = bed.curl("pop3", plain.port)
    return mb, {
        "curl": Row("curl --ssl-reqd pop3s RETR -o", curl + [url + "/1", "-u", "user:password", "-o",
                    os.path.join(dirs["curl"], "curl.eml")], mb, prepare=fresh(dirs["curl"])),
        "lib": Row("library kovGetEmailFile raw, KOV_TLS 2", [bed.client] + bed.tls + [
                   "retr", str(pop.port), dirs["lib"], "kov.eml"], mb, "curl", prepare=fresh(dirs["lib"])),
        "kovmail": bed.kovmail_fetch(pop.port, dirs["kovmail"], True, mb),
        "socket": Row("socket layer alone, lines, no file", [bed.socket_layer, "retr", str(pop.port), bed.cert], mb,
                      "curl"),
        "plain curl": Row("plain text: curl pop3 RETR -o", plain_curl + [plain_url + "/1", "-u", "user:password",
                          "-o", os.path.join(dirs["plain-curl"], "curl.eml")], mb, "curl",
                          prepare=fresh(dirs["plain-curl"])),
        "plain lib": Row("plain text: library raw", [bed.client, "retr", str(plain.port), dirs["plain-lib"],
                         "kov.eml"], mb, "curl", prepare=fresh(dirs["plain-lib"])),
    }


def decode_rows(bed, payload):
    pop = Pop3Server(mime_message(payload), tls=bed.context)
    mb = pop.size / 1e6
    dirs = {name: bed.folder("decode-" + name) for name in ("curl", "lib", "kovmail")}
    curl, url = bed.curl("pop3s", pop.port)
    return mb, dirs["lib"], {
        "curl": Row("curl --ssl-reqd RETR -o (undecoded)", curl + [url + "/1", "-u", "user:password", "-o",
                    os.path.join(dirs["curl"], "curl.eml")], mb, prepare=fresh(dirs["curl"])),
        "lib": Row("library decoded, KOV_TLS 2", [bed.client] + bed.tls + [
                   "decode", str(pop.port), dirs["lib"], "mail.txt"], mb, "curl", prepare=fresh(dirs["lib"])),
        "kovmail": bed.kovmail_fetch(pop.port, dirs["kovmail"], False, mb),
    }


def per_connection(cmd):
    _, _, out = run(cmd)
    return int(out.split()[3])


def print_memory(bed):
    """The heap each logged-in POP3 connection holds through the public API,
    over TLS and in plain text, CONNECTIONS at once."""
    tls_pop, plain_pop = Pop3Server(b"Subject: m\r\n\r\nx\r\n", tls=bed.context), Pop3Server(b"Subject: m\r\n\r\nx\r\n")
    tls = per_connection([bed.client] + bed.tls + ["memory", str(tls_pop.port), str(CONNECTIONS)])
    plain = per_connection([bed.client, "memory", str(plain_pop.port), str(CONNECTIONS)])
    _, _, out = run([bed.socket_layer, "memory", str(tls_pop.port), bed.cert, str(CONNECTIONS)])
    buffers = int(out.split()[1])
    print("Heap per logged-in POP3 connection, %d at once (kovPop3Connect, own CA file): %d bytes over TLS, %d in"
          " plain text; TLS adds %d, of which %d are the socket layer's ciphertext buffers and the rest OpenSSL's"
          " session" % (CONNECTIONS, tls, plain, tls - plain, buffers))


def print_machine():
    """When, where and under what load (at the end of the rounds) the figures were taken."""
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
                 platform.machine())
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    print("%s, %d cores, %s, load %.2f %.2f %.2f, %s" % ((now, os.cpu_count(), model) + os.getloadavg() +
                                                        (ssl.OPENSSL_VERSION,)))


def main():
    tree = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    tmp = kovmail_folder()
    try:
        bed = Bed(tree, tmp)
        attachment, payload = os.path.join(tmp, "payload.bin"), os.urandom(ATTACHMENT_BYTES)
        with open(attachment, "wb") as f:
            f.write(payload)
        send_mb, send = send_rows(bed, attachment)
        fetch_mb, fetch = fetch_rows(bed)
        decode_mb, decoded_dir, decode = decode_rows(bed, payload)
        groups = [("Over TLS 1.3: one send, 20 MiB attachment, %.1f MB on the wire" % send_mb, send),
                  ("Over TLS 1.3: one RETR of a %.1f MB message into a file" % fetch_mb, fetch),
                  ("Over TLS 1.3: one RETR of %.1f MB, a 20 MiB base64 attachment decoded into files" % decode_mb,
                   decode)]
        if shutil.which("curl") is None:
            raise SystemExit("curl is not installed: it is the anchor of every row")
        measure_rounds([rows for _, rows in groups], rounds)
        with open(os.path.join(decoded_dir, "payload.bin"), "rb") as f:
            if f.read() != payload:
                raise SystemExit("the library's decoded attachment differs")
        print_machine()
        for title, rows in groups:
            print_group(title, rows)
        print_memory(bed)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()

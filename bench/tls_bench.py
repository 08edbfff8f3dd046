#!/usr/bin/env python3
"""TLS benchmark: 20 MiB sent over implicit TLS to a loopback SMTP sink and a
21 MB message received from a loopback POP3 server (both Python's ssl, TLS
1.3, a P-256 certificate made with the openssl command), by the socket layer
(tls_client: WexlSend / WexlReadLine over an OpenSSL session) and by curl
--ssl-reqd against the same peers. Prints MB/s, CPU seconds per MB and system
calls per MB, and the heap each established TLS connection of the library
holds.
Usage: tls_bench.py PATH_OF_tls_client
"""
import os
import ssl
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from bench_run import best_of, print_table, run, syscalls  # noqa: E402
from loopback_servers import Pop3Server, SmtpSink  # noqa: E402

SEND_MIB = 20
MESSAGE_BYTES = 21 * 1000 * 1000
RUNS = 3
CONNECTIONS = 16


def certificate(tmp):
    cert, key = os.path.join(tmp, "cert.pem"), os.path.join(tmp, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=localhost",
                    "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return cert, context


def message():
    """76-character lines up to the size, none starting with a period."""
    line = b"".join(bytes([33 + i]) for i in range(76)) + b"\r\n"
    return line * (MESSAGE_BYTES // len(line))


def main():
    client = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        cert, context = certificate(tmp)
        sink = SmtpSink(context)
        pop3 = Pop3Server(message(), tls=context)
        upload = os.path.join(tmp, "upload.txt")
        with open(upload, "wb") as f:
            f.write(message()[: SEND_MIB << 20])
        resolve = lambda port: ["--resolve", "localhost:%d:127.0.0.1" % port]  # noqa: E731
        curl = ["curl", "-s", "--ssl-reqd", "--cacert", cert]
        send_cmd = [client, "send", str(sink.port), cert, str(SEND_MIB)]
        retr_cmd = [client, "retr", str(pop3.port), cert]
        curl_send = curl + resolve(sink.port) + ["smtps://localhost:%d" % sink.port, "--mail-from", "a@example.com",
                                                 "--mail-rcpt", "b@example.com", "-T", upload]
        curl_retr = curl + resolve(pop3.port) + ["pop3s://localhost:%d/1" % pop3.port, "-u", "user:password",
                                                 "-o", os.path.join(tmp, "curl.eml")]
        sent_mb = (SEND_MIB << 20) / 1e6
        got_mb = pop3.size / 1e6
        ks, kr = best_of(RUNS, send_cmd), best_of(RUNS, retr_cmd)
        cs, cr = best_of(RUNS, curl_send), best_of(RUNS, curl_retr)
        print_table("TLS 1.3 over loopback: %.1f MB sent (SMTPS DATA), %.1f MB received (POP3S RETR)" % (sent_mb, got_mb), [
            ("socket layer, send", sent_mb, ks.inner_seconds, ks.cpu, syscalls(send_cmd)),
            ("curl --ssl-reqd smtps upload", sent_mb, cs.wall, cs.cpu, syscalls(curl_send)),
            ("socket layer, receive", got_mb, kr.inner_seconds, kr.cpu, syscalls(retr_cmd)),
            ("curl --ssl-reqd pop3s RETR", got_mb, cr.wall, cr.cpu, syscalls(curl_retr)),
        ])
        print("  library's own count (handshake included): %.1f socket calls per MB sent, %.1f per MB received" % (
            ks.inner_syscalls / sent_mb, kr.inner_syscalls / got_mb))
        _, out, err, status = run([client, "memory", str(pop3.port), cert, str(CONNECTIONS)])
        if status != 0:
            raise SystemExit("memory run failed: " + out + err)
        fields = out.split()
        print("  heap per established TLS connection (%d at once, own CA file): %s bytes, of which %s are the"
              " socket layer's ciphertext buffers" % (CONNECTIONS, fields[3], fields[1]))


if __name__ == "__main__":
    main()

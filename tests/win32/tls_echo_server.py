#!/usr/bin/env python3
"""TLS echo servers on 127.0.0.1 for the Windows TLS session test.

Usage: tls_echo_server.py <dir>. <dir> holds the certificates that
tls_session.sh made. One listener per case, each on a free port; when all
listen, "<case> <port>" lines appear in <dir>/ports (written whole, then
renamed). Every connection echoes what it receives; after a line "BYE" it
sends close_notify and closes. The case "plain" speaks no TLS: it answers
whatever comes with a line of text and waits. Runs until killed.
"""
import os
import socket
import ssl
import sys
import threading
import warnings

CASES = {
    # case: (file name of certificate and key, lowest version, highest version)
    "good": ("localhost", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "tls12": ("localhost", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.TLSv1_2),
    "tls13": ("localhost", ssl.TLSVersion.TLSv1_3, ssl.TLSVersion.TLSv1_3),
    "tls10": ("localhost", ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1_1),
    "other": ("other", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
    "self": ("self", ssl.TLSVersion.TLSv1_2, ssl.TLSVersion.MAXIMUM_SUPPORTED),
}


def echo(raw, context):
    try:
        conn = context.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError):
        raw.close()
        return
    tail = b"\n"
    try:
        while True:
            data = conn.recv(65536)
            if not data:
                break
            conn.sendall(data)
            tail = (tail + data)[-6:]
            if tail.endswith(b"\nBYE\r\n"):
                conn = conn.unwrap()
                break
    except (OSError, ssl.SSLError):
        pass
    finally:
        conn.close()


def serve(listener, context):
    # Each connection shakes hands on its own thread: a client that never
    # does holds nobody else up.
    while True:
        raw, _ = listener.accept()
        threading.Thread(target=echo, args=(raw, context), daemon=True).start()


def answer_in_plain_text(listener):
    while True:
        conn, _ = listener.accept()
        conn.recv(65536)
        conn.sendall(b"-ERR this server speaks no TLS\r\n")
        # Left open: the client must fail on the text, not on the end.
        threading.Thread(target=conn.recv, args=(1,), daemon=True).start()


def listen():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    return listener


def main():
    warnings.simplefilter("ignore", DeprecationWarning)  # TLS 1.0 and 1.1, on purpose
    directory = sys.argv[1]
    lines = []
    threads = []
    for case, (name, lowest, highest) in CASES.items():
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        if lowest < ssl.TLSVersion.TLSv1_2:
            context.set_ciphers("DEFAULT:@SECLEVEL=0")  # the old versions at all
        context.minimum_version = lowest
        context.maximum_version = highest
        context.load_cert_chain(os.path.join(directory, name + ".pem"),
                                os.path.join(directory, name + ".key"))
        listener = listen()
        lines.append("%s %d\n" % (case, listener.getsockname()[1]))
        thread = threading.Thread(target=serve, args=(listener, context), daemon=True)
        thread.start()
        threads.append(thread)
    listener = listen()
    lines.append("plain %d\n" % listener.getsockname()[1])
    thread = threading.Thread(target=answer_in_plain_text, args=(listener,), daemon=True)
    thread.start()
    threads.append(thread)
    with open(os.path.join(directory, "ports.tmp"), "w") as out:
        out.writelines(lines)
    os.rename(os.path.join(directory, "ports.tmp"), os.path.join(directory, "ports"))
    for thread in threads:
        thread.join()


if __name__ == "__main__":
    main()

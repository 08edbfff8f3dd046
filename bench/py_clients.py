"""The Python side of the benchmarks: smtplib with the email package, and
poplib. Prints "bytes B seconds S" for the part that moves the data.

  py_clients.py send PORT FILE          one message, FILE as the attachment
  py_clients.py small PORT COUNT SIZE   COUNT messages of SIZE text bytes, one connection
  py_clients.py retr PORT OUTFILE       RETR 1 into OUTFILE
  py_clients.py decode PORT DIR         RETR 1, its attachments saved into DIR
"""
import os
import poplib
import smtplib
import sys
import time
from email import message_from_bytes, policy
from email.message import EmailMessage


def message(text, attachment=None):
    msg = EmailMessage()
    msg["From"] = "<bench@example.com>"
    msg["To"] = "<sink@example.com>"
    msg["Subject"] = "Bench"
    msg.set_content(text)
    if attachment is not None:
        with open(attachment, "rb") as f:
            msg.add_attachment(f.read(), maintype="application", subtype="octet-stream",
                               filename=os.path.basename(attachment))
    return msg


def send(port, path):
    start = time.perf_counter()
    msg = message("See the attachment.", path)
    with smtplib.SMTP("127.0.0.1", port) as smtp:
        smtp.send_message(msg)
        seconds = time.perf_counter() - start
    print("bytes %d seconds %.6f" % (len(msg.as_bytes()), seconds))


def small(port, count, size):
    text = ("The quick brown fox jumps over the lazy dog, again.\n" * (size // 50 + 1))[:size]
    with smtplib.SMTP("127.0.0.1", port) as smtp:
        start = time.perf_counter()
        for _ in range(count):
            smtp.send_message(message(text))
        seconds = time.perf_counter() - start
    print("bytes %d seconds %.6f" % (count * size, seconds))


def retr(port, out):
    pop = poplib.POP3("127.0.0.1", port)
    pop.user("user")
    pop.pass_("password")
    start = time.perf_counter()
    _, lines, octets = pop.retr(1)
    with open(out, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")
    seconds = time.perf_counter() - start
    pop.quit()
    print("bytes %d seconds %.6f" % (octets, seconds))


def decode(port, out_dir):
    pop = poplib.POP3("127.0.0.1", port)
    pop.user("user")
    pop.pass_("password")
    start = time.perf_counter()
    _, lines, octets = pop.retr(1)
    msg = message_from_bytes(b"\r\n".join(lines) + b"\r\n", policy=policy.default)
    for part in msg.iter_attachments():
        with open(os.path.join(out_dir, part.get_filename()), "wb") as f:
            f.write(part.get_payload(decode=True))
    seconds = time.perf_counter() - start
    pop.quit()
    print("bytes %d seconds %.6f" % (octets, seconds))


if __name__ == "__main__":
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "send":
        send(int(args[0]), args[1])
    elif mode == "small":
        small(int(args[0]), int(args[1]), int(args[2]))
    elif mode == "retr":
        retr(int(args[0]), args[1])
    elif mode == "decode":
        decode(int(args[0]), args[1])

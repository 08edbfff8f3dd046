#!/usr/bin/env python3
"""Checks a message composed in Unicode mode with Python's email package.

Usage: check_composed.py MESSAGE EXPECTED_JSON
EXPECTED_JSON holds: subject, from_name, to_names (list), body, attachments
(list of file names), and for HTML mail texts: the alternative text and the
HTML in order (else the body is the one text). Every text must be UTF-8 and
go as base64 when more than a third of its bytes are 8-bit, else as
quoted-printable. Prints one line per fault and exits 1 when there is one.
"""
import email
import email.policy
import json
from email.header import decode_header, make_header
from email.utils import getaddresses
import sys


def faults(raw, want):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    found = []
    head = raw.split(b"\r\n\r\n", 1)[0]
    for line in raw.split(b"\r\n"):
        if any(b >= 0x80 for b in line) and line in head.split(b"\r\n"):
            found.append("8-bit header line: %r" % line)
    # The encoded words of a Content-Type name parameter, written for readers
    # that know no RFC 2231, are the one defect Python may note; the name must
    # still read back whole.
    tolerated = ("encoded word inside quoted string", "missing trailing whitespace after encoded-word")
    for part in msg.walk():
        if part.defects:
            found.append("defects: %r" % part.defects)
        for name, value in part.items():
            defects = [d for d in getattr(value, "defects", []) if not (name == "Content-Type" and str(d) in tolerated)]
            if defects:
                found.append("defects in %s: %r" % (name, defects))
        if part.get_filename() is not None and part.get_param("name") != part.get_filename():
            found.append("name %r != %r" % (part.get_param("name"), part.get_filename()))
    for line in head.split(b"\r\n"):
        if len(line) > 78:
            found.append("header line of %d: %r" % (len(line), line[:90]))
    if msg["Subject"] != want["subject"]:
        found.append("subject %r != %r" % (msg["Subject"], want["subject"]))
    # Display names are decoded as RFC 2047 says (the blanks between adjacent
    # encoded words dropped): Python's default policy keeps them in a phrase.
    old = email.message_from_bytes(raw, policy=email.policy.compat32)
    names = [str(make_header(decode_header(n))) for n, _ in getaddresses(old.get_all("From"))]
    if names != [want["from_name"]]:
        found.append("from %r != %r" % (names, want["from_name"]))
    names = [str(make_header(decode_header(n))) for n, _ in getaddresses(old.get_all("To"))]
    if names != want["to_names"]:
        found.append("to %r != %r" % (names, want["to_names"]))
    if not msg["Message-ID"]:
        found.append("no Message-ID")
    files = []
    texts = []
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_filename() is not None:
            files.append(part.get_filename())
            continue
        if part["Content-Transfer-Encoding"] == "quoted-printable":
            for line in part.as_bytes().split(b"\n"):
                if len(line.rstrip(b"\r")) > 76:
                    found.append("quoted-printable line of %d" % len(line.rstrip(b"\r")))
        texts.append(part)
    if files != want["attachments"]:
        found.append("attachments %r != %r" % (files, want["attachments"]))
    wanted = want.get("texts") or [want["body"]]
    if len(texts) != len(wanted):
        found.append("%d texts, not %d" % (len(texts), len(wanted)))
    for part, text in zip(texts, wanted):
        content = part.get_content()
        if content.replace("\r\n", "\n").rstrip("\n") != text.replace("\r\n", "\n").rstrip("\n"):
            found.append("text %r != %r" % (content, text))
        raw_text = text.encode("utf-8")
        cte = "base64" if 3 * sum(1 for b in raw_text if b >= 0x80) > len(raw_text) else "quoted-printable"
        if part["Content-Transfer-Encoding"] != cte or (part.get_content_charset() or "").lower() != "utf-8":
            found.append("%s as %s %s, not %s UTF-8" % (part.get_content_type(), part["Content-Transfer-Encoding"],
                                                        part.get_content_charset(), cte))
    return found


def main():
    raw = open(sys.argv[1], "rb").read()
    want = json.load(open(sys.argv[2], encoding="utf-8"))
    found = faults(raw, want)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

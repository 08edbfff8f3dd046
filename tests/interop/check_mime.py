#!/usr/bin/env python3
"""Checks messages as a real server stored them against what was sent.

    check_mime.py MANIFEST

MANIFEST is a JSON file: {"messages": [MESSAGE, ...]}, each MESSAGE with
  file         the stored message (a Maildir file or a spool .eml)
  subject      the Subject it was sent with
  body_type    0 plain, 1 plain quoted-printable, 2 HTML
  text_file    a file with the message text as given to the sender
  alt_file     a file with the plain alternative of an HTML text, or null
  text_attach  true when attachments went as text lines, not base64
  attachments  [{"path": file sent, "name": name shown, "image": bool}, ...]

Every message is parsed with the standard library's MIME parser (policy
default) and must hold no defects, in the message, any part or any header.
Texts must equal what was sent after what the sender does to them:
  plain and HTML  bytes outside 32..126 become '~' and lines may be broken,
                  so they are compared without their line breaks;
  alternative     lines may be broken, bytes are otherwise unchanged;
  quoted-printable  decodes back to the text, line ends aside.
Attachments must decode to the bytes of their files. Prints one line per
message; exits 1 when any message fails.
"""
import json
import sys
from email import message_from_bytes, policy

PLAIN_LINE_LIMIT = 78
MAX_LINE_OCTETS = 998


def shown_bytes(data):
    """The text as plain and HTML lines show it: other bytes become '~'."""
    return bytes(b if 32 <= b <= 126 or b in (13, 10) else 0x7E for b in data)


def without_breaks(data):
    return data.replace(b"\r", b"").replace(b"\n", b"")


def unified_line_ends(data):
    return data.replace(b"\r\n", b"\n").rstrip(b"\n")


def raw_lines(part):
    return part.get_payload(decode=True).replace(b"\r\n", b"\n").split(b"\n")


class Check:
    def __init__(self, entry):
        self.entry = entry
        self.faults = []

    def expect(self, condition, what):
        if not condition:
            self.faults.append(what)
        return condition

    def text(self, part, sent, label, line_limit):
        got = part.get_payload(decode=True)
        self.expect(without_breaks(got) == without_breaks(shown_bytes(sent)), f"{label} differs from the text sent")
        longest = max(len(line) for line in raw_lines(part))
        self.expect(longest <= line_limit, f"{label} has a line of {longest} octets")

    def quoted(self, part, sent, label):
        self.expect(part["content-transfer-encoding"] == "quoted-printable", f"{label} is not quoted-printable")
        got = part.get_payload(decode=True)
        self.expect(unified_line_ends(got) == unified_line_ends(sent), f"{label} does not decode to the text sent")

    def body(self, parts):
        entry = self.entry
        with open(entry["text_file"], "rb") as f:
            sent = f.read()
        html = entry["body_type"] == 2
        main_type = "text/html" if html else "text/plain"
        expected = 2 if entry["alt_file"] else 1
        if not self.expect(len(parts) == expected, f"{len(parts)} text parts, {expected} expected"):
            return
        if entry["alt_file"]:
            alt = parts.pop(0)
            self.expect(alt.get_content_type() == "text/plain", "alternative is not text/plain")
            with open(entry["alt_file"], "rb") as f:
                alt_sent = f.read()
            got = alt.get_payload(decode=True)
            self.expect(without_breaks(got) == without_breaks(alt_sent), "alternative differs from the text sent")
        main = parts[0]
        self.expect(main.get_content_type() == main_type, f"main text is {main.get_content_type()}")
        if entry["body_type"] == 1:
            self.quoted(main, sent, "main text")
        else:
            self.text(main, sent, "main text", MAX_LINE_OCTETS if html else PLAIN_LINE_LIMIT)

    def attachment(self, part, expected, image_number):
        name = expected["name"]
        with open(expected["path"], "rb") as f:
            sent = f.read()
        disposition = part.get_content_disposition()
        if expected["image"]:
            self.expect(part.get_content_type() == "image/jpeg", f"{name} is {part.get_content_type()}")
            self.expect(part["content-id"] == f"<message-root.{image_number}>", f"{name} has Content-ID {part['content-id']}")
            self.expect(disposition == "inline", f"{name} is not inline")
        elif self.entry["text_attach"]:
            self.expect(part.get_content_type() == "text/plain", f"{name} is {part.get_content_type()}")
        else:
            self.expect(part.get_content_type() == "application/octet-stream", f"{name} is {part.get_content_type()}")
            self.expect(disposition == "attachment", f"{name} is not an attachment")
        if self.entry["text_attach"] and self.entry["body_type"] == 1:
            self.quoted(part, sent, name)
        elif self.entry["text_attach"]:
            self.text(part, sent, name, PLAIN_LINE_LIMIT)
        else:
            self.expect(part["content-transfer-encoding"] == "base64", f"{name} is not base64")
            self.expect(part.get_payload(decode=True) == sent, f"{name} differs from its file ({len(sent)} bytes)")

    def defects(self, msg):
        for part in msg.walk():
            found = list(part.defects)
            for header, value in part.items():
                found += [f"{header}: {d!r}" for d in getattr(value, "defects", ())]
            self.expect(not found, f"defects in {part.get_content_type()}: {found}")

    def run(self):
        entry = self.entry
        with open(entry["file"], "rb") as f:
            msg = message_from_bytes(f.read(), policy=policy.default)
        self.expect(msg["subject"] == entry["subject"], f"subject is {msg['subject']!r}")
        with_parts = entry["body_type"] != 0 or entry["attachments"]
        self.expect(msg.is_multipart() == bool(with_parts), "multipart when it should not be, or the reverse")
        leaves = [p for p in msg.walk() if not p.is_multipart()]
        texts = [p for p in leaves if p.get_filename() is None]
        files = [p for p in leaves if p.get_filename() is not None]
        self.body(texts)
        names = [p.get_filename() for p in files]
        wanted = [a["name"] for a in entry["attachments"]]
        if self.expect(names == wanted, f"attachments {names}, expected {wanted}"):
            images = 0
            for part, expected in zip(files, entry["attachments"]):
                images += 1 if expected["image"] else 0
                self.attachment(part, expected, images)
        # Decoding registers its own defects (bad base64), so this comes last.
        self.defects(msg)
        return self.faults


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        manifest = json.load(f)
    failed = 0
    for entry in manifest["messages"]:
        try:
            faults = Check(entry).run()
        except Exception as error:  # a parse or read failure is a failed check, not a crash
            faults = [f"{type(error).__name__}: {error}"]
        if faults:
            failed += 1
            print(f"FAIL {entry['subject']} ({entry['file']}): " + "; ".join(faults))
        else:
            print(f"ok   {entry['subject']}")
    print(f"{len(manifest['messages']) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

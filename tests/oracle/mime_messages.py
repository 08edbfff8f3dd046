#!/usr/bin/env python3
"""Builds realistic messages with Python's email package and writes, for each,
the message as a download hands it to the decoder (CRLF line ends, after the
status line, dot-unstuffed) and the bytes Python's own parser decodes for every
part that the decoder saves under a name.

    mime_messages.py OUTDIR

OUTDIR/NN.eml is a message; OUTDIR/NN/NAME holds the decoded bytes of the part
saved as NAME (bytes outside letters, digits, '.', '_' and '-' written as %XX).
Standard library only; deterministic."""

import base64
import email
import email.policy
import os
import random
import sys
from email.message import EmailMessage

rnd = random.Random(20240601)
messages = []  # (raw bytes, [saved names, in the order of the named parts])


def escaped(name):
    return ''.join(chr(b) if (chr(b).isascii() and chr(b).isalnum()) or chr(b) in '._-' else '%%%02X' % b for b in name.encode('latin-1'))


def blob(size):
    return rnd.randbytes(size)


def text_lines(count, width=60, ascii=False):
    words = ['alpha', 'beta', '.dot', 'caf' if ascii else 'caf\xe9', '=eq', 'x' * 30, 'tab\there', '+OK', '--dash']
    lines = []
    for _ in range(count):
        line = ' '.join(rnd.choice(words) for _ in range(rnd.randrange(1, width // 6)))
        lines.append(line)
    return '\n'.join(lines) + '\n'


def generated(build):
    m = EmailMessage()
    m['From'] = 'Ann <ann@example.org>'
    m['To'] = 'bob@example.org'
    m['Subject'] = 'message %d' % len(messages)
    expected = build(m)
    raw = m.as_bytes(policy=email.policy.SMTP)
    messages.append((raw, expected))


def attach_binary(sizes):
    def build(m):
        m.set_content(text_lines(5))
        names = []
        for i, size in enumerate(sizes):
            name = 'file%d-%d.bin' % (i, size)
            m.add_attachment(blob(size), maintype='application', subtype='octet-stream', filename=name)
            names.append(name)
        return names
    return build


def attach_quoted_bytes(build_m):
    build_m.set_content('see the attachments\n')
    data = bytes(rnd.choice(b'abc =.\r\n\t\xe9\x00\xff') for _ in range(3000))
    build_m.add_attachment(data, maintype='application', subtype='octet-stream', filename='qp.bin',
                           cte='quoted-printable')
    return ['qp.bin']


def attach_texts(build_m):
    build_m.set_content(text_lines(20))
    build_m.add_attachment(text_lines(40), subtype='plain', filename='lines-qp.txt', cte='quoted-printable',
                           charset='iso-8859-1')
    build_m.add_attachment(text_lines(30, ascii=True).encode().replace(b'\n', b'\r\n'), maintype='text',
                           subtype='plain', filename='seven.txt', cte='7bit')
    build_m.add_attachment(text_lines(30).encode('latin-1').replace(b'\n', b'\r\n'), maintype='text',
                           subtype='plain', filename='eight.txt', cte='8bit')
    return ['lines-qp.txt', 'seven.txt', 'eight.txt']


def alternative_with_attachment(build_m):
    build_m.set_content(text_lines(8))
    build_m.add_alternative('<p>%s</p>\n' % text_lines(3), subtype='html')
    build_m.add_attachment(blob(4000), maintype='image', subtype='png', filename='picture.png')
    return ['picture.png']


for sizes in ([0], [1], [2], [3], [57], [58], [1000, 1001], [65543], [300 * 1024], [10, 20, 30, 40],
              [999]) + tuple([rnd.randrange(1, 50000) for _ in range(3)] for _ in range(6)):
    generated(attach_binary(sizes))
for _ in range(4):
    generated(attach_quoted_bytes)
for _ in range(4):
    generated(attach_texts)
for _ in range(3):
    generated(alternative_with_attachment)


def hand_built(header_lines, parts, boundary='hand-built-boundary'):
    """parts: (part header lines, body text, saved name or None)."""
    out = list(header_lines) + ['MIME-Version: 1.0', 'Content-Type: multipart/mixed;',
                                '\tboundary="%s"' % boundary, '']
    expected = []
    for headers, body, name in parts:
        out += ['--' + boundary] + headers + [''] + body.split('\n')
        if name is not None:
            expected.append(name)
    out += ['--' + boundary + '--', '']
    raw = '\r\n'.join(out).encode('latin-1')
    messages.append((raw, expected))


def b64_lines(data, width=76):
    s = base64.b64encode(data).decode()
    return '\n'.join(s[i:i + width] for i in range(0, len(s), width))


big = blob(6000)
hand_built(['Subject: long line'], [
    (['Content-Type: application/octet-stream; name="one-line.bin"', 'Content-Transfer-Encoding: base64'],
     base64.b64encode(big).decode(), 'one-line.bin'),
])
hand_built(['Subject: =?iso-8859-1?q?encoded_names?='], [
    (['Content-Type: application/octet-stream;', ' name="=?iso-8859-1?q?caf=E9_1.bin?="',
      'Content-Transfer-Encoding: base64'], b64_lines(blob(700)), 'caf\xe9_1.bin'),
    (['Content-Type: application/octet-stream', 'Content-Transfer-Encoding: base64',
      'Content-Disposition: attachment;', '\tfilename="=?iso-8859-1?b?%s?="' % base64.b64encode(
          'r\xe9sum\xe9.pdf'.encode('latin-1')).decode()], b64_lines(blob(900)), 'r\xe9sum\xe9.pdf'),
])
hand_built(['Subject: dots and folds', 'X-Folded: a', ' b'], [
    (['Content-Type: text/plain; name=dots.txt', 'Content-Transfer-Encoding: 7bit'],
     '.starts with a dot\n..two dots\n.\nend', 'dots.txt'),
    (['Content-Type: text/plain; charset=iso-8859-1', 'Content-Transfer-Encoding: quoted-printable',
      'Content-Disposition: attachment; filename=soft.txt'],
     'a soft=\nbreak, caf=E9 =3D, trailing blanks   \n' + 'y' * 2000 + '=41\nlast', 'soft.txt'),
])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for number, (raw, expected) in enumerate(messages):
        stem = os.path.join(out, '%02d' % number)
        with open(stem + '.eml', 'wb') as f:
            f.write(raw)
        parsed = email.message_from_bytes(raw, policy=email.policy.default)
        named = [p for p in parsed.walk() if not p.is_multipart() and
                 (p.get_param('name') is not None or p.get_param('filename', header='content-disposition'))]
        os.makedirs(stem, exist_ok=True)
        for position, name in enumerate(expected):
            payload = named[position].get_payload(decode=True)
            with open(os.path.join(stem, escaped(name)), 'wb') as f:
                f.write(payload)


main()

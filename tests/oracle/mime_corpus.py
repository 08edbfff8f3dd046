#!/usr/bin/env python3
"""Builds messages laid out as common mail programs write them (multipart/related
HTML with inline images, RFC 2231 and encoded-word names in many character sets,
header fields in unusual orders, uuencoded parts), adds the email test messages of Python's own
test suite when they are installed, and writes for each what Python's email
package extracts: every part with a file name, under that name after the
decoder's safety rules.

    mime_corpus.py OUTDIR

OUTDIR/NNN.eml is a message (CRLF line ends); OUTDIR/NNN/ holds one file per
extracted part, named with bytes outside letters, digits, '.', '_' and '-' as
%XX (the name's UTF-8 bytes). Standard library only; deterministic."""

import base64
import email
import email.policy
import glob
import os
import random
import sys
import urllib.parse
from email.header import Header

rnd = random.Random(20250117)
messages = []

NAMES = [('utf-8', 'てすと.txt'), ('utf-8', 'Grüße aus Köln.pdf'), ('iso-8859-1', 'résumé final.doc'),
         ('iso-8859-2', 'Łódź plan.xls'), ('windows-1251', 'Отчёт 2024.docx'), ('koi8-r', 'Привет.zip'),
         ('iso-8859-15', 'prix €.csv'), ('windows-1252', 'naïve café.rtf'), ('utf-8', '数据 表.xlsx'),
         ('windows-1250', 'Škoda Octavia.jpg'), ('iso-8859-7', 'Ελλάδα.png'), ('utf-8', 'plain-ascii name.bin'),
         ('utf-8', 'emoji 😀 file.txt'), ('iso-8859-9', 'İstanbul şehir.txt')]


def b64(data, width=76):
    s = base64.b64encode(data).decode()
    return [s[i:i + width] for i in range(0, len(s), width)] or ['']


def word(charset, text, kind):
    raw = text.encode(charset)
    if kind == 'B':
        return '=?%s?B?%s?=' % (charset, base64.b64encode(raw).decode())
    q = ''.join(chr(b) if (chr(b).isalnum() and b < 128) else '_' if b == 32 else '=%02X' % b for b in raw)
    return '=?%s?Q?%s?=' % (charset, q)


def name_params(charset, name, style, key):
    """Header parameter lines that carry `name` as the given program would."""
    if style == 'rfc2231':
        return ["%s*=%s''%s" % (key, charset, urllib.parse.quote(name.encode(charset), safe=''))]
    if style == 'rfc2231-split':
        enc = urllib.parse.quote(name.encode(charset), safe='')
        cut = [enc[i:i + 20] for i in range(0, len(enc), 20)]
        while cut[-1].endswith('%') or (len(cut[-1]) > 1 and cut[-1][-2] == '%'):
            cut[-1:] = [cut[-1][:-1], cut[-1][-1:]]  # never split inside %XX
        fixed, rest = [], ''
        for c in cut:
            c = rest + c
            k = c.rfind('%')
            rest = c[k:] if 0 <= k > len(c) - 3 else ''
            fixed.append(c[:len(c) - len(rest)])
        if rest:
            fixed.append(rest)
        order = list(range(len(fixed)))
        if rnd.random() < 0.3:
            order.reverse()
        return ["%s*%d*=%s%s" % (key, i, "%s''" % charset if i == 0 else '', fixed[i]) for i in order]
    if style in ('B', 'Q'):
        return ['%s="%s"' % (key, word(charset, name, style))]
    return ['%s="%s"' % (key, name)]


def attachment(charset, name, style, data, disposition='attachment', ctype='application/octet-stream', extra=()):
    ct = ['Content-Type: %s;' % ctype] + [' ' + p for p in name_params(charset, name, style, 'name')]
    cd = ['Content-Disposition: %s;' % disposition] + [' ' + p for p in name_params(charset, name, style, 'filename')]
    for lines in (ct, cd):
        for i in range(len(lines) - 1):
            lines[i] += ';' if not lines[i].endswith(';') else ''
    headers = ct + list(extra) + ['Content-Transfer-Encoding: base64'] + cd
    if rnd.random() < 0.3:
        headers = cd + headers[:len(ct)] + headers[len(ct):-len(cd)]
    return headers + [''] + b64(data, rnd.choice([76, 72, 64]))


def text_part(ctype, charset, text, cte):
    body = text.encode(charset, 'replace')
    if cte == 'base64':
        lines = b64(body)
    elif cte == 'quoted-printable':
        import quopri
        lines = quopri.encodestring(body.replace(b'\n', b'\r\n')).decode('latin-1').replace('\r\n', '\n').split('\n')
    else:
        lines = body.decode('latin-1').split('\n')
    return ['Content-Type: %s; charset="%s"' % (ctype, charset), 'Content-Transfer-Encoding: %s' % cte, ''] + lines


def multipart(kind, boundary, parts):
    out = ['Content-Type: multipart/%s;' % kind, '\tboundary="%s"' % boundary, '']
    if kind == 'mixed':
        out.append('This is a multi-part message in MIME format.')
    for p in parts:
        out += ['--' + boundary] + p
    return out + ['--' + boundary + '--', '']


def uuencoded(charset, name, style, data):
    """A part in x-uuencode (or a spelling of it) as older programs send files."""
    import binascii
    cte = rnd.choice(['x-uuencode', 'uuencode', 'x-uue'])
    backtick = rnd.random() < 0.5
    lines = ['begin 644 %s' % rnd.choice(['file.bin', 'C:\\temp\\other name.dat'])]
    lines += [binascii.b2a_uu(data[i:i + 45], backtick=backtick).decode('latin-1').rstrip('\n')
              for i in range(0, len(data), 45)]
    lines += ['`' if backtick else ' ', 'end']
    ct = ['Content-Type: application/octet-stream;'] + [' ' + p for p in name_params(charset, name, style, 'name')]
    cd = ['Content-Disposition: attachment;'] + [' ' + p for p in name_params(charset, name, style, 'filename')]
    for block in (ct, cd):
        for i in range(len(block) - 1):
            block[i] += ';' if not block[i].endswith(';') else ''
    return ct + ['Content-Transfer-Encoding: ' + cte] + cd + [''] + lines


def build_uu(n):
    """A message with uuencoded parts beside a text."""
    parts = [text_part('text/plain', 'utf-8', 'Files attached the old way\n', '8bit')]
    for charset, name in pick_names(rnd.randrange(1, 3)):
        parts.append(uuencoded(charset, name, rnd.choice(['rfc2231', 'B', 'Q']), blob()))
    head = ['From: Old Program <old@example.org>', 'To: bob@example.org', 'Subject: uuencoded %d' % n,
            'MIME-Version: 1.0']
    top = multipart('mixed', 'uu-%d' % n, parts)
    messages.append('\r\n'.join(head + top).encode('latin-1', 'strict') + b'\r\n')


def headers(program, n):
    charset, subj = rnd.choice(NAMES)
    fields = {'From': 'Ann %s <ann@example.org>' % word('utf-8', 'Müller', 'Q'), 'To': 'bob@example.org',
              'Subject': word(charset, 'Re: ' + subj, rnd.choice('BQ')), 'Date': 'Tue, 2 Jan 2024 10:00:00 +0000',
              'Message-ID': '<%d.%s@example.org>' % (n, program), 'MIME-Version': '1.0'}
    order = list(fields)
    if program in ('outlook', 'apple'):
        rnd.shuffle(order)
    return order, fields


def blob():
    return rnd.randbytes(rnd.choice([0, 1, 2, 3, 100, 1000, 4097, 20000]))


def pick_names(count):
    out = []
    for _ in range(count):
        charset, name = rnd.choice(NAMES)
        try:
            name.encode(charset)
        except UnicodeEncodeError:
            charset = 'utf-8'
        out.append((charset, name))
    return out


def build(program, n):
    order, fields = headers(program, n)
    style = {'thunderbird': 'rfc2231', 'outlook': 'B', 'apple': 'plain-or-2231', 'gmail': 'B'}[program]
    names = pick_names(rnd.randrange(1, 4))
    inline = pick_names(rnd.randrange(0, 3))

    def st():
        s = style
        if s == 'plain-or-2231':
            s = rnd.choice(['rfc2231', 'rfc2231-split'])
        return rnd.choice([s, s, 'Q', 'rfc2231-split'])

    html = text_part('text/html', 'utf-8', '<p>Grüße</p>\n' + ''.join('<img src="cid:i%d">\n' % i for i in range(len(inline))),
                     rnd.choice(['quoted-printable', 'base64']))
    plain = text_part('text/plain', rnd.choice(['utf-8', 'iso-8859-1', 'windows-1251']), 'Grüße, hello\nline two\n',
                      rnd.choice(['quoted-printable', 'base64', '8bit']))
    images = [attachment(c, nm, st(), blob(), 'inline', 'image/png', ['Content-ID: <i%d>' % i])
              for i, (c, nm) in enumerate(inline)]
    files = [attachment(c, nm, st(), blob()) for c, nm in names]
    body_html = multipart('related', 'rel-%d' % n, [html] + images) if images else html
    alt = multipart('alternative', 'alt-%d' % n, [plain, body_html])
    top = multipart('mixed', '------------%012d' % n, [alt] + files)
    head = []
    for key in order:
        if key == 'MIME-Version' and program == 'apple':
            continue
        head.append('%s: %s' % (key, fields[key]))
    if program == 'apple':
        head.append('Mime-Version: 1.0 (Mac OS X Mail 16.0)')
    # The top Content-Type goes where the program puts it.
    at = {'outlook': 0, 'apple': 1, 'thunderbird': len(head), 'gmail': 2}[program]
    lines = head[:at] + top[:2] + head[at:] + top[2:]
    messages.append('\r\n'.join(lines).encode('latin-1', 'strict') + b'\r\n')


def python_suite():
    found = []
    for pattern in ('/usr/lib/python3*/test/test_email/data/msg_*.txt',):
        for path in sorted(glob.glob(pattern)):
            with open(path, 'rb') as f:
                raw = f.read()
            found.append(raw.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n'))
    return found


def safe(name):
    """The decoder's safety rules for a name from a message."""
    name = name.replace('\\', '/').rsplit('/', 1)[-1].rsplit(':', 1)[-1]
    name = ''.join('_' if ord(ch) < 32 or ch in '"*/:<=>?\\|' else ch for ch in name)
    if name.strip('. ') == '':
        return 'noname'
    while name and name[-1] in '. ':
        name = name[:-1] + '_'
    return '_' + name if name.startswith('.') else name


def numbered(name, taken):
    key = name.upper()
    if key not in taken:
        taken.add(key)
        return name
    stem, dot, ext = name.rpartition('.')
    if not dot or not stem:
        stem, ext = name, ''
    for k in range(2, 1000):
        candidate = '%s (%d)%s' % (stem, k, '.' + ext if ext else '')
        if candidate.upper() not in taken:
            taken.add(candidate.upper())
            return candidate


def escaped(name):
    return ''.join(chr(b) if chr(b).isascii() and (chr(b).isalnum() or chr(b) in '._-') else '%%%02X' % b
                   for b in name.encode('utf-8', 'surrogateescape'))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for n in range(160):
        build(['thunderbird', 'outlook', 'apple', 'gmail'][n % 4], n)
    for n in range(12):
        build_uu(n)
    corpus = messages + python_suite()
    for number, raw in enumerate(corpus):
        stem = os.path.join(out, '%03d' % number)
        with open(stem + '.eml', 'wb') as f:
            f.write(raw)
        os.makedirs(stem, exist_ok=True)
        try:
            parsed = email.message_from_bytes(raw, policy=email.policy.default)
            parts = [p for p in parsed.walk() if not p.is_multipart() and p.get_filename()]
        except Exception:
            continue
        taken = set()
        for part in parts:
            try:
                name = numbered(safe(part.get_filename()), taken)
                payload = part.get_payload(decode=True)
            except Exception:
                continue
            if payload is None or len(escaped(name)) > 200:
                continue
            with open(os.path.join(stem, escaped(name)), 'wb') as f:
                f.write(payload)


main()

#!/usr/bin/env python3
"""Writes tests/ustring/data/charset_vectors.inc: known byte sequences in
single-byte, double-byte and stateful code pages, each with its UTF-8 text,
made with Python's codecs (an oracle independent of both iconv and Windows).

Usage: tools/gen_charset_vectors.py [--check]
  --check  compare with the committed file instead of writing it.

Each vector is (charset name, bytes, UTF-8, both): the bytes decode to the
text, and when both is 1 the text encodes back to exactly these bytes.

Single-byte pages: every byte the codec defines, in byte order (bytes whose
character another byte also gives are decode-only vectors of their own).
Double-byte pages: a sentence, plus an even sample of the characters that
the codec maps both ways.  Stateful pages: sentences.  Characters whose
mapping differs between vendors' tables of the same page are left out (see
SKIP_BYTES and double_vectors).
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'tests', 'ustring', 'data', 'charset_vectors.inc')

# (charset name as the library takes it, Python codec)
SINGLE = [
    ('WINDOWS-1252', 'cp1252'),
    ('WINDOWS-1251', 'cp1251'),
    ('IBM437', 'cp437'),
    ('IBM850', 'cp850'),
    ('KOI8-R', 'koi8_r'),
    ('ISO-8859-1', 'latin_1'),
    ('ISO-8859-2', 'iso8859_2'),
    ('ISO-8859-5', 'iso8859_5'),
    ('ISO-8859-7', 'iso8859_7'),
    ('ISO-8859-15', 'iso8859_15'),
    ('EBCDIC-CP-US', 'cp037'),
]

DOUBLE = [
    ('SHIFT_JIS', 'cp932', '日本語のテキスト、ｶﾀｶﾅ ①② ABC 123'),
    ('GBK', 'gbk', '中文文本，简体字。ABC 123'),
    ('CP936', 'gbk', '汉字编码测试'),
    ('GB18030', 'gb18030', '中文 € 𠀀 ㄅ ABC'),
    ('KS_C_5601-1987', 'cp949', '한국어 텍스트, 똠방각하 ABC'),
    ('BIG5', 'cp950', '繁體中文文字，測試。ABC'),
]

# (name, codec, texts, both ways).  A UTF-7 encoder may or may not close a
# base64 run with "-" before a character that needs none (Python and glibc
# leave it out, Windows writes it), so UTF-7 is checked decoding only, in
# both spellings.
STATEFUL = [
    ('ISO-2022-JP', 'iso2022_jp', ['日本語のテキスト ABC', 'a漢b字c', 'カタカナ'], True),
    ('UTF-7', 'utf_7', ['Hi 日本語 x', 'Ünïcödé text', 'A\u2262\u0391.'], False),
]
UTF7_CLOSED = [(b'Hi +ZeVnLIqe- x', 'Hi 日本語 x'), (b'A+ImIDkQ-.', 'A\u2262\u0391.')]

# Byte ranges whose characters differ between vendors' tables of a page:
# Big5's 0xC6A1-0xC8FE is Microsoft's end-user-defined area (private use on
# Windows), where Python's table has the ETEN kana.
SKIP_BYTES = {
    'cp950': lambda lead, trail: 0xC6 <= lead <= 0xC8,
}
# Single bytes likewise: Windows's 28597 follows ISO 8859-7:1987, with
# modifier letters for the quotation marks at 0xA1 and 0xA2 and without the
# euro, drachma and ypogegrammeni that the 2003 edition added.
SKIP_SINGLE = {
    'iso8859_7': {0xA1, 0xA2, 0xA4, 0xA5, 0xAA},
}

SAMPLE = 160  # characters per double-byte page


def c_bytes(b):
    """A C string literal with octal escapes (never merges with what follows)."""
    out, line = [], ''
    for x in b:
        ch = chr(x)
        if 0x20 <= x < 0x7F and ch not in '"\\?':
            piece = ch
        else:
            piece = '\\%03o' % x
        if len(line) + len(piece) > 100:
            out.append('"%s"' % line)
            line = ''
        line += piece
    out.append('"%s"' % line)
    return '\n     '.join(out)


def vector(name, raw, text, both):
    utf8 = text.encode('utf-8')
    return '    {"%s",\n     %s, %d,\n     %s, %d, %d},' % (
        name, c_bytes(raw), len(raw), c_bytes(utf8), len(utf8), 1 if both else 0)


def single_vectors(name, codec):
    seen, first, later = {}, [], []
    for b in range(256):
        if b in SKIP_SINGLE.get(codec, ()):
            continue
        try:
            ch = bytes([b]).decode(codec)
        except UnicodeDecodeError:
            continue
        if ch in seen:
            later.append(vector(name, bytes([b]), ch, False))
            continue
        seen[ch] = b
        first.append((b, ch))
    raw = bytes(b for b, _ in first)
    text = ''.join(ch for _, ch in first)
    assert text.encode(codec) == raw
    return [vector(name, raw, text, True)] + later


def double_vectors(name, codec, sentence):
    out = [vector(name, sentence.encode(codec), sentence, True)]
    # Characters with one byte form only: where a page has two (Shift_JIS's
    # NEC and IBM rows), which one an encoder picks is the vendor's choice.
    forms = {}
    skip = SKIP_BYTES.get(codec, lambda lead, trail: False)
    for lead in range(0x81, 0xFF):
        for trail in range(0x40, 0xFF):
            raw = bytes([lead, trail])
            try:
                ch = raw.decode(codec)
            except UnicodeDecodeError:
                continue
            if len(ch) != 1 or ord(ch) < 0x80 or skip(lead, trail):
                continue
            if 0xE000 <= ord(ch) <= 0xF8FF:  # private use: vendor-specific
                continue
            forms.setdefault(ch, []).append(raw)
    pool = [ch for ch, raws in forms.items() if len(raws) == 1 and ch.encode(codec) == raws[0]]
    step = max(1, len(pool) // SAMPLE)
    text = ''.join(pool[::step][:SAMPLE])
    out.append(vector(name, text.encode(codec), text, True))
    return out


def generate():
    parts = ['// Made by tools/gen_charset_vectors.py from Python\'s codecs; do not edit.',
             '// {charset, bytes, byte count, UTF-8, UTF-8 count, both ways}']
    for name, codec in SINGLE:
        parts += single_vectors(name, codec)
    for name, codec, sentence in DOUBLE:
        parts += double_vectors(name, codec, sentence)
    for name, codec, texts, both in STATEFUL:
        for t in texts:
            parts.append(vector(name, t.encode(codec), t, both))
    for raw, t in UTF7_CLOSED:
        assert raw.decode('utf_7') == t
        parts.append(vector('UTF-7', raw, t, False))
    return '\n'.join(parts) + '\n'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--check', action='store_true')
    args = ap.parse_args()
    text = generate()
    if args.check:
        with open(OUT, encoding='utf-8') as f:
            if f.read() != text:
                print('charset_vectors.inc differs from what the generator makes', file=sys.stderr)
                return 1
        return 0
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, 'w', encoding='utf-8') as f:
        f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main())

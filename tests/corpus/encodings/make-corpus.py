#!/usr/bin/env python3
"""Writes the encodings corpus from sources/ (UTF-8 documents written for it): each document in the
encodings listed below, whole, and for each legacy encoding also its opening: about 400 bytes from the
first line beyond ASCII, cut at a line end (or at a character when that line alone is longer). Writes
manifest.tsv: file, the encoding's name as the viewer gives it, whole or opening. Run it again after
changing a source; the files it writes are committed, so tests need neither it nor Python."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OPENING_BYTES = 400

# Our name -> Python's codec; the marks are written by hand.
CODECS = {
    'GBK': 'gbk', 'GB18030': 'gb18030', 'Big5': 'big5', 'Shift_JIS': 'cp932', 'EUC-JP': 'euc_jp',
    'EUC-KR': 'euc_kr', 'Windows-1250': 'cp1250', 'Windows-1251': 'cp1251', 'Windows-1252': 'cp1252',
    'ISO-8859-2': 'iso8859_2', 'ISO-8859-15': 'iso8859_15', 'KOI8-R': 'koi8_r',
}
UNICODE = {
    'utf8': ('UTF-8', b'', 'utf-8'), 'utf8-bom': ('UTF-8', b'\xef\xbb\xbf', 'utf-8'),
    'utf16le-bom': ('UTF-16 LE', b'\xff\xfe', 'utf-16-le'), 'utf16be-bom': ('UTF-16 BE', b'\xfe\xff', 'utf-16-be'),
    'utf16le': ('UTF-16 LE', b'', 'utf-16-le'),
}
DOCUMENTS = {
    'zh-hans-notes': ['GBK', 'GB18030', 'utf8', 'utf8-bom', 'utf16le-bom', 'utf16be-bom', 'utf16le'],
    'zh-hans-guide': ['GBK', 'GB18030', 'utf16le-bom'],
    'zh-hant': ['Big5', 'utf8'],
    'ja': ['Shift_JIS', 'EUC-JP', 'utf16be-bom'],
    'ko': ['EUC-KR', 'utf8-bom'],
    'ru': ['Windows-1251', 'KOI8-R'],
    'fr': ['Windows-1252', 'ISO-8859-15'],
    'de': ['Windows-1252', 'ISO-8859-15'],
    'cs': ['Windows-1250', 'ISO-8859-2'],
}


def opening(text, codec):
    lines = text.splitlines(keepends=True)
    start = next(i for i, line in enumerate(lines) if any(ord(c) > 0x7f for c in line))
    taken = b''
    for line in lines[start:]:
        encoded = line.encode(codec)
        if taken and len(taken) + len(encoded) > OPENING_BYTES:
            break
        if not taken and len(encoded) > OPENING_BYTES:
            for c in line:
                if len(taken) + len(c.encode(codec)) > OPENING_BYTES:
                    break
                taken += c.encode(codec)
            break
        taken += encoded
    return taken


def main():
    rows = []
    for name, encodings in DOCUMENTS.items():
        with open(os.path.join(HERE, 'sources', name + '.md'), encoding='utf-8') as source:
            text = source.read()
        for encoding in encodings:
            if encoding in UNICODE:
                ours, mark, codec = UNICODE[encoding]
                files = [(f'{name}.{encoding}.md', mark + text.encode(codec), 'whole')]
            else:
                ours, codec = encoding, CODECS[encoding]
                files = [(f'{name}.{encoding.lower()}.md', text.encode(codec), 'whole'),
                         (f'{name}.{encoding.lower()}.opening.md', opening(text, codec), 'opening')]
            for file, data, kind in files:
                with open(os.path.join(HERE, file), 'wb') as out:
                    out.write(data)
                rows.append(f'{file}\t{ours}\t{kind}\n')
    with open(os.path.join(HERE, 'manifest.tsv'), 'w', encoding='utf-8', newline='\n') as manifest:
        manifest.writelines(rows)


main()

#!/usr/bin/env python3
"""Writes small help files for the fuzz_chm seed corpus: an ITSF container whose objects all sit
in the uncompressed section (system information, contents, two pages, the context map), so
that the fuzzer reaches the directory and lookup code with a few hundred bytes."""
import struct
import sys


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def system_records(records):
    data = struct.pack('<I', 3)
    for code, text in records:
        data += struct.pack('<HH', code, len(text)) + text
    return data


GUID_1 = bytes.fromhex('10fd017caa7bd0119e0c00a0c922e6ec')
GUID_2 = bytes.fromhex('11fd017caa7bd0119e0c00a0c922e6ec')


def build(objects, chunk_size=512):
    content = b''
    entries = b''
    for name, data in objects:
        entries += encint(len(name)) + name + encint(0) + encint(len(content)) + encint(len(data))
        content += data
    assert len(entries) + 20 + 2 <= chunk_size
    # A listing chunk: its entries, free space, and the number of entries in the last two bytes.
    chunk = b'PMGL' + struct.pack('<IIii', chunk_size - 20 - len(entries), 0, -1, -1) + entries
    chunk += b'\0' * (chunk_size - 2 - len(chunk)) + struct.pack('<H', len(objects))
    dir_header = bytearray(0x54)
    dir_header[0:4] = b'ITSP'
    struct.pack_into('<III', dir_header, 4, 1, 0x54, 10)
    # chunk size, density, depth, index root (none), first and last listing chunk
    struct.pack_into('<IIIiII', dir_header, 0x10, chunk_size, 2, 1, -1, 0, 0)
    struct.pack_into('<I', dir_header, 0x2C, 1)
    directory = bytes(dir_header) + chunk
    header = bytearray(0x60)
    header[0:4] = b'ITSF'
    struct.pack_into('<II', header, 4, 3, 0x60)
    header[0x18:0x38] = GUID_1 + GUID_2
    section0 = bytearray(0x18)  # the header section that holds the file's length
    dir_offset = len(header) + len(section0)
    content_offset = dir_offset + len(directory)
    struct.pack_into('<IIQ', section0, 0, 0x1FE, 0, content_offset + len(content))
    struct.pack_into('<QQQQQ', header, 0x38, len(header), len(section0), dir_offset, len(directory), content_offset)
    return bytes(header) + bytes(section0) + directory + content


def main(folder):
    page = b'<html><head><title>Welcome</title></head><body><p>Glimora</p></body></html>'
    contact = b'<html><body><p>Contact</p></body></html>'
    toc = (b'<html><body><ul><li><object type="text/sitemap"><param name="Name" value="Welcome">'
           b'<param name="Local" value="welcome.htm"></object></ul></body></html>')
    strings = b'\0C:\\help\\build\\welcome.htm\0KALDEX\\Contact_KALDEX.htm#top\0'
    ivb = struct.pack('<IIIII', 16, 4, 1, 2, strings.index(b'KALDEX'))
    system = system_records([(0, b'toc.hhc\0'), (2, b'welcome.htm\0'), (3, b'Glimora Help\0')])
    objects = [
        (b'/', b''),
        (b'/#IVB', ivb),
        (b'/#STRINGS', strings),
        (b'/#SYSTEM', system),
        (b'/KALDEX/Contact_KALDEX.htm', contact),
        (b'/toc.hhc', toc),
        (b'/welcome.htm', page),
    ]
    with open(f'{folder}/uncompressed.chm', 'wb') as f:
        f.write(build(objects))
    # The same without system information: the contents are found by their extension.
    with open(f'{folder}/no_system.chm', 'wb') as f:
        f.write(build([o for o in objects if o[0] != b'/#SYSTEM']))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else '.')

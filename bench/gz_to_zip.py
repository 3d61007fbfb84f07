#!/usr/bin/python3
"""Wraps the deflate stream of a .gz file, byte for byte, as the one member of a ZIP archive,
so that a ZIP reader and a gzip reader decode exactly the same bits.

usage: gz_to_zip.py INPUT.gz MEMBER_NAME OUTPUT.zip
The member keeps the CRC-32 and size of the gzip trailer (RFC 1952: the last 8 bytes).
"""
import struct
import sys


def deflate_stream(gz):
    """The raw deflate bytes of a single-member gzip file, its CRC-32 and size."""
    if gz[:3] != b"\x1f\x8b\x08":
        raise SystemExit("not a gzip file with deflate data")
    flags = gz[3]
    at = 10  # ID1 ID2 CM FLG MTIME(4) XFL OS
    if flags & 0x04:  # FEXTRA: 2-byte length, then the field
        at += 2 + struct.unpack_from("<H", gz, at)[0]
    for bit in (0x08, 0x10):  # FNAME, FCOMMENT: zero-terminated
        if flags & bit:
            at = gz.index(b"\0", at) + 1
    if flags & 0x02:  # FHCRC
        at += 2
    crc, size = struct.unpack_from("<II", gz, len(gz) - 8)
    return gz[at:len(gz) - 8], crc, size


def main():
    source, name, output = sys.argv[1], sys.argv[2].encode(), sys.argv[3]
    with open(source, "rb") as f:
        data, crc, size = deflate_stream(f.read())
    stamp = (0 << 11) | (0 << 5)  # 00:00:00
    date = ((2010 - 1980) << 9) | (1 << 5) | 1
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, stamp, date, crc, len(data),
                        size, len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, stamp, date, crc,
                          len(data), size, len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central),
                      len(local) + len(data), 0)
    with open(output, "wb") as out:
        out.write(local + data + central + end)


if __name__ == "__main__":
    main()

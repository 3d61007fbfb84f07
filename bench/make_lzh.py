#!/usr/bin/python3
"""Writes an LZH archive of N stored (-lh0-) members for the listing benchmark.

usage: make_lzh.py N LEVEL OUTPUT     (LEVEL 0, 1 or 2)
Names are dirNNN/fileNNNNNN.txt; each member holds a short line of text.
"""
import struct
import sys
import time


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def dos_stamp(t):
    lt = time.localtime(t)
    date = ((lt.tm_year - 1980) << 9) | (lt.tm_mon << 5) | lt.tm_mday
    tm = (lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec // 2)
    return tm | (date << 16)


def member(level, folder, name, data, stamp):
    crc = crc16(data)
    if level == 2:
        ext = b""
        ext += struct.pack("<B", 0x00) + b"\0\0" + struct.pack("<H", 3 + len(name))
        ext += b"\x01" + name + struct.pack("<H", 3 + len(folder) + 1)
        ext += b"\x02" + folder + b"\xff" + struct.pack("<H", 0)
        size = 26 + len(ext)
        head = struct.pack("<H5sIIIBBHBH", size, b"-lh0-", len(data), len(data), stamp,
                           0x20, 2, crc, ord("U"), 5)
        header = bytearray(head + ext)
        struct.pack_into("<H", header, 27, crc16(header))
        return bytes(header) + data
    path = folder + b"\\" + name
    if level == 0:
        body = struct.pack("<5sIIIBB", b"-lh0-", len(data), len(data), dos_stamp(stamp), 0x20, 0)
        body += struct.pack("<B", len(path)) + path + struct.pack("<H", crc)
    else:
        ext = b"\x02" + folder + b"\xff" + struct.pack("<H", 0)
        body = struct.pack("<5sIIIBB", b"-lh0-", len(data) + len(ext), len(data),
                           dos_stamp(stamp), 0x20, 1)
        body += struct.pack("<B", len(name)) + name + struct.pack("<HBH", crc, ord("U"),
                                                                  len(ext))
        body += ext
        h = len(body) - len(ext)
        return struct.pack("<BB", h, sum(body[:h]) & 0xFF) + body + data
    return struct.pack("<BB", len(body), sum(body) & 0xFF) + body + data


def main():
    count, level, output = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    stamp = 1262304000  # 2010-01-01
    with open(output, "wb") as out:
        for i in range(count):
            folder = b"dir%03d" % (i // 1000)
            name = b"file%06d.txt" % i
            data = b"member %d of the listing benchmark\n" % i
            out.write(member(level, folder, name, data, stamp + i))
        out.write(b"\0")


if __name__ == "__main__":
    main()

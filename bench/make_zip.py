#!/usr/bin/python3
"""Writes a ZIP of N tiny stored members for the listing benchmark, with Python's zipfile
(which writes the Zip64 end record once there are more than 65,535 members).

usage: make_zip.py N OUTPUT
Names are dirNNN/fileNNNNNN.txt, as make_lzh.py makes them.
"""
import sys
import zipfile

count, output = int(sys.argv[1]), sys.argv[2]
with zipfile.ZipFile(output, "w", zipfile.ZIP_STORED) as z:
    for i in range(count):
        info = zipfile.ZipInfo("dir%03d/file%06d.txt" % (i // 1000, i), (2010, 1, 12, 13, 46, 38))
        z.writestr(info, b"x")

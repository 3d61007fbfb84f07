#!/bin/bash
# Sourced by the benchmarks: builds the data sets in $work/{text,binary,small}, each at
# least $limit bytes: man-page text (header text when man pages are missing), shared
# libraries, and a tree of small header files.
set +o pipefail # head ends the pipes early on purpose
mkdir -p "$work/text" "$work/binary" "$work/small"
{ find /usr/share/man -name '*.gz' -print0 | sort -z | xargs -0 zcat 2>/dev/null || true
  find /usr/include -name '*.h' -print0 | sort -z | xargs -0 cat; } | head -c "$limit" > "$work/text/text.txt"
find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f -print0 | sort -z |
    xargs -0 cat | head -c "$limit" > "$work/binary/binary.bin"
/usr/bin/python3 - "$work/small" "$limit" <<'PY'
import os, shutil, sys
total, limit = 0, int(sys.argv[2])
for root, dirs, files in sorted(os.walk("/usr/include")):
    dirs.sort()
    for name in sorted(files):
        src = os.path.join(root, name)
        if total >= limit or not name.endswith(".h") or os.path.getsize(src) >= 65536:
            continue
        dst = os.path.join(sys.argv[1], os.path.relpath(src, "/usr/include"))
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copyfile(src, dst)
        total += os.path.getsize(src)
PY
set -o pipefail

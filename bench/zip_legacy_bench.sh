#!/bin/bash
# Test time of PKZIP 1.x's Shrink, Reduce and Implode members, whole process: tavrel-cli -t
# beside unzip -t and 7zz t on the same archive (made by the test-side encoders through
# zip_legacy_bench: MB megabytes of text cut into 8 members), timed with hyperfine in one run.
# Prints median times and each peer's time over Tavrel's (above 1: Tavrel is faster).
# usage: bench/zip_legacy_bench.sh [BUILD_DIR] [MB]
set -euo pipefail
program=zip_legacy_bench
needs="hyperfine unzip 7zz"
. "$(dirname "$0")/common.sh"
megabytes=${2:-16}
cli=$build/app/tavrel-cli
printf "%-11s %8s %10s %10s %10s %8s %8s\n" kind MB tavrel-ms unzip-ms 7zz-ms unzip/t 7zz/t
for kind in ${KINDS-shrink reduce4 implode4k2 implode8k3}; do
    archive=$work/$kind.zip
    "$tool" make "$archive" "$megabytes" "$kind" 8 >/dev/null
    "$cli" -t "$archive" >/dev/null || { echo "tavrel failed to test $archive"; exit 1; }
    # A peer that cannot read the method (Debian's unzip has no Unshrink) is left out.
    cmds=(-n tavrel "$cli -t $archive")
    if unzip -tq "$archive" >/dev/null 2>&1; then
        cmds+=(-n unzip "unzip -tq $archive")
    fi
    if 7zz t "$archive" >/dev/null 2>&1; then
        cmds+=(-n 7zz "7zz t $archive")
    fi
    hyperfine -N --warmup 1 --runs 7 --export-json "$work/t.json" "${cmds[@]}" >/dev/null 2>&1
    /usr/bin/python3 - "$work/t.json" "$megabytes" "$kind" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
t = r["tavrel"]
z = r.get("7zz")
u = r.get("unzip")
ms = lambda v: "n/a" if v is None else "%.1f" % (v * 1e3)
ratio = lambda v: "n/a" if v is None else "%.2f" % (v / t)
print("%-11s %8s %10.1f %10s %10s %8s %8s" % (sys.argv[3], sys.argv[2], t * 1e3, ms(u), ms(z),
      ratio(u), ratio(z)))
PY
done
echo "(median of 7 runs; ratio = peer time / Tavrel time)"

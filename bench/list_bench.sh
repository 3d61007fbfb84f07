#!/bin/bash
# Times the listing of a generated archive of N members (default 100000) with Tavrel's
# lister, `lhasa l` and `bsdtar -tvf` on the same file, and prints peak memory and ratios.
# usage: bench/list_bench.sh [BUILD_DIR] [N] [LEVEL]
set -euo pipefail
program=list_bench
needs="hyperfine lhasa bsdtar /usr/bin/time"
. "$(dirname "$0")/common.sh"
count=${2:-100000}
level=${3:-2}
archive=$work/bench.lzh
/usr/bin/python3 "$here/make_lzh.py" "$count" "$level" "$archive"
echo "archive: $count members, level $level, $(stat -c %s "$archive") bytes"

# Every lister must see every member before its time means anything.
[ "$("$tool" "$archive" | tail -1 | cut -d' ' -f1)" = "$count" ] || { echo "tavrel: wrong count"; exit 1; }
[ "$(bsdtar -tf "$archive" | wc -l)" = "$count" ] || { echo "bsdtar: wrong count"; exit 1; }

hyperfine --warmup 2 --runs 10 --export-json "$work/times.json" \
    -n tavrel "$tool $archive" \
    -n lhasa "lhasa l $archive" \
    -n bsdtar "bsdtar -tvf $archive" >/dev/null

peak() { /usr/bin/time -f %M "$@" >/dev/null 2>"$work/mem" || true; tail -1 "$work/mem"; }
/usr/bin/python3 - "$work/times.json" "$(peak "$tool" "$archive")" \
    "$(peak lhasa l "$archive")" "$(peak bsdtar -tvf "$archive")" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
memory = dict(zip(["tavrel", "lhasa", "bsdtar"], (int(m) for m in sys.argv[2:5])))
print("%-8s %12s %12s %14s" % ("tool", "median ms", "stddev ms", "peak RSS KiB"))
for name in ("tavrel", "lhasa", "bsdtar"):
    r = results[name]
    print("%-8s %12.1f %12.1f %14d" % (name, r["median"] * 1000, r["stddev"] * 1000, memory[name]))
ours = results["tavrel"]["median"]
for name in ("lhasa", "bsdtar"):
    print("time ratio tavrel/%s: %.2f   memory ratio: %.2f" %
          (name, ours / results[name]["median"], memory["tavrel"] / memory[name]))
fastest = min(results[n]["median"] for n in ("lhasa", "bsdtar"))
print("goal (no slower than the fastest peer): %s" % ("met" if ours <= fastest else "NOT met"))
PY

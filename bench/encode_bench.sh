#!/bin/bash
# Compression throughput and ratio: Tavrel's encoder at -lh5-/-lh6-/-lh7- beside jlha (the
# other LZH writer here) at the same methods and zip -6/-9, on the decoder benchmark's data
# sets, timed with hyperfine in the same run. Prints MB/s of input and output/input ratios.
# usage: bench/encode_bench.sh [BUILD_DIR] [MB]
set -euo pipefail
program=encode_bench
needs="hyperfine jlha zip"
. "$(dirname "$0")/common.sh"
megabytes=${2:-24}
limit=$((megabytes * 1024 * 1024))
. "$here/datasets.sh"

printf "%-7s %-4s %9s %9s %9s %9s %7s %7s %7s %7s\n" set lh tavrel jlha zip-6 zip-9 x-jlha r-tavrel r-jlha r-zip9
for set in ${SETS:-text binary small}; do
    bytes=$(du -sb --apparent-size "$work/$set" | cut -f1)
    files=$(cd "$work/$set" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
    for m in 5 6 7; do
        out=$work/out
        ( cd "$work/$set" && hyperfine -N --warmup 1 --runs 3 --prepare "rm -f $out.lzh $out.zip $out.bin" \
            --export-json "$work/t.json" -n tavrel "$tool $m $out.bin $files" \
            -n jlha "jlha a2o${m}q $out.lzh $files" -n zip6 "zip -q -6 $out.zip $files" \
            -n zip9 "zip -q -9 $out.zip $files" >/dev/null 2>&1 )
        ( cd "$work/$set" && rm -f $out.* && "$tool" $m $out.bin $files >/dev/null && jlha a2o${m}q $out.lzh $files >/dev/null &&
          zip -q -9 $out.zip $files )
        /usr/bin/python3 - "$work/t.json" "$bytes" "$set" "$m" "$(stat -c %s $out.bin)" "$(stat -c %s $out.lzh)" "$(stat -c %s $out.zip)" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
s = {k: mb / v for k, v in r.items()}
size = int(sys.argv[2])
print("%-7s %-4s %9.1f %9.1f %9.1f %9.1f %7.2f %7.3f %7.3f %7.3f" % (sys.argv[3], sys.argv[4], s["tavrel"], s["jlha"],
      s["zip6"], s["zip9"], s["tavrel"] / s["jlha"], int(sys.argv[5]) / size, int(sys.argv[6]) / size, int(sys.argv[7]) / size))
PY
    done
done
echo "(MB/s of input, median of 3 runs; x-jlha = Tavrel's speed / jlha's, goal >= 1.5, and for"
echo " lh7 >= 2.0 on binaries and >= 2.5 on text;"
echo " r-* = output/input; jlha's archive adds its headers, Tavrel's output is the bare streams)"

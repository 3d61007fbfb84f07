#!/bin/bash
# Decode throughput: test and extraction of -lh0-/-lh5-/-lh6-/-lh7- archives of text,
# binaries and many small files (each 20 MB or more, compressed by jlha), timed with
# hyperfine beside lhasa, bsdtar and 7zz in the same run, and beside libdeflate-gunzip on a
# gzip -6 stream of the same content (the files concatenated) as the speed anchor. Prints
# MB/s of output, the ratio to the fastest peer and to libdeflate, and Tavrel's peak memory.
# usage: bench/decode_bench.sh [BUILD_DIR] [MB]
set -euo pipefail
program=extract_bench
needs="hyperfine lhasa bsdtar 7zz jlha gzip libdeflate-gunzip /usr/bin/time"
. "$(dirname "$0")/common.sh"
megabytes=${2:-24}
limit=$((megabytes * 1024 * 1024))

. "$here/datasets.sh"

printf "%-8s %-6s %-5s %8s %8s %8s %8s %9s %6s %10s %6s %9s\n" set method mode tavrel lhasa \
    bsdtar 7zz best-peer ratio libdeflate vs-lib "peak KiB"
for set in ${SETS:-text binary small}; do
    bytes=$(du -sb --apparent-size "$work/$set" | cut -f1)
    # The anchor: the same bytes as one gzip stream, tested (-t) or written to a file.
    gz=$work/$set.gz
    find "$work/$set" -type f -print0 | sort -z | xargs -0 cat | gzip -6 > "$gz"
    for method in lh0 lh5 lh6 lh7; do
        archive=$work/$set-$method.lzh
        option=$([ $method = lh0 ] && echo z || echo "o${method#lh}")
        ( cd "$work/$set" && jlha "a2${option}q" "$archive" $(find . -type f | sed 's|^\./||' | sort) >/dev/null )
        "$tool" t "$archive" >/dev/null || { echo "tavrel failed to test $archive"; exit 1; }
        for mode in test extract; do
            out=$work/out
            if [ $mode = test ]; then
                cmds=("$tool t $archive" "lhasa t $archive" "bsdtar -xOf $archive" "7zz t $archive")
                lib="libdeflate-gunzip -t $gz"
            else
                cmds=("$tool x $archive $out" "cd $out && lhasa xq $archive" "bsdtar -xf $archive -C $out" "7zz x -y -o$out $archive")
                lib="libdeflate-gunzip -k -f $out/$set.gz"
            fi
            hyperfine -N --warmup 1 --runs 5 --prepare "bash -c 'rm -rf $out && mkdir -p $out && cp $gz $out/'" \
                --export-json "$work/t.json" -n tavrel "${cmds[0]}" -n lhasa "bash -c '${cmds[1]} >/dev/null'" \
                -n bsdtar "bash -c '${cmds[2]} >/dev/null'" -n 7zz "bash -c '${cmds[3]} >/dev/null'" \
                -n libdeflate "$lib" >/dev/null 2>&1
            peak=$(/usr/bin/time -f %M $([ $mode = test ] && echo "$tool t $archive" || echo "$tool x $archive $out") 2>&1 >/dev/null | tail -1)
            /usr/bin/python3 - "$work/t.json" "$bytes" "$set" "$method" "$mode" "$peak" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
speed = {k: mb / v for k, v in r.items()}
best = max(speed[k] for k in ("lhasa", "bsdtar", "7zz"))
print("%-8s %-6s %-5s %8.0f %8.0f %8.0f %8.0f %9.0f %6.2f %10.0f %6.2f %9s" % (
    sys.argv[3], sys.argv[4], sys.argv[5][:5], speed["tavrel"], speed["lhasa"], speed["bsdtar"],
    speed["7zz"], best, speed["tavrel"] / best, speed["libdeflate"],
    speed["tavrel"] / speed["libdeflate"], sys.argv[6]))
PY
        done
    done
done
echo "(MB/s of output, median of 5 runs; goals: ratio >= 1.5 on every row, vs-lib >= 1 for"
echo " lh5-lh7; libdeflate decodes a gzip -6 stream of the same content to memory or one file)"

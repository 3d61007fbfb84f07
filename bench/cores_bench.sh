#!/bin/bash
# Every core: the six ratios of the parallel paths, whole process, in one run.
#  1. one 16 MB binary member compressed with -lh7-: jlha's time / Tavrel's
#  2. test of a ZIP of 32 deflated members of 1 MB each: Tavrel on one core (taskset -c 0) /
#     Tavrel on every core
#  3. the same: 7zz's time / Tavrel's
#  4. test of an LZH of 32 -lh7- members of 1 MB each (made by jlha): one core / every core
#  5. the same: 7zz's time / Tavrel's
#  6. instructions (callgrind, whole process) to test 16 MB of text deflated by gzip -6:
#     libdeflate-gunzip's count / Tavrel's, on the very same deflate bytes
#  7. the same for the LZH decoder: libdeflate-gunzip's count on that text / Tavrel's to test
#     the same 16 MB compressed by jlha with -lh7-
# Goals: >= 4.0, 1.7, 3.5, 1.7, 5.0, 1.0, 1.0. For scale, the last line says what the machine
# gives two one-thread tests of the ZIP run side by side: twice one's time / the pair's, the
# most that two threads of independent work can reach on it. Callgrind runs the code a processor without
# AVX-512 runs (valgrind has none): on one with it, both CRCs execute fewer instructions.
# usage: bench/cores_bench.sh [BUILD_DIR]
set -euo pipefail
program=../app/tavrel-cli
needs="hyperfine jlha zip 7zz taskset gzip libdeflate-gunzip valgrind /usr/bin/time"
. "$(dirname "$0")/common.sh"
limit=$((32 * 1024 * 1024))
. "$here/datasets.sh"
cli=$tool

# The data: 16 MB of the binary set, 32 pieces of 1 MB of the text set, 16 MB of text.
head -c $((16 << 20)) "$work/binary/binary.bin" >"$work/one.bin"
mkdir -p "$work/pieces"
for i in $(seq 0 31); do
    dd if="$work/text/text.txt" of="$work/pieces/p$i.txt" bs=1M skip="$i" count=1 status=none
done
(cd "$work/pieces" && zip -q -6 "$work/many.zip" p*.txt && jlha a2o7q "$work/many.lzh" p*.txt >/dev/null)
head -c $((16 << 20)) "$work/text/text.txt" | gzip -6 >"$work/text.gz"
/usr/bin/python3 "$here/gz_to_zip.py" "$work/text.gz" text.txt "$work/text.zip"
head -c $((16 << 20)) "$work/text/text.txt" >"$work/text16.txt"
(cd "$work" && jlha a2o7q text.lzh text16.txt >/dev/null)
for a in many.zip many.lzh text.zip text.lzh; do
    "$cli" -t "$work/$a" >/dev/null || { echo "tavrel-cli failed to test $a"; exit 1; }
done

median() { /usr/bin/python3 -c "
import json, sys
r = {x['command']: x['median'] for x in json.load(open('$1'))['results']}
print(r['$2'] / r['$3'])"; }

out=$work/out.lzh
hyperfine -N --warmup 1 --runs 5 --prepare "rm -f $out" --export-json "$work/e.json" \
    -n tavrel "$cli --new $out a -o4 $work/one.bin" -n jlha "jlha a2o7q $out $work/one.bin" \
    >/dev/null 2>&1
encode=$(median "$work/e.json" jlha tavrel)

for a in zip lzh; do
    hyperfine -N --warmup 1 --runs 5 --export-json "$work/$a.json" \
        -n every "$cli -t $work/many.$a" -n one "taskset -c 0 $cli -t $work/many.$a" \
        -n 7zz "7zz t $work/many.$a" >/dev/null 2>&1
    declare "${a}_one=$(median "$work/$a.json" one every)"
    declare "${a}_7zz=$(median "$work/$a.json" 7zz every)"
done

one="env TAVREL_THREADS=1 $cli -t $work/many.zip"
hyperfine -N --warmup 1 --runs 5 --export-json "$work/pair.json" -n one "sh -c '$one & wait'" \
    -n pair "sh -c '$one & $one & wait'" >/dev/null 2>&1
pair=$(/usr/bin/python3 -c "print(2 * $(median "$work/pair.json" one pair))")

instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'; }
ours=$(instructions "$cli" -t "$work/text.zip")
lzh=$(instructions "$cli" -t "$work/text.lzh")
theirs=$(instructions libdeflate-gunzip -t "$work/text.gz")

printf "%-58s %8s %6s\n" work ratio goal
printf "%-58s %8.2f %6s\n" "one 16 MB binary member, -lh7-, against jlha" "$encode" 4.0
printf "%-58s %8.2f %6s\n" "test 32 x 1 MB ZIP (deflate), every core against one" "$zip_one" 1.7
printf "%-58s %8.2f %6s\n" "the same against 7zz" "$zip_7zz" 3.5
printf "%-58s %8.2f %6s\n" "test 32 x 1 MB LZH (-lh7-), every core against one" "$lzh_one" 1.7
printf "%-58s %8.2f %6s\n" "the same against 7zz" "$lzh_7zz" 5.0
printf "%-58s %8.2f %6s\n" "Inflate instructions on 16 MB of text, libdeflate / ours" \
    "$(/usr/bin/python3 -c "print($theirs / $ours)")" 1.0
printf "%-58s %8.2f %6s\n" "LZH (-lh7-) decoder instructions, libdeflate / ours" \
    "$(/usr/bin/python3 -c "print($theirs / $lzh)")" 1.0
printf "%-58s %8.2f\n" "the machine: two one-thread tests side by side against one" "$pair"
echo "(whole process, median of 5 runs; $(nproc) processors; instructions: ours $ours (ZIP)," \
    "$lzh (LZH), libdeflate-gunzip $theirs)"

#!/bin/bash
# Archive creation and rewrite: building an archive of a tree of several thousand small
# files and of large files with Tavrel (compressing ahead on every core, as the program adds,
# and on one thread) and with jlha (-lh7-, or METHOD, at level 2) in the same run; then
# deleting one member from an archive of about 1 GB, a time dominated by one sequential
# copy and the flush to disk, reported in MB/s beside `cat` of the same file (with and
# without a sync, since the rewrite flushes before it renames).
# usage: bench/archive_bench.sh [BUILD_DIR] [MB] [GB_MB]
set -euo pipefail
program=archive_bench
needs="hyperfine jlha"
. "$(dirname "$0")/common.sh"
megabytes=${2:-24}
bigMegabytes=${3:-1024}
limit=$((megabytes * 1024 * 1024))
. "$here/datasets.sh"

printf "%-7s %7s %10s %10s %10s %8s %8s\n" set files tavrel tavrel-1 jlha x-jlha x-1thread
for set in small binary; do
    files=$(cd "$work/$set" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
    count=$(echo $files | wc -w)
    ( cd "$work/$set" && hyperfine -N --warmup 1 --runs 3 --prepare "rm -f $work/a.lzh $work/j.lzh" \
        --export-json "$work/t.json" -n tavrel "$tool c $work/a.lzh ${METHOD:-7} $files" \
        -n tavrel1 "$tool s $work/a.lzh ${METHOD:-7} $files" -n jlha "jlha a2o${METHOD:-7}q $work/j.lzh $files" >/dev/null 2>&1 )
    /usr/bin/python3 - "$work/t.json" "$set" "$count" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print("%-7s %7s %9.2fs %9.2fs %9.2fs %8.2f %8.2f" % (sys.argv[2], sys.argv[3], r["tavrel"],
      r["tavrel1"], r["jlha"], r["jlha"] / r["tavrel"], r["tavrel1"] / r["tavrel"]))
PY
done

# About 1 GB of stored members (64 MB each), then one deleted from the middle.
mkdir -p "$work/big"
for i in $(seq 1 $((bigMegabytes / 64))); do
    head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/big/part$i.bin"
done
( cd "$work/big" && "$tool" c "$work/big.lzh" 0 part*.bin )
rm -rf "$work/big"
size=$(stat -c %s "$work/big.lzh")
cp "$work/big.lzh" "$work/copy.lzh"
hyperfine -N --runs 3 --prepare "cp $work/copy.lzh $work/big.lzh" --export-json "$work/d.json" \
    -n delete "$tool d $work/big.lzh 1" -n cat "bash -c 'cat $work/copy.lzh > $work/cat.out'" \
    -n catsync "bash -c 'cat $work/copy.lzh > $work/cat.out && sync $work/cat.out'" >/dev/null 2>&1
/usr/bin/python3 - "$work/d.json" "$size" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
print("delete one member of %.0f MB: %.2f s (%.0f MB/s)" % (mb, r["delete"], mb / r["delete"]))
print("cat of the same file: %.2f s (%.0f MB/s), ratio %.2f" % (r["cat"], mb / r["cat"], r["cat"] / r["delete"]))
print("cat and sync (as durable as the rewrite): %.2f s (%.0f MB/s), ratio %.2f"
      % (r["catsync"], mb / r["catsync"], r["catsync"] / r["delete"]))
PY

#!/bin/bash
# The cost of one change to a large archive: deleting one member of an archive of stored
# members (MB megabytes, 16 MB each) and adding a small file to it, each timed whole-process
# through tavrel-cli beside `cp` and `sync` of the same file, in one run. Each change writes
# the new archive once and flushes it before the rename, so a copy made as durable is the
# mark: the ratio is the change's time over it (the goal is at most 1.3).
# usage: bench/rewrite_bench.sh [BUILD_DIR] [MB]
set -euo pipefail
program=archive_bench
needs="hyperfine"
. "$(dirname "$0")/common.sh"
megabytes=${2:-400}
cli=$build/app/tavrel-cli
mkdir -p "$work/big"
for i in $(seq 1 $((megabytes / 16))); do
    head -c $((16 * 1024 * 1024)) /dev/urandom > "$work/big/part$i.bin"
done
( cd "$work/big" && "$tool" c "$work/big.lzh" 0 part*.bin )
rm -rf "$work/big"
echo "a small file" > "$work/small.txt"
cp "$work/big.lzh" "$work/original.lzh"
size=$(stat -c %s "$work/big.lzh")
config=$work/cfg.ini
hyperfine -N --runs 10 --prepare "bash -c 'sleep 1; cp $work/original.lzh $work/big.lzh && rm -f $work/copy.lzh && sync'" \
    --export-json "$work/r.json" \
    -n cpsync "bash -c 'cp $work/big.lzh $work/copy.lzh && sync $work/copy.lzh'" \
    -n delete "$cli --config $config $work/big.lzh d part3.bin" \
    -n add "bash -c 'cd $work && $cli --config $config big.lzh a small.txt'" >/dev/null
/usr/bin/python3 - "$work/r.json" "$size" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
print("archive of %.0f MB of stored members" % mb)
print("%-28s %8.2f s" % ("cp and sync", r["cpsync"]))
for name, key in (("delete one member", "delete"), ("add a small file", "add")):
    print("%-28s %8.2f s   ratio to cp+sync %.2f (goal <= 1.3)" % (name, r[key], r[key] / r["cpsync"]))
PY

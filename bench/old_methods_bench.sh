#!/bin/bash
# Decode throughput of -lh1-, -lzs-, -lz5-, PMarc's -pm1- and -pm2- and LHARK's -lh7- beside
# lhasa and 7zz where they read the method: each corpus member is repeated COPIES times under
# different names in one archive (level 0; level 1 for LHARK's), which every tool then tests. Prints the MB of output, the median times of
# hyperfine and the ratio of each peer's time to Tavrel's (above 1: Tavrel is faster).
# usage: bench/old_methods_bench.sh [BUILD_DIR] [COPIES]
set -euo pipefail
program=old_method_bench
needs="hyperfine lhasa 7zz"
. "$(dirname "$0")/common.sh"
copies=${2:-1000}
corpus=${TAVREL_CORPUS:-$here/../tests/data/corpus}/lzh

printf "%-6s %-28s %9s %9s %9s %9s %8s %8s\n" method source MB tavrel-ms lhasa-ms 7zz-ms lhasa/t 7zz/t
for row in lh1:lharc113/lh1.lzh lh1:win_gui_b/h1_lh1.lzh lzs:generated/lzs/lzs.lzs \
    lz5:larc333/lz5.lzs lz5:lharc_atari_313a/h2_lz5.lzh pm1:pmarc124/pm1.pma \
    pm2:pmarc2/pm2.pma lk7:lhark04d/lh7_long.lzh; do
    method=${row%%:*}
    source=${row#*:}
    archive=$work/$method.lzh
    "$tool" make "$corpus/$source" "$copies" "$archive"
    "$tool" t "$archive" >/dev/null || { echo "tavrel failed to test $archive"; exit 1; }
    cmds=(-n tavrel "$tool t $archive")
    # A peer that does not read the method right (lhasa before 0.4 and LHARK's) is left out.
    if lhasa t "$archive" >/dev/null 2>&1; then
        cmds+=(-n lhasa "lhasa tq $archive")
    fi
    if 7zz t "$archive" >/dev/null 2>&1; then
        cmds+=(-n 7zz "7zz t $archive")
    fi
    hyperfine -N --warmup 1 --runs 7 --export-json "$work/t.json" "${cmds[@]}" >/dev/null 2>&1
    bytes=$("$tool" t "$archive" | awk '{print $3}')
    /usr/bin/python3 - "$work/t.json" "$bytes" "$method" "$source" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[2]) / 1e6
t = r["tavrel"]
z = r.get("7zz")
l = r.get("lhasa")
ms = lambda v: "n/a" if v is None else "%.1f" % (v * 1e3)
ratio = lambda v: "n/a" if v is None else "%.2f" % (v / t)
print("%-6s %-28s %9.1f %9.1f %9s %9s %8s %8s" % (
    sys.argv[3], sys.argv[4], mb, t * 1e3, ms(l), ms(z), ratio(l), ratio(z)))
PY
done
echo "(median of 7 runs; MB of output per archive; ratio = peer time / Tavrel time)"

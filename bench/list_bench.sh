#!/bin/bash
# Big archives: listing generated archives of N stored members (default 10,000, 100,000
# and 1,000,000; LZH level 2 by bench/make_lzh.py, ZIP by Python's zipfile) with tavrel-cli
# beside `lhasa l`, `bsdtar -tf` and `unzip -l` in the same run, printing medians, peak
# memory per member (whole process) and the ratios; then, on the largest LZH archive, Test,
# deleting one member and deleting every tenth (`d *0.txt`) beside jlha doing the same.
# usage: bench/list_bench.sh [BUILD_DIR] ["N ..."] [LEVEL]
set -euo pipefail
program=list_bench
needs="hyperfine lhasa bsdtar unzip jlha /usr/bin/time"
. "$(dirname "$0")/common.sh"
counts=${2:-10000 100000 1000000}
level=${3:-2}
cli=$build/app/tavrel-cli
[ -x "$cli" ] || { echo "build $cli first"; exit 1; }
# Default settings: every column, the console's plain listing.
config=$work/tavrel.ini
: > "$config"

peak() { /usr/bin/time -f %M "$@" >/dev/null 2>"$work/mem" || true; tail -1 "$work/mem"; }
runs() { [ "$1" -ge 1000000 ] && echo 3 || echo 10; }
report() { # JSON, members, then "name peak" pairs
    /usr/bin/python3 - "$@" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
members = int(sys.argv[2])
peaks = dict(zip(sys.argv[3::2], (int(m) for m in sys.argv[4::2])))
peers = [n for n in peaks if n != "tavrel"]
ours = results["tavrel"]["median"]
cells = ["%8.2fs %6.0f B" % (results[n]["median"], peaks[n] * 1024 / members) for n in peaks]
ratios = " ".join("x-%s %.2f" % (n, results[n]["median"] / ours) for n in peers)
print("%9d  %s  %s" % (members, "  ".join(cells), ratios))
PY
}

for kind in lzh zip; do
    if [ $kind = lzh ]; then
        names="tavrel lhasa bsdtar"
    else
        names="tavrel unzip bsdtar"
    fi
    echo "$kind: median time and peak memory per member of: $names; x-peer = peer / tavrel"
    for count in $counts; do
        archive=$work/bench-$count.$kind
        if [ $kind = lzh ]; then
            /usr/bin/python3 "$here/make_lzh.py" "$count" "$level" "$archive"
        else
            /usr/bin/python3 "$here/make_zip.py" "$count" "$archive"
        fi
        # Every lister must see every member before its time means anything.
        listed=$("$cli" --config "$config" "$archive" | tail -n +2 | wc -l)
        [ "$listed" = "$count" ] || { echo "tavrel-cli lists $listed of $count"; exit 1; }
        [ "$(bsdtar -tf "$archive" | wc -l)" = "$count" ] || { echo "bsdtar: wrong count"; exit 1; }
        if [ $kind = lzh ]; then
            peer=(-n lhasa "lhasa l $archive")
            peaks=(lhasa "$(peak lhasa l "$archive")")
        else
            peer=(-n unzip "unzip -l $archive")
            peaks=(unzip "$(peak unzip -l "$archive")")
        fi
        hyperfine -N --warmup 1 --runs "$(runs "$count")" --export-json "$work/t.json" \
            -n tavrel "$cli --config $config $archive" "${peer[@]}" \
            -n bsdtar "bsdtar -tf $archive" >/dev/null 2>&1
        report "$work/t.json" "$count" tavrel "$(peak "$cli" --config "$config" "$archive")" \
            "${peaks[@]}" bsdtar "$(peak bsdtar -tf "$archive")"
    done
done
echo "(goals: x-peer >= 1 against the faster peer, at most 200 B per member, linear in N)"

# Test, deleting one member and every tenth (`d *0.txt`) of each LZH archive, beside jlha
# (which takes no wildcard for deletion: every tenth is Tavrel's alone).
echo "lzh: test, delete one, delete every tenth; x-jlha = jlha / tavrel"
for count in $counts; do
    archive=$work/bench-$count.lzh
    cp "$archive" "$work/copy.lzh"
    middle=$(printf "file%06d.txt" $((count / 2)))
    hyperfine -N --runs "$(runs "$count")" --prepare "cp $work/copy.lzh $work/d.lzh" \
        --export-json "$work/d.json" \
        -n "tavrel test" "$cli --config $config -t $archive" \
        -n "jlha test" "jlha tq $archive" \
        -n "tavrel delete one" "$cli --config $config $work/d.lzh d $middle" \
        -n "jlha delete one" "jlha dq $work/d.lzh dir$(printf %03d $((count / 2 / 1000)))/$middle" \
        -n "tavrel delete tenth" "$cli --config $config $work/d.lzh d *0.txt" >/dev/null 2>&1
    /usr/bin/python3 - "$work/d.json" "$count" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print("%9d  test %6.2fs (x-jlha %.2f)  delete one %6.2fs (x-jlha %.2f)  delete tenth %6.2fs" % (
    int(sys.argv[2]), r["tavrel test"], r["jlha test"] / r["tavrel test"], r["tavrel delete one"],
    r["jlha delete one"] / r["tavrel delete one"], r["tavrel delete tenth"]))
PY
done

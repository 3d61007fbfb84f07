#!/bin/bash
# ZIP decode throughput: test and extraction of deflate (Info-ZIP zip -6), deflate64 (7zz),
# stored, traditionally encrypted deflate and stored, and 7zz's bzip2, LZMA, xz and AES-256
# (over deflate) archives of text, binaries and many
# small files (each 20 MB or more), timed with hyperfine beside unzip, bsdtar, 7zz and
# libdeflate-gunzip in the same run. libdeflate decodes a gzip -6 stream of the same content
# (the files concatenated); the kind "samegz" is a ZIP whose one member is exactly that
# stream's deflate bytes, so that Tavrel and libdeflate decode the same bits. Prints MB/s of
# output, the ratio to the fastest peer and to libdeflate, and Tavrel's peak memory.
# usage: bench/zip_bench.sh [BUILD_DIR] [MB]
set -euo pipefail
program=zip_extract_bench
needs="hyperfine unzip zip bsdtar 7zz gzip libdeflate-gzip libdeflate-gunzip /usr/bin/time"
. "$(dirname "$0")/common.sh"
megabytes=${2:-24}
limit=$((megabytes * 1024 * 1024))
pw=benchpass

. "$here/datasets.sh"

printf "%-7s %-9s %-7s %8s %8s %8s %8s %8s %6s %9s %7s %9s\n" set kind mode tavrel unzip \
    bsdtar 7zz best-peer ratio libdeflate vs-lib "peak KiB"
for set in ${SETS-text binary small}; do
    bytes=$(du -sb --apparent-size "$work/$set" | cut -f1)
    # Anchors: the same bytes as one gzip stream.
    gz=$work/$set.gz
    find "$work/$set" -type f -print0 | sort -z | xargs -0 cat | gzip -6 > "$gz"
    hyperfine -N --warmup 1 --runs 5 --export-json "$work/a.json" \
        -n gzip "gzip -t $gz" -n libdeflate "libdeflate-gunzip -t $gz" >/dev/null 2>&1
    for kind in ${KINDS-samegz deflate deflate64 stored crypt crypt0 bzip2 lzma xz aes}; do
        archive=$work/$set-$kind.zip
        case $kind in
        samegz) make="/usr/bin/python3 $here/gz_to_zip.py $gz $set.dat $archive" ;;
        deflate) make="zip -q -r -6 $archive ." ;;
        deflate64) make="7zz a -tzip -mm=Deflate64 -mx=5 $archive ." ;;
        stored) make="zip -q -r -0 $archive ." ;;
        crypt) make="zip -q -r -6 -P $pw $archive ." ;;
        crypt0) make="zip -q -r -0 -P $pw $archive ." ;;
        bzip2) make="7zz a -tzip -mm=BZip2 -mx=5 $archive ." ;;
        lzma) make="7zz a -tzip -mm=LZMA -mx=5 $archive ." ;;
        xz) make="7zz a -tzip -mm=xz -mx=5 $archive ." ;;
        aes) make="7zz a -tzip -mm=Deflate -mx=5 -mem=AES256 -p$pw $archive ." ;;
        esac
        ( cd "$work/$set" && $make >/dev/null )
        secret=$([[ $kind = crypt* || $kind = aes ]] && echo yes || true)
        p=$([ -n "$secret" ] && echo "-p $pw" || true)
        up=$([ -n "$secret" ] && echo "-P $pw" || true)
        bp=$([ -n "$secret" ] && echo "--passphrase $pw" || true)
        sp=$([ -n "$secret" ] && echo "-p$pw" || true)
        "$tool" $p t "$archive" >/dev/null || { echo "tavrel failed to test $archive"; exit 1; }
        for mode in test extract; do
            out=$work/out
            if [ $mode = test ]; then
                cmds=("$tool $p t $archive" "unzip -tq $up $archive" "bsdtar $bp -xOf $archive" "7zz t $sp $archive")
                lib="libdeflate-gunzip -t $gz"
            else
                cmds=("$tool $p x $archive $out" "unzip -qo $up $archive -d $out" "bsdtar $bp -xf $archive -C $out" "7zz x -y $sp -o$out $archive")
                lib="libdeflate-gunzip -k -f $out/$set.gz"
            fi
            # A peer that cannot read the archive (bsdtar has no deflate64) is left out.
            names=(tavrel unzip bsdtar 7zz)
            args=()
            for i in 0 1 2 3; do
                rm -rf "$out" && mkdir -p "$out"
                if [ $i = 0 ] || bash -c "${cmds[$i]}" >/dev/null 2>&1; then
                    args+=(-n "${names[$i]}" "bash -c '${cmds[$i]} >/dev/null 2>&1'")
                fi
            done
            hyperfine -N --warmup 1 --runs 5 --prepare "bash -c 'rm -rf $out && mkdir -p $out && cp $gz $out/'" \
                --export-json "$work/t.json" "${args[@]}" -n libdeflate "$lib" >/dev/null 2>&1
            rm -rf "$out" && mkdir -p "$out"
            peak=$(/usr/bin/time -f %M ${cmds[0]} 2>&1 >/dev/null | tail -1)
            /usr/bin/python3 - "$work/t.json" "$work/a.json" "$bytes" "$set" "$kind" "$mode" "$peak" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
mb = int(sys.argv[3]) / 1e6
speed = {k: mb / v for k, v in r.items()}
peers = [k for k in ("unzip", "bsdtar", "7zz") if k in speed]
best = max(speed[k] for k in peers)
lib = speed["libdeflate"]
col = lambda k: "%8.0f" % speed[k] if k in speed else "%8s" % "n/a"
print("%-7s %-9s %-7s %8.0f %s %s %s %8.0f %6.2f %9.0f %7.2f %9s" % (
    sys.argv[4], sys.argv[5], sys.argv[6], speed["tavrel"], col("unzip"), col("bsdtar"),
    col("7zz"), best, speed["tavrel"] / best, lib, speed["tavrel"] / lib, sys.argv[7]))
PY
        done
    done
    printf "%-7s anchors (-t): gzip %.0f MB/s, libdeflate-gunzip %.0f MB/s\n" "$set" \
        $(/usr/bin/python3 -c "
import json
a = {x['command']: x['median'] for x in json.load(open('$work/a.json'))['results']}
print($bytes / 1e6 / a['gzip'], $bytes / 1e6 / a['libdeflate'])")
done
echo "(MB/s of output, median of 5 runs; goals: ratio >= 1 on every row, >= 1.5 for crypt0,"
echo " vs-lib >= 1 for samegz; libdeflate tests its stream (-t) or writes it to one file)"

# Peak memory while one large member (BIG_MB, default 1024; 0 skips) is tested and extracted.
big=${BIG_MB:-1024}
if [ "$big" -gt 0 ]; then
    mkdir -p "$work/big"
    while [ "$(stat -c %s "$work/big/big.txt" 2>/dev/null || echo 0)" -lt $((big * 1024 * 1024)) ]; do
        cat "$work/text/text.txt" >> "$work/big/big.txt"
    done
    truncate -s $((big * 1024 * 1024)) "$work/big/big.txt"
    ( cd "$work/big" && zip -q -1 "$work/big.zip" big.txt )
    rm -rf "$work/out" && mkdir -p "$work/out"
    for mode in t x; do
        args=$([ $mode = t ] && echo "t $work/big.zip" || echo "x $work/big.zip $work/out")
        /usr/bin/time -f "%M %e" "$tool" $args 2>"$work/m.txt" >/dev/null
        read -r kib seconds < <(tail -1 "$work/m.txt")
        printf "one %d MB member, %s: peak %d KiB, %.1f s\n" "$big" \
            "$([ $mode = t ] && echo test || echo extraction)" "$kib" "$seconds"
    done
    cmp "$work/big/big.txt" "$work/out/big.txt" && echo "(extracted file identical; goal: peak under 16 MB)"
fi

#!/bin/bash
# Sourced by the benchmarks after they set `program` (a bench binary) and `needs` (peer
# commands): finds the build folder ($1, default build/release), checks the tools, and
# makes a work folder that is removed at exit.
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
tool=$build/bench/$program
for t in $needs; do
    command -v "$t" >/dev/null ||
        { echo "missing $t (apt-get install hyperfine lhasa libarchive-tools 7zip jlha-utils zip unzip libdeflate-tools gzip time)"; exit 1; }
done
[ -x "$tool" ] || { echo "build $tool first (cmake --preset release && cmake --build build/release)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/var/tmp}/tavrel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

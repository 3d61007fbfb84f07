#!/bin/bash
# The desktop program from a file manager, under Xvfb: --extract-here puts an LZH and a ZIP
# archive given in one call beside themselves, each in a folder named after it, with the
# usual summary naming the archive; an archive holding one folder or one file gets no folder
# of its own; a damaged archive ends with a non-zero status; the folder the Extract all dialog
# proposes stays as the settings had it. Three archives on the command line open three
# windows, each a program of its own, which SIGTERM and SIGHUP end. SIGTERM ends the program as
# File > Exit does: a delete waiting for the archive's Close is written and the status is 0.
# Nothing may appear on the program's stderr.
# usage: extract_here.sh TAVREL
set -euo pipefail
tavrel=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cli=$(dirname "$tavrel")/tavrel-cli
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run xdotool zip; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

# The members: a file and a folder holding one.
mkdir -p "$work/src/資料" "$work/lzh" "$work/zip" "$work/one" "$work/bad"
echo "はじめに" > "$work/src/はじめに.txt"
echo "メモ" > "$work/src/資料/メモ.txt"
make_lzh() { # ARCHIVE ITEM...: an LZH archive of the items below src, folders kept
    local archive=$1
    shift
    (cd "$work/src" && "$cli" --config "$work/cli.ini" --new "$archive" a -d1 -x1 "$@" >/dev/null)
}
make_lzh "$work/lzh/書庫.lzh" はじめに.txt 資料
(cd "$work/src" && zip -qr "$work/zip/zipped.zip" はじめに.txt 資料)
make_lzh "$work/one/folder.lzh" 資料
(cd "$work/src" && zip -q "$work/one/file.zip" はじめに.txt)
# Cut inside its second member's header: the first member is whole, what follows cannot be
# read.
make_lzh "$work/first.lzh" はじめに.txt
head -c $(($(stat -c %s "$work/first.lzh") - 1 + 10)) "$work/lzh/書庫.lzh" > "$work/bad/broken.lzh"
# What the SIGTERM closes: a member deleted, waiting for the archive's Close.
echo keep > "$work/src/keep.txt"
echo gone > "$work/src/gone.txt"
make_lzh "$work/消去.lzh" keep.txt gone.txt
# The folder the Extract all dialog proposes, which extracting here leaves alone.
printf '[LastFolder]\nExtract=\\\\kept\\\\\n' > "$work/Tavrel.ini"

export TAVREL_GUI_TRACE=$work/trace.txt
# A display of its own, found from a number of its own, with its key kept here (other displays
# on the machine come and go), and never reset while no program is connected: the programs
# here come one after the other, and one that starts during a reset finds no display.
xvfb-run -a -n $((200 + RANDOM % 800)) -f "$work/Xauthority" -s "-screen 0 1280x800x24 -noreset" \
    bash -s "$tavrel" "$work" "$here" <<'SCRIPT'
set -eEuo pipefail
tavrel=$1 work=$2 here=$3
[ -z "${GUI_DEBUG:-}" ] || set -x
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND"; tail -n 30 "$work"/err*.log 2>/dev/null' ERR
trace=$work/trace.txt
source "$here/gui_common.sh"
fail() {
    echo "FAIL: $*"
    echo "--- trace:"; grep -av '^rows' "$trace" | tail -n 20
    echo "--- stderr:"; tail -n 20 "$work/err.log" 2>/dev/null
    exit 1
}

# extract_here ARCHIVE...: the program's --extract-here, its messages answered; the status in
# $status.
extract_here() {
    : > "$trace"
    "$tavrel" --config "$work/Tavrel.ini" --extract-here "$@" >>"$work/out.log" 2>>"$work/err.log" &
    local pid=$!
    answer_messages_until_end $pid || { kill $pid; fail "--extract-here $* did not end"; }
    status=0
    wait $pid || status=$?
}

# An LZH and a ZIP archive in one call: each in a folder named after it.
extract_here "$work/lzh/書庫.lzh" "$work/zip/zipped.zip"
[ $status = 0 ] || fail "--extract-here of two good archives ended with $status"
for out in "$work/lzh/書庫" "$work/zip/zipped"; do
    [ "$(cat "$out/はじめに.txt")" = はじめに ] && [ "$(cat "$out/資料/メモ.txt")" = メモ ] ||
        fail "$out does not hold the members: $(find "$out" 2>/dev/null | tr '\n' ' ')"
done
[ "$(messages)" = "展開終了|[$work/lzh/書庫.lzh]
展開終了|[$work/zip/zipped.zip]" ] || fail "the messages were: $(messages)"
[ -z "$(program_windows)" ] || fail "a window stayed open"

# One folder, one file: beside the archive, without a folder of their own.
extract_here "$work/one/folder.lzh" "$work/one/file.zip"
[ $status = 0 ] || fail "--extract-here of one-item archives ended with $status"
[ "$(cat "$work/one/資料/メモ.txt")" = メモ ] && [ "$(cat "$work/one/はじめに.txt")" = はじめに ] ||
    fail "one/ holds $(find "$work/one" | tr '\n' ' ')"
[ ! -e "$work/one/folder" ] && [ ! -e "$work/one/file" ] || fail "a folder was made for one item"

# A damaged archive: what could be read is extracted, and the status says it was not all.
extract_here "$work/bad/broken.lzh"
[ $status != 0 ] || fail "--extract-here of a damaged archive ended with 0"
messages | grep -q "^書庫の[0-9]*バイト目から先を読み取れません。" ||
    fail "no message on the damaged archive: $(messages)"
# (The one member that could be read is the only item: it goes beside the archive.)
[ "$(cat "$work/bad/はじめに.txt")" = はじめに ] || fail "the readable member was not extracted"

grep -qxF 'Extract=\\kept\\' "$work/Tavrel.ini" ||
    fail "the Extract all dialog's folder changed: $(grep Extract= "$work/Tavrel.ini")"

# Three archives: three windows, the first in this program, each further one in its own.
: > "$trace"
"$tavrel" --config "$work/windows.ini" "$work/lzh/書庫.lzh" "$work/zip/zipped.zip" \
    "$work/one/folder.lzh" >>"$work/out.log" 2>>"$work/err.log" &
first=$!
pids=()
for title in "書庫.lzh - Tavrel" "zipped.zip - Tavrel" "folder.lzh - Tavrel"; do
    wait_until has_window_titled "$title" || fail "no window titled '$title': $(
        for w in $(program_windows); do xdotool getwindowname "$w"; done | tr '\n' ',')"
    pids+=("$(xdotool getwindowpid "$(titled "$title" | head -1)")")
done
[ "${pids[0]}" = $first ] || fail "the first archive opened in process ${pids[0]}, not $first"
[ "$(printf '%s\n' "${pids[@]}" | sort -u | wc -l)" = 3 ] || fail "windows of one process: ${pids[*]}"
# SIGHUP ends one, SIGTERM the others.
kill -HUP "${pids[1]}"
kill -TERM "${pids[2]}" $first
for pid in "${pids[@]}"; do
    wait_until ended "$pid" || fail "process $pid did not end"
done
status=0
wait $first || status=$?
[ $status = 0 ] || fail "the first window's program ended with $status"

# SIGTERM with a delete waiting: the program ends as File > Exit ends it.
: > "$trace"
"$tavrel" --config "$work/Tavrel.ini" "$work/消去.lzh" >>"$work/out.log" 2>>"$work/err.log" &
pid=$!
wait_until has_window_titled "消去.lzh - Tavrel" || fail "the window did not appear"
window=$(titled "消去.lzh - Tavrel")
# The typed command (操作 -> コマンドライン操作) deletes a member.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+a c
wait_until has_window_titled "コマンドライン処理" || fail "the command-line dialog did not open"
xdotool windowfocus --sync "$(titled "コマンドライン処理")"
xdotool type --delay 30 "d gone.txt"
xdotool key --clearmodifiers Return
pending() { grep '^title' "$trace" | tail -1 | grep -qx "title	\*消去.lzh - Tavrel"; }
wait_until pending || fail "no delete waits: $(grep '^title' "$trace" | tail -1)"
kill -TERM $pid
wait_until ended $pid || { kill -KILL $pid; fail "SIGTERM did not end the program"; }
status=0
wait $pid || status=$?
[ $status = 0 ] || fail "the program ended with $status after SIGTERM"
SCRIPT

fail=0
members=$("$cli" --config "$work/cli.ini" "$work/消去.lzh" | tail -n +2 | cut -f1 | tr '\n' ' ')
[ "$members" = "keep.txt " ] || { echo "FAIL: after SIGTERM the archive holds '$members'"; fail=1; }
if grep -q "^assert" "$work/out.log"; then
    echo "FAIL: the toolkit asserted:"
    grep "^assert" "$work/out.log"
    fail=1
fi
if [ -s "$work/err.log" ]; then
    echo "FAIL: the program wrote to stderr:"
    cat "$work/err.log"
    fail=1
fi
[ $fail = 0 ] && echo "extract here: ok"
exit $fail

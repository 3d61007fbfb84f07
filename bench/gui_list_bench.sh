#!/bin/bash
# Times the desktop program showing an archive of N stored members (default 1,000,000)
# under Xvfb, beside the console listing of the same archive, and prints peak memory:
#   - console: `tavrel-cli ARCHIVE > /dev/null` (median of 3) and its peak RSS;
#   - desktop: start-up until the list has drawn its first row, the End key until the last
#     row is drawn, ten Page Down presses, and the peak RSS of the whole run;
#   - the same desktop run on an empty window, whose RSS is subtracted per member.
# usage: bench/gui_list_bench.sh [BUILD_DIR] [N]
set -euo pipefail
program=list_bench
needs="xvfb-run xdotool /usr/bin/time"
. "$(dirname "$0")/common.sh"
count=${2:-1000000}
tavrel=$build/app/tavrel
cli=$build/app/tavrel-cli
archive=$work/members.lzh
/usr/bin/python3 "$here/make_lzh.py" "$count" 2 "$archive"
echo "archive: $count members, $(stat -c %s "$archive") bytes"

ms() { echo $(( $(date +%s%N) / 1000000 )); }
cliTimes=()
for _ in 1 2 3; do
    start=$(ms)
    "$cli" --config "$work/cli.ini" "$archive" >/dev/null
    cliTimes+=($(( $(ms) - start )))
done
cliMedian=$(printf '%s\n' "${cliTimes[@]}" | sort -n | sed -n 2p)
/usr/bin/time -f "%U %S %M" -o "$work/cli.rss" "$cli" --config "$work/cli.ini" "$archive" >/dev/null

export LC_ALL=C.UTF-8
# run ARCHIVE|"" RSS_FILE: one desktop run, timed through the window's trace.
cat > "$work/run.sh" <<'RUN'
set -euo pipefail
tavrel=$1 archive=$2 rss=$3 trace=$4 count=$5
ms() { echo $(( $(date +%s%N) / 1000000 )); }
export TAVREL_GUI_TRACE=$trace
: > "$trace"
start=$(ms)
/usr/bin/time -f "%U %S %M" -o "$rss" "$tavrel" --config "$trace.ini" $archive 2>/dev/null &
# Shown: the first row drawn, or for the empty window the first idle time after showing.
ready='^first-row-drawn'
[ -n "$archive" ] || ready='^header'
for _ in $(seq 1 6000); do grep -q "$ready" "$trace" && break; sleep 0.01; done
shown=$(( $(ms) - start ))
window=
for _ in $(seq 1 100); do window=$(xdotool search --onlyvisible --class tavrel 2>/dev/null | head -1 || true); [ -n "$window" ] && break; sleep 0.05; done
if [ -n "$archive" ]; then
    xdotool mousemove --window "$window" 60 137 click 1; sleep 0.5
    start=$(ms)
    xdotool key End
    for _ in $(seq 1 3000); do grep -q '^last-row-drawn' "$trace" && break; sleep 0.01; done
    echo "end key to last row drawn: $(( $(ms) - start )) ms"
    xdotool key Home; sleep 0.5
    start=$(ms)
    for _ in $(seq 1 10); do xdotool key Page_Down; done
    echo "ten Page Down presses: $(( $(ms) - start )) ms"
fi
echo "shown after: $shown ms"
echo "$shown" > "$trace.shown"
sleep 0.5
xdotool key --clearmodifiers alt+f x
wait
RUN
echo "--- desktop, $count members"
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/run.sh" "$tavrel" "$archive" "$work/gui.rss" "$work/trace" "$count"
echo "--- desktop, no archive"
xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/run.sh" "$tavrel" "" "$work/empty.rss" "$work/trace0" 0 | grep shown
guiMs=$(cat "$work/trace.shown")
# CPU seconds (user + system) and peak RSS of each run; wall-clock times suffer from other
# work on the machine, CPU time much less.
cpu() { tail -1 "$1" | awk '{ printf "%.2f", $1 + $2 }'; }
rss() { tail -1 "$1" | awk '{ print $3 }'; }
guiKiB=$(rss "$work/gui.rss"); emptyKiB=$(rss "$work/empty.rss"); cliKiB=$(rss "$work/cli.rss")
echo "CPU seconds: console listing $(cpu "$work/cli.rss"); desktop run (shown, End, Page Down," \
     "exit) $(cpu "$work/gui.rss"); empty window $(cpu "$work/empty.rss")"
echo "--- console listing: median ${cliMedian} ms of ${cliTimes[*]}; peak RSS ${cliKiB} KiB"
echo "desktop shown after ${guiMs} ms: $(python3 -c "print('%.2f' % ($guiMs / $cliMedian))") times the console listing (goal: 1.5 at most)"
echo "desktop peak RSS ${guiKiB} KiB, empty window ${emptyKiB} KiB:" \
     "$(( (guiKiB - emptyKiB) * 1024 / count )) bytes per member above the empty window;" \
     "console $(( cliKiB * 1024 / count )) bytes per member"

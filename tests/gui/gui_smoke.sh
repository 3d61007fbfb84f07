#!/bin/bash
# The desktop program under Xvfb: it starts with the sample archive and shows its members,
# the settings sheet opens from the menu, Test reports every member in order, Extract all
# writes the files, and closing the window saves the settings. Screenshots of the main window
# and of the settings sheet go to $ARTIFACTS (default: the build's gui-artifacts folder).
# usage: gui_smoke.sh TAVREL SAMPLE_LZH
set -euo pipefail
tavrel=$1
sample=$2
artifacts=${ARTIFACTS:-$(dirname "$tavrel")/../gui-artifacts}
for tool in xvfb-run xdotool import; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$sample" "$work/サンプル.lzh"
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory

xvfb-run -a -s "-screen 0 1280x800x24" bash -s "$tavrel" "$work" "$artifacts" <<'SCRIPT'
set -euo pipefail
tavrel=$1 work=$2 artifacts=$3
"$tavrel" --config "$work/Tavrel.ini" "$work/サンプル.lzh" >"$work/out.log" 2>&1 &
pid=$!
window=
for _ in $(seq 1 50); do
    window=$(xdotool search --onlyvisible --class tavrel 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "FAIL: the main window did not appear"; exit 1; }
sleep 1
import -window "$window" "$artifacts/main-window.png"
key() { xdotool key --clearmodifiers "$@"; sleep 0.8; }
# The tallest visible window of the program other than the main one (menus are short).
dialog() {
    local best= bestHeight=100
    for w in $(xdotool search --onlyvisible --class tavrel 2>/dev/null); do
        [ "$w" = "$window" ] && continue
        h=$(xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
        if [ "${h:-0}" -gt "$bestHeight" ]; then best=$w bestHeight=$h; fi
    done
    echo "$best"
}
# Settings: F10 opens the menu bar; the third menu holds 設定.
xdotool windowactivate --sync "$window" 2>/dev/null || true
# Without a window manager keys do not reach the open menu: its first item is clicked.
key F10 Right Right
popup=$(xdotool search --onlyvisible --class tavrel | while read -r w; do
    [ "$w" != "$window" ] && echo "$w"; done | tail -1)
[ -n "$popup" ] || { echo "FAIL: the menu did not open"; exit 1; }
xdotool mousemove --window "$popup" 20 12 click 1
sleep 1.5
sheet=$(dialog)
[ -n "$sheet" ] || { echo "FAIL: the settings sheet did not open"; exit 1; }
import -window "$sheet" "$artifacts/settings-sheet.png"
key Escape
# Test (操作 -> テスト): the summary box, then Enter closes it.
key alt+a t
key Return
# Extract all (操作 -> 全てのファイルを展開): the destination dialog, typed, then the summary.
key alt+a e
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$work/out"
key Return
key Return
# Exit from the menu.
key alt+f x
for _ in $(seq 1 25); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.2
done
if kill -0 $pid 2>/dev/null; then
    echo "FAIL: the program did not exit"
    kill $pid
    exit 1
fi
SCRIPT

fail=0
[ -f "$work/out/サンプル/資料/メモ.txt" ] || { echo "FAIL: Extract all wrote nothing"; fail=1; }
grep -q "CommandLineHistory" "$work/Tavrel.ini" || { echo "FAIL: no settings saved at exit"; fail=1; }
grep -q "Extract=" "$work/Tavrel.ini" || { echo "FAIL: LastFolder/Extract not stored"; fail=1; }
[ -s "$artifacts/main-window.png" ] && [ -s "$artifacts/settings-sheet.png" ] ||
    { echo "FAIL: screenshots missing"; fail=1; }
[ $fail = 0 ] && echo "gui smoke: ok (screenshots in $artifacts)"
exit $fail

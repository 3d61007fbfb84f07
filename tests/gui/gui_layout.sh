#!/bin/bash
# Every dialog and settings page of the desktop program checked for clipped, overlapping or
# misplaced controls at the default font and at 1.5 times its size (the program's
# --check-layout), once at the display's default resolution and once with the toolkit's
# fonts scaled by 1.5 as a user would set them; pictures of each go to $ARTIFACTS/dialogs.
# Nothing may appear on stderr.
# usage: gui_layout.sh TAVREL
set -euo pipefail
tavrel=$1
artifacts=${ARTIFACTS:-$(dirname "$tavrel")/../gui-artifacts}
command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit 77; }
mkdir -p "$artifacts/dialogs" "$artifacts/dialogs-dpi1.5"
export LC_ALL=C.UTF-8
err=$(mktemp)
trap 'rm -f "$err"' EXIT
fail=0
xvfb-run -a -s "-screen 0 1280x800x24" "$tavrel" --check-layout "$artifacts/dialogs" 2>"$err" ||
    fail=1
GDK_DPI_SCALE=1.5 xvfb-run -a -s "-screen 0 1280x800x24" \
    "$tavrel" --check-layout "$artifacts/dialogs-dpi1.5" 2>>"$err" || fail=1
if [ -s "$err" ]; then
    echo "FAIL: the program wrote to stderr:"
    cat "$err"
    fail=1
fi
[ $fail = 0 ] && echo "gui layout: ok (pictures in $artifacts/dialogs*)"
exit $fail

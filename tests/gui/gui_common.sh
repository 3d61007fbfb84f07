# Shared by the desktop program's scripts under Xvfb (sourced, inside the display): waits that
# end as soon as what they wait for shows, and the program's windows found by xdotool.
# Expects $trace (the program's TAVREL_GUI_TRACE file).

# On a machine busy with other work a wait may take several times as long as on an idle one.
patience=${TAVREL_GUI_PATIENCE:-10}

# wait_until COMMAND...: runs COMMAND until it succeeds, for up to 10 s times the patience;
# fails when it never did.
wait_until() {
    local _
    for _ in $(seq 1 $((50 * patience))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# The visible windows of the program(s), and those whose title is exactly $1.
program_windows() { xdotool search --onlyvisible --class tavrel 2>/dev/null || true; }
titled() {
    local w
    for w in $(program_windows); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && echo "$w"
    done
    return 0
}
has_window_titled() { [ -n "$(titled "$1")" ]; }

# Whether process $1 has ended.
ended() { ! kill -0 "$1" 2>/dev/null; }

# The message boxes (titled as the program is named) shown while process $1 runs are answered
# with Enter, one by one, until it ends. Fails when it does not end.
answer_messages_until_end() {
    local pid=$1 box _
    for _ in $(seq 1 $((50 * patience))); do
        ended "$pid" && return 0
        box=$(titled Tavrel | head -1)
        if [ -n "$box" ]; then
            # Without a window manager a new window has no keyboard focus of its own.
            xdotool windowfocus --sync "$box" key --clearmodifiers Return 2>/dev/null || true
            wait_until box_gone "$box" || return 1
        else
            sleep 0.2
        fi
    done
    ended "$pid"
}
box_gone() { [ -z "$(titled Tavrel | grep -x "$1" || true)" ]; }

# The texts of the message boxes in the trace, each on one line ('|' for its line breaks).
messages() {
    awk '/^[a-z-]+\t/ { if (m != "") print m; m = "" } /^message\t/ { m = substr($0, 9); next }
         m != "" { m = m "|" $0 } END { if (m != "") print m }' "$trace"
}

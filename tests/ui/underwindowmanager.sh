#!/bin/sh
# underwindowmanager.sh COMMAND [ARG...]: runs COMMAND on a display of its own
# (Xvfb, on a display number that the server picks free) managed by openbox,
# with Qt on that display (xcb), and returns its exit status. Both servers are
# ended afterwards, whatever the command did.
set -u

work=$(mktemp -d) || exit 1
xvfb_pid=
wm_pid=
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# wait_for NAME PID LOG COMMAND...: polls COMMAND for up to 10 s while the
# server PID lives; otherwise says that NAME did not start, with its LOG, and
# fails.
wait_for() {
    name=$1 pid=$2 log=$3
    shift 3
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "underwindowmanager: $name did not start" >&2
            cat "$log" >&2
            return 1
        fi
        sleep 0.05
    done
}

wm_ready() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# start_servers: Xvfb on a free display, then openbox on it. Two servers
# started at the same moment can pick the same display number, and the one
# that loses leaves its window manager nothing to open; such a start is
# ended and tried again.
start_servers() {
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for Xvfb "$xvfb_pid" "$work/xvfb.log" test -s "$work/display" || return 1
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
    HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    # The window manager is ready once it has announced itself on the root window.
    wait_for openbox "$wm_pid" "$work/openbox.log" wm_ready
}

stop_servers() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    wm_pid= xvfb_pid=
}

attempt=1
until start_servers; do
    stop_servers
    attempt=$((attempt + 1))
    [ "$attempt" -le 3 ] || exit 1
    echo "underwindowmanager: trying again ($attempt of 3)" >&2
done

# libxkbcommon-x11 copies X replies with a length-bounded strndup of a buffer
# that has no NUL: legal, but reported under strict string checks. Qt's xcb
# platform calls it at start-up, so those checks are off on an X display.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    export ASAN_OPTIONS
fi
QT_QPA_PLATFORM=xcb "$@"

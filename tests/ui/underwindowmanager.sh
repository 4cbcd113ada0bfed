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

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
tries=0
until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "underwindowmanager: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
# The window manager is ready once it has announced itself on the root window.
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$wm_pid" 2>/dev/null; then
        echo "underwindowmanager: openbox did not start" >&2
        cat "$work/openbox.log" >&2
        exit 1
    fi
    sleep 0.05
done

# libxkbcommon-x11 copies X replies with a length-bounded strndup of a buffer
# that has no NUL: legal, but reported under strict string checks. Qt's xcb
# platform calls it at start-up, so those checks are off on an X display.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
    export ASAN_OPTIONS
fi
QT_QPA_PLATFORM=xcb "$@"

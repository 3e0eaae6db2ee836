# A bare X server, as a kiosk's xinit or startx leaves it: no window manager, and a reset
# whenever its last client leaves. Every start here has a fresh Xvfb of its own, on which
# the viewer is the first client.

load helpers

teardown() {
    stop_viewer
    stop_server
}

# start_server: a fresh 1280 x 720 Xvfb without -noreset, named by DISPLAY once it takes
# clients. Nothing connects to it here.
start_server() {
    local named=$BATS_TEST_TMPDIR/display
    rm -f "$named"
    Xvfb -displayfd 4 -screen 0 1280x720x24 -nolisten tcp 4>"$named" 2>/dev/null 3>&- &
    SERVER=$!
    within 10 test -s "$named"
    DISPLAY=:$(<"$named")
    export DISPLAY
}
stop_server() {
    [ -n "${SERVER:-}" ] || return 0
    kill "$SERVER" 2>/dev/null || true
    wait "$SERVER" 2>/dev/null || true
    SERVER=
}

@test "started ten times as the only client of a server that resets, it opens its window each time" {
    for start in {1..10}; do
        echo "# start $start"
        start_server
        make_run_dir
        launch_unseen env --default-signal
        # No other client until the start is well past the display check and the window's
        # opening: one would keep the server from resetting, and hide a start that races it.
        within 3 viewer_ended || true
        viewer_running
        within "$PATIENCE" viewer_window >/dev/null
        kill -s TERM "$VIEWER"
        ends_with 143 15
        stderr_is_clean
        stop_server
    done
}

@test "with no window manager it covers the screen, takes the focus, names its process and leaves grabs free" {
    start_server
    make_run_dir
    launch
    wait_for_globe "$RUN_DIR/globe.ppm"
    globe_is_round_and_centred "$RUN_DIR/globe.ppm"
    # The window is found by its process id, which the window names itself.
    local window
    window=$(viewer_window)
    [ "$(xprop -id "$window" _NET_WM_PID)" = "_NET_WM_PID(CARDINAL) = $VIEWER" ]
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$X,$Y ${WIDTH}x$HEIGHT" = "0,0 1280x720" ]
    [ "$(xdotool getwindowfocus)" = "$window" ]
    locker_can_grab
    # Nothing but another client can end it here: it ends as closed when that one destroys it.
    xdotool windowclose "$window"
    ends_with 0 15
    stderr_is_clean
}

# A bare X server, as a kiosk's xinit or startx leaves it: no window manager, and a reset
# whenever its last client leaves. Every start here has a fresh Xvfb of its own, on which
# the viewer is the first client.

load helpers

teardown() {
    stop_viewer
    stop_server
}

# start_server [Xvfb options]: a fresh 1280 x 720 Xvfb without -noreset, named by DISPLAY
# once it takes clients. Nothing connects to it here.
start_server() {
    local named=$BATS_TEST_TMPDIR/display
    rm -f "$named"
    Xvfb -displayfd 4 -screen 0 1280x720x24 -nolisten tcp "$@" 4>"$named" 2>/dev/null 3>&- &
    SERVER=$!
    within 10 test -s "$named"
    DISPLAY=:$(<"$named")
    export DISPLAY
}
# hold_server: a client connected to the end of the test, so that the test's own short
# connections never leave the server without a client and reset it under the viewer's start.
hold_server() {
    local said=$BATS_TEST_TMPDIR/holder
    xprop -root -spy >"$said" 2>&1 3>&- &
    HOLDER=$!
    # It prints the root's properties once connected.
    within 10 test -s "$said"
}
stop_server() { end_processes "${HOLDER:-}" "${SERVER:-}" && HOLDER= SERVER=; }

@test "started ten times as the only client of a server that resets, it opens its window each time" {
    for start in {1..10}; do
        echo "# start $start"
        start_server
        make_run_dir
        launch_unseen env --default-signal
        # No other client until the start is well past the display check and the window's
        # opening: one would keep the server from resetting, and hide a start that races it.
        within 3 test -s "$RUN_DIR/status" || true
        viewer_running
        within "$PATIENCE" viewer_window >/dev/null
        kill -s TERM "$VIEWER"
        ends_with 143 15
        stderr_is_clean
        stop_server
    done
}

@test "with no window manager its window is black from the moment it shows, covers the screen, takes the focus, names its process and leaves grabs free" {
    # The root window in the old weave of black and white, which a window without a
    # background of its own would go on showing.
    start_server -retro
    hold_server
    make_run_dir
    launch
    within "$PATIENCE" viewer_window >/dev/null
    # Held still where it stands, before the first globe frame on the software renderer.
    kill -s STOP "$VIEWER"
    grab "$RUN_DIR/shown.ppm"
    kill -s CONT "$VIEWER"
    # The top rows, which the globe never reaches, are black.
    [ "$(convert "$RUN_DIR/shown.ppm" -crop 1280x40+0+0 -format '%[max]' info:)" = 0 ]
    wait_for_globe "$RUN_DIR/globe.ppm"
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

# The real viewer on a virtual screen, driven as a user drives it.

load helpers

setup() {
    make_run_dir
}

teardown() {
    stop_viewer
}

@test "opens one fullscreen window over the whole screen and Alt+F4 ends it with status 0" {
    launch
    wait_for_window
    [ "$(xprop -id "$WINDOW" _NET_WM_STATE)" = "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN" ]
    xdotool getwindowgeometry "$WINDOW" | grep -q 'Position: 0,0'
    xdotool getwindowgeometry "$WINDOW" | grep -q 'Geometry: 1280x720'
    wait_for_globe "$BATS_TEST_TMPDIR/globe.png"
    close_viewer
    wait_for_exit 10
    [ "$STATUS" = 0 ]
}

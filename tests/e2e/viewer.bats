# The real viewer driven as a user drives it. Every test starts a viewer of its own, with the
# clock at a fixed second, and closes it as a user does.

load helpers
bats_require_minimum_version 1.5.0

# The other program's window some tests open, gone with the test, and the key repeat back on.
teardown() {
    close_target
    stop_viewer
    xset r on
}

# start_viewer [VAR=value ...]: a viewer at second 0 in a fresh RUN_DIR, its globe in first.ppm.
start_viewer() {
    [ -n "${RUN_DIR:-}" ] || make_run_dir
    launch_at_second 0 "$@"
    wait_for_globe "$RUN_DIR/first.ppm"
}

# The screen grabbed into $1 stays the same for a second: several frames even on the software
# renderer.
stays_still() { grab "$1" && sleep 1 && ! screen_differs_from "$1"; }
outline_width_between() {
    local width
    grab "$RUN_DIR/now.ppm" && read -r width _ < <(silhouette "$RUN_DIR/now.ppm") &&
        ((width >= $1 && width <= $2))
}

@test "one fullscreen window shows the globe in the middle; only an arrow turns it, while held, also let go elsewhere; the wheel zooms; no grab is held" {
    start_viewer
    local windows
    windows=$(find_windows)
    [ "$windows" = "$(viewer_window)" ]
    [ "$(wc -w <<<"$windows")" = 1 ]
    [ "$(xprop -id "$windows" _NET_WM_STATE)" = "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN" ]
    eval "$(xdotool getwindowgeometry --shell "$windows")"
    [ "$X,$Y ${WIDTH}x$HEIGHT" = "0,0 1280x720" ]
    globe_is_round_and_centred "$RUN_DIR/first.ppm"
    within "$PATIENCE" viewer_focused
    locker_can_grab
    # Other keys and the sideways wheel change nothing.
    xdotool key Escape a space Return q F4 mousemove 640 360 click --repeat 2 6 sleep 1
    run ! screen_differs_from "$RUN_DIR/first.ppm"
    xdotool keydown Left
    within "$PATIENCE" screen_differs_from "$RUN_DIR/first.ppm"
    xdotool keyup Left
    within 15 stays_still "$RUN_DIR/still.ppm"
    # Without the server's key repeat: a repeat sends a release before each press again, and
    # that release may be the last key event the viewer sees before the focus leaves.
    xset r off
    xdotool keydown Right
    within "$PATIENCE" screen_differs_from "$RUN_DIR/still.ppm"
    # Alt+Tab to another window, where Right is let go.
    open_target 300x100+490+310
    within "$PATIENCE" focused echo "$TARGET"
    xdotool keyup Right
    locker_can_grab
    close_target
    within "$PATIENCE" viewer_focused
    locker_can_grab
    within 15 stays_still "$RUN_DIR/still.ppm"
    # Three notches up bring the eye from 3 to 2.625, six down take it to 3.375.
    local start
    start=$(silhouette "$RUN_DIR/still.ppm" | cut -d' ' -f1)
    xdotool mousemove 640 360 click --repeat 3 --delay 20 4
    within "$PATIENCE" outline_width_between $((start + 60)) 1280
    xdotool click --repeat 6 --delay 20 5
    within "$PATIENCE" outline_width_between 0 $((start - 40))
    close_ends_with_0
}

# The root mean square (0 to 1) of the sound in $1 from second $2 for $3 seconds, written as
# mono 16-bit samples, 88200 bytes a second.
loudness() {
    sox -t raw -e signed -b 16 -r 44100 -c 1 "$1" -n trim "$2" "$3" stat 2>&1 |
        awk '/RMS +amplitude/ { print $3 }'
}

@test "plays its music, plays it again after the track ends, and Alt+F4 ends it cleanly" {
    make_run_dir
    # A track of one second of steady tone, so that silence after it means no loop.
    sox -n -r 44100 -c 1 "$RUN_DIR/mellowsad beat.ogg" synth 1 sine 440 vol 0.5
    local sound=$RUN_DIR/sound.wav
    printf '[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = %s\n' \
        "$sound" >"$RUN_DIR/alsoft.conf"
    start_viewer ALSOFT_DRIVERS=wave "ALSOFT_CONF=$RUN_DIR/alsoft.conf"
    within "$PATIENCE" eval '(($(stat -c %s "$sound") > 3 * 88200))'
    awk -v first="$(loudness "$sound" 0.2 0.6)" -v again="$(loudness "$sound" 1.7 0.6)" \
        'BEGIN { exit !(first > 0.2 && again > 0.2) }'
    close_ends_with_0 10
    stderr_is_clean
}

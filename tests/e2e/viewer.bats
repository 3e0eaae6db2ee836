# One run of the real viewer, driven as a user drives it, test after test. Its sound goes
# to a file: mono 16-bit samples, 88200 bytes a second.

load helpers
bats_require_minimum_version 1.5.0

# launch_at_second N [VAR=value ...]: launch with the clock at 2026-03-01 12:00:0N UTC.
launch_at_second() {
    launch "LD_PRELOAD=$FAKETIME_LIBRARY" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        "FAKETIME=@2026-03-01 12:00:0$1" TZ=UTC "${@:2}"
}

setup_file() {
    make_run_dir
    # A track of one second of steady tone, so that silence after it means no loop.
    sox -n -r 44100 -c 1 "$RUN_DIR/mellowsad beat.ogg" synth 1 sine 440 vol 0.5
    printf '[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = %s\n' \
        "$RUN_DIR/sound.wav" >"$RUN_DIR/alsoft.conf"
    launch_at_second 0 ALSOFT_DRIVERS=wave "ALSOFT_CONF=$RUN_DIR/alsoft.conf"
    wait_for_globe "$RUN_DIR/first.ppm"
    export RUN_DIR VIEWER SHARED_VIEWER=$VIEWER
}

# A viewer that a test started itself ends with the test; the shared one with the file.
teardown_file() { stop_viewer; }
teardown() { [ "${VIEWER:-}" = "$SHARED_VIEWER" ] || stop_viewer; }

screen_differs_from() { grab "$BATS_TEST_TMPDIR/now.ppm" && ! cmp -s "$1" "$BATS_TEST_TMPDIR/now.ppm"; }
outline_width_between() {
    local width
    grab "$BATS_TEST_TMPDIR/now.ppm" && read -r width _ < <(silhouette "$BATS_TEST_TMPDIR/now.ppm") &&
        ((width >= $1 && width <= $2))
}

# The root mean square (0 to 1) of the sound from second $1 for $2 seconds.
loudness() {
    sox -t raw -e signed -b 16 -r 44100 -c 1 "$RUN_DIR/sound.wav" -n trim "$1" "$2" stat 2>&1 |
        awk '/RMS +amplitude/ { print $3 }'
}

@test "opens one fullscreen window over the whole screen" {
    local window
    window=$(xdotool search --name '^Quillmere$')
    [ "$(wc -w <<<"$window")" = 1 ]
    [ "$(xprop -id "$window" _NET_WM_STATE)" = "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN" ]
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$X,$Y ${WIDTH}x$HEIGHT" = "0,0 1280x720" ]
}

@test "shows the globe in the middle of a black screen" {
    globe_is_round_and_centred "$RUN_DIR/first.ppm"
}

@test "keys other than the arrows and the sideways wheel change nothing" {
    xdotool key Escape a space Return q F4 mousemove 640 360 click --repeat 2 6 sleep 1
    run ! screen_differs_from "$RUN_DIR/first.ppm"
}

@test "holding Left turns the globe until it is released" {
    xdotool keydown Left
    within "$PATIENCE" screen_differs_from "$RUN_DIR/first.ppm"
    xdotool keyup Left
    # Still for a second: several frames even on the software renderer.
    within 15 eval 'grab "$RUN_DIR/still.ppm" && sleep 1 && ! screen_differs_from "$RUN_DIR/still.ppm"'
}

@test "the wheel brings the eye nearer one way and takes it further the other" {
    # Three notches up bring the eye from 3 to 2.625, six down take it to 3.375.
    local start
    start=$(silhouette "$RUN_DIR/still.ppm" | cut -d' ' -f1)
    xdotool mousemove 640 360 click --repeat 3 --delay 20 4
    within "$PATIENCE" outline_width_between $((start + 60)) 1280
    xdotool click --repeat 6 --delay 20 5
    within "$PATIENCE" outline_width_between 0 $((start - 40))
}

@test "plays its music, and plays it again after the track ends" {
    within "$PATIENCE" eval '(($(stat -c %s "$RUN_DIR/sound.wav") > 3 * 88200))'
    awk -v first="$(loudness 0.2 0.6)" -v again="$(loudness 1.7 0.6)" \
        'BEGIN { exit !(first > 0.2 && again > 0.2) }'
}

@test "Alt+F4 ends it with status 0 and nothing on standard error but the windowing library's note" {
    close_ends_with_0 10
    stderr_is_clean
}

@test "a start in the same second shows the same globe, and a start a second later another" {
    local first=$RUN_DIR/first.ppm
    for second in 0 1; do
        make_run_dir
        launch_at_second "$second"
        wait_for_globe "$BATS_TEST_TMPDIR/at-second-$second.ppm"
        close_ends_with_0
    done
    cmp -s "$first" "$BATS_TEST_TMPDIR/at-second-0.ppm"
    run ! cmp -s "$first" "$BATS_TEST_TMPDIR/at-second-1.ppm"
}

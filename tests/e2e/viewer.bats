# One run of the real viewer on a virtual screen, driven as a user drives it, test after
# test. Its sound goes to a file: mono 16-bit samples at 44100 a second.

load helpers

SAMPLE_BYTES_PER_SECOND=88200

setup_file() {
    make_run_dir
    # A track of one second of steady tone, so that silence after it means no loop.
    sox -n -r 44100 -c 1 "$RUN_DIR/mellowsad beat.ogg" synth 1 sine 440 vol 0.5
    printf '[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = %s\n' \
        "$RUN_DIR/sound.wav" >"$RUN_DIR/alsoft.conf"
    launch_at_second 0 ALSOFT_DRIVERS=wave "ALSOFT_CONF=$RUN_DIR/alsoft.conf"
    wait_for_window
    wait_for_globe "$RUN_DIR/first.ppm"
    SHARED_VIEWER=$VIEWER
    export RUN_DIR VIEWER WINDOW SHARED_VIEWER
}

teardown_file() {
    stop_viewer
}

# A viewer that a test started itself ends with the test; the shared one with the file.
teardown() {
    [ "${VIEWER:-}" = "$SHARED_VIEWER" ] || stop_viewer
}

# True when the globe's outline on screen is between $1 and $2 pixels wide.
outline_width_between() {
    grab "$BATS_TEST_TMPDIR/now.ppm"
    between "$(silhouette "$BATS_TEST_TMPDIR/now.ppm" | cut -d' ' -f1)" "$1" "$2"
}

sound_longer_than_seconds() {
    [ "$(stat -c %s "$RUN_DIR/sound.wav")" -gt $((SAMPLE_BYTES_PER_SECOND * $1)) ]
}

# $1 lies between $2 and $3.
between() {
    [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]
}

# The loudness (root mean square, 0 to 1) of the sound from second $1 for $2 seconds.
loudness() {
    sox -t raw -e signed -b 16 -r 44100 -c 1 "$RUN_DIR/sound.wav" -n trim "$1" "$2" stat 2>&1 |
        awk '/RMS +amplitude/ { print $3 }'
}

@test "opens one fullscreen window over the whole screen" {
    [ "$(xdotool search --name '^Quillmere$' | wc -l)" = 1 ]
    [ "$(xprop -id "$WINDOW" _NET_WM_STATE)" = "_NET_WM_STATE(ATOM) = _NET_WM_STATE_FULLSCREEN" ]
    xdotool getwindowgeometry "$WINDOW" | grep -q 'Position: 0,0'
    xdotool getwindowgeometry "$WINDOW" | grep -q 'Geometry: 1280x720'
}

@test "shows the globe in the middle of a black screen" {
    # A unit sphere seen from 3 units with a 45 degree view spans about 307 pixels of
    # radius at 720 lines; the relief moves the outline in and out by several per cent.
    read -r width height left top < <(silhouette "$RUN_DIR/first.ppm")
    between $((left + width / 2)) 620 660
    between $((top + height / 2)) 340 380
    between "$width" 560 680
    between "$height" 560 680
}

@test "keys other than the arrows and the sideways wheel change nothing" {
    xdotool key Escape a space Return q F4
    xdotool mousemove 640 360 click --repeat 2 6
    sleep 1
    grab "$BATS_TEST_TMPDIR/after.ppm"
    cmp -s "$RUN_DIR/first.ppm" "$BATS_TEST_TMPDIR/after.ppm"
}

@test "holding Left turns the globe until it is released" {
    xdotool keydown Left
    wait_for_change "$RUN_DIR/first.ppm" "$BATS_TEST_TMPDIR/turning.ppm"
    xdotool keyup Left
    wait_for_still "$RUN_DIR/still.ppm"
}

@test "the wheel brings the eye nearer one way and takes it further the other" {
    # From 3 units out, three notches up take the eye to 2.625 (about 50 pixels more
    # radius) and six down to 3.375 (about 40 pixels less than at the start).
    start=$(silhouette "$RUN_DIR/still.ppm" | cut -d' ' -f1)
    xdotool mousemove 640 360 click --repeat 3 --delay 20 4
    within "$PATIENCE" outline_width_between $((start + 60)) 1280
    xdotool click --repeat 6 --delay 20 5
    within "$PATIENCE" outline_width_between 0 $((start - 40))
}

@test "plays its music, and plays it again after the track ends" {
    within "$PATIENCE" sound_longer_than_seconds 3
    awk -v first="$(loudness 0.2 0.6)" -v again="$(loudness 1.7 0.6)" \
        'BEGIN { exit !(first > 0.2 && again > 0.2) }'
}

@test "Alt+F4 ends it with status 0 and nothing on standard error but the windowing library's note" {
    close_viewer
    wait_for_exit 10
    [ "$STATUS" = 0 ]
    [ "$(grep -v '^Setting vertical sync not supported$' "$RUN_DIR/stderr")" = "" ]
}

@test "a start in the same second shows the same globe, and a start a second later another" {
    local first="$RUN_DIR/first.ppm"
    for second in 0 1; do
        make_run_dir
        launch_at_second "$second"
        wait_for_window
        wait_for_globe "$BATS_TEST_TMPDIR/at-second-$second.ppm"
        close_viewer
        wait_for_exit
    done
    cmp -s "$first" "$BATS_TEST_TMPDIR/at-second-0.ppm"
    run cmp -s "$first" "$BATS_TEST_TMPDIR/at-second-1.ppm"
    [ "$status" = 1 ]
}

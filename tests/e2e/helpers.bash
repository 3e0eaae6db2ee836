# Shared by the end-to-end tests: they start the real viewer (QUILLMERE) on the screen that
# tests/with-xvfb.sh made, with openbox managing it, drive it with xdotool as a user does
# and look at the screen through ImageMagick.

# Only a guard against hangs: the globe is built and drawn on a software renderer.
PATIENCE=60

# A fresh working folder for one run, holding the shipped assets when ASSETS names them.
make_run_dir() {
    RUN_DIR=$(mktemp -d "${BATS_TEST_TMPDIR:-$BATS_FILE_TMPDIR}/run.XXXXXX")
    [ -z "${ASSETS:-}" ] || cp "$ASSETS/terrain.png" "$ASSETS/mellowsad beat.ogg" "$RUN_DIR/"
}

# launch [VAR=value | command ...]: starts the viewer in RUN_DIR through env, silent unless
# ALSOFT_DRIVERS is given, standard error into RUN_DIR/stderr. VIEWER is its process id;
# its status lands in RUN_DIR/status for any later test of the file. Descriptor 3 is bats'
# own and must not stay open in the viewer.
launch() {
    rm -f "$RUN_DIR/pid" "$RUN_DIR/status"
    (
        set +e # the status is wanted, whatever it is
        cd "$RUN_DIR" || exit
        env ALSOFT_DRIVERS=null "$@" "$QUILLMERE" 2>stderr &
        echo $! >pid
        wait $!
        echo $? >status
    ) 3>&- &
    within 10 test -s "$RUN_DIR/pid"
    VIEWER=$(<"$RUN_DIR/pid")
}

# Ends a viewer the test left running, and shows what it said should the test fail.
stop_viewer() {
    [ -z "${VIEWER:-}" ] || kill -KILL "$VIEWER" 2>/dev/null || true
    VIEWER=
    cat "$RUN_DIR/stderr" 2>/dev/null || true
}

# within SECONDS COMMAND...: runs the command every tenth of a second until it succeeds.
within() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Sets WINDOW to the viewer's window once it is mapped.
wait_for_window() {
    WINDOW=$(timeout "$PATIENCE" xdotool search --sync --onlyvisible --name '^Quillmere$' | head -n 1)
    [ -n "$WINDOW" ]
}

# The whole screen into $1; a .ppm file holds the pixels alone, so equal pictures give
# equal files.
grab() {
    import -window root "$1"
}

# is_black PICTURE X Y (hex digits, since colour names differ between file kinds)
is_black() {
    [ "$(convert "$1" -depth 8 -format "%[hex:p{$2,$3}]" info:)" = 000000 ]
}

# Grabs the screen into $1 until the middle is no longer black and the top left corner
# is, where the bare screen's weave of black and white shows before the first frame.
wait_for_globe() {
    within "$PATIENCE" globe_is_up "$1"
}

globe_is_up() {
    local width height
    grab "$1" || return 1
    read -r width height < <(identify -format '%w %h\n' "$1")
    ! is_black "$1" $((width / 2)) $((height / 2)) && is_black "$1" 0 0 && is_black "$1" 1 0
}

# The box around everything that is not black: "width height left top".
silhouette() {
    convert "$1" -threshold 0 -format '%@\n' info: | tr 'x+' '  '
}

# True when all that is not black in the grabbed screen $1 is a round globe in the middle,
# as tall as a 45 degree view from 3 units out makes it in the largest 16:9 area of the
# screen: 85 % of that height, give or take the few per cent the relief adds.
globe_is_round_and_centred() {
    local width height box_width box_height left top area_height
    read -r width height < <(identify -format '%w %h\n' "$1")
    read -r box_width box_height left top < <(silhouette "$1")
    area_height=$((width * 9 / 16 < height ? width * 9 / 16 : height))
    echo "screen ${width}x$height, globe ${box_width}x$box_height at $left,$top"
    local off_x=$((2 * left + box_width - width)) off_y=$((2 * top + box_height - height))
    ((100 * off_x * off_x <= width * width && 100 * off_y * off_y <= height * height))
    ((box_width * 100 / box_height >= 90 && box_width * 100 / box_height <= 110))
    ((box_height * 100 / area_height >= 78 && box_height * 100 / area_height <= 94))
}

# The user's close request: Alt+F4 through the window manager to the viewer's window.
close_viewer() {
    xdotool windowactivate --sync "$WINDOW" key alt+F4
}

# Waits for the viewer to end and sets STATUS to its exit status; a viewer that does not
# end within $1 seconds (default PATIENCE) is killed and STATUS is "hung".
wait_for_exit() {
    if within "${1:-$PATIENCE}" test -s "$RUN_DIR/status"; then
        STATUS=$(<"$RUN_DIR/status")
        VIEWER=
    else
        stop_viewer >/dev/null
        STATUS=hung
    fi
}

# Nothing on standard error but the windowing library's note on a software renderer.
stderr_is_clean() {
    [ "$(grep -v '^Setting vertical sync not supported$' "$RUN_DIR/stderr")" = "" ]
}

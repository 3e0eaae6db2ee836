# The end-to-end tests start the real viewer (QUILLMERE) on tools/with-xvfb.sh's screen, drive
# it with xdotool and grab the screen as .ppm (pixels alone, so equal pictures, equal files).

# Only a guard against hangs: the globe is built and drawn on a software renderer.
PATIENCE=60

within() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do ((SECONDS < deadline)) && sleep 0.1 || return 1; done
}

make_run_dir() {
    RUN_DIR=$(mktemp -d "${BATS_TEST_TMPDIR:-$BATS_FILE_TMPDIR}/run.XXXXXX")
    [ -z "${ASSETS:-}" ] || cp "$ASSETS/terrain.png" "$ASSETS/mellowsad beat.ogg" "$RUN_DIR/"
}

# launch [env's arguments]: starts the viewer in a fresh RUN_DIR, silent unless ALSOFT_DRIVERS
# is given, standard error into RUN_DIR/stderr, and the status, for any later test of the
# file, into RUN_DIR/status; VIEWER is its process id. bats' descriptor 3 must not stay open.
launch() {
    (
        cd "$RUN_DIR" || exit
        env ALSOFT_DRIVERS=null "$@" "$QUILLMERE" 2>stderr &
        echo $! >pid
        if wait $!; then echo 0; else echo $?; fi >status
    ) 3>&- &
    within 10 test -s "$RUN_DIR/pid"
    VIEWER=$(<"$RUN_DIR/pid")
}

# Ends a viewer the test left running, and shows what it said should the test fail.
teardown() { stop_viewer; }
stop_viewer() {
    [ -z "${VIEWER:-}" ] || kill -KILL "$VIEWER" 2>/dev/null || true
    VIEWER=
    cat "$RUN_DIR/stderr" 2>/dev/null || true
}

# ends_with STATUS [SECONDS]: the viewer ends within the seconds (default PATIENCE), with that
# status. One that does not end is killed, after saying whether its window was still there
# (the close request never arrived or was not answered) or where it was stuck on its way out.
ends_with() {
    within "${2:-$PATIENCE}" test -s "$RUN_DIR/status" || {
        echo "still running; window: $(xdotool search --name '^Quillmere$')," \
            "waiting in: $(cat "/proc/$VIEWER/wchan")" >&2
        stop_viewer
    }
    VIEWER=
    [ "$(cat "$RUN_DIR/status" 2>/dev/null)" = "$1" ]
}

# close_ends_with_0 [SECONDS]: the user's close request once the viewer's window shows, Alt+F4
# through the window manager, and the viewer's end with 0 (as ends_with).
close_ends_with_0() {
    timeout "$PATIENCE" xdotool search --sync --onlyvisible --name '^Quillmere$' \
        windowactivate --sync key alt+F4 && ends_with 0 "${1:-$PATIENCE}"
}

grab() { import -window root "$1"; }

# Grabs the screen into $1 until the middle is no longer black and the top left corner
# is, where the bare screen's weave of black and white shows before the first frame.
wait_for_globe() { within "$PATIENCE" globe_is_up "$1"; }
globe_is_up() {
    grab "$1" && [ "$(convert "$1" -format \
        '%[fx:p{0,0}.intensity + p{1,0}.intensity == 0 && p{w/2,h/2}.intensity > 0]' info:)" = 1 ]
}

# The box around everything that is not black in $1, "width height left top", then the
# screen's "width height".
silhouette() { convert "$1" -threshold 0 -format '%@ %w %h\n' info: | tr 'x+' '  '; }

# True when all that is not black in the grabbed screen $1 is a round globe in the middle,
# as tall as a 45 degree view from 3 units out makes it in the largest 16:9 area of the
# screen: 85 % of that height, give or take the few per cent the relief adds.
globe_is_round_and_centred() {
    local box_width box_height left top width height
    read -r box_width box_height left top width height < <(silhouette "$1")
    echo "screen ${width}x$height, globe ${box_width}x$box_height at $left,$top"
    local area_height=$((width * 9 / 16 < height ? width * 9 / 16 : height))
    ((100 * (2 * left + box_width - width) ** 2 <= width ** 2 &&
        100 * (2 * top + box_height - height) ** 2 <= height ** 2 &&
        box_width * 100 / box_height >= 90 && box_width * 100 / box_height <= 110 &&
        box_height * 100 / area_height >= 78 && box_height * 100 / area_height <= 94))
}

# Nothing on standard error but the windowing library's note on a software renderer.
stderr_is_clean() { ! grep -v '^Setting vertical sync not supported$' "$RUN_DIR/stderr"; }

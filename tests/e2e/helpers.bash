# Shared by the end-to-end tests: they start the real viewer on the test screen that
# tests/with-xvfb.sh made (DISPLAY set, openbox managing windows), drive it with xdotool
# the way a user does and look at the screen through ImageMagick.
# QUILLMERE names the viewer binary, ASSETS the folder with the shipped ramp and music,
# FAKETIME_LIBRARY the library that fakes the clock.

: "${QUILLMERE:?the viewer binary}" "${ASSETS:?the assets folder}"

# Seconds to wait for anything at all: only a guard against hangs, since the globe is
# built and drawn on a software renderer.
PATIENCE=60

# A fresh working folder for one run, holding the shipped assets unless told "bare".
make_run_dir() {
    RUN_DIR=$(mktemp -d "${BATS_TEST_TMPDIR:-$BATS_FILE_TMPDIR}/run.XXXXXX")
    [ "${1:-}" = bare ] || cp "$ASSETS/terrain.png" "$ASSETS/mellowsad beat.ogg" "$RUN_DIR/"
}

# launch [VAR=value ...]: starts the viewer in RUN_DIR with those variables, silent (no
# sound device needed) unless ALSOFT_DRIVERS is given, standard error into
# RUN_DIR/stderr. VIEWER is its process id; its exit status lands in RUN_DIR/status, so
# that any later test of the file can wait for it. Descriptor 3 is bats' own and must not
# stay open in the viewer.
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

# launch_at_second N [VAR=value ...]: launch with the clock started at second N of
# 2026-03-01 12:00 UTC, 1772366400 since the epoch.
launch_at_second() {
    launch "LD_PRELOAD=$FAKETIME_LIBRARY" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        "FAKETIME=@2026-03-01 12:00:0$1" TZ=UTC "${@:2}"
}

# Ends a viewer the test left running, however the test ended.
stop_viewer() {
    if [ -n "${VIEWER:-}" ]; then kill -KILL "$VIEWER" 2>/dev/null || true; fi
    VIEWER=
}

# within SECONDS COMMAND...: runs the command every tenth of a second until it succeeds,
# and fails once the seconds have passed.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
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

# The colour of one pixel as hex digits, e.g. "0C2238", or "000000" for black. (Colour
# names would depend on the file: the same black is "black", "gray(0)" or "srgb(0,0,0)".)
pixel() {
    convert "$1" -depth 8 -format "%[hex:p{$2,$3}]" info:
}

# Grabs the screen into $1 until the picture is up: the middle of the screen is no longer
# black, and the top left corner is, where the bare screen's weave of black and white
# shows through a window that has not drawn yet.
wait_for_globe() {
    within "$PATIENCE" picture_is_up "$1"
}

picture_is_up() {
    local width height
    grab "$1" || return 1
    read -r width height < <(picture_size "$1")
    ! is_black "$1" $((width / 2)) $((height / 2)) && is_black "$1" 0 0 && is_black "$1" 1 0
}

# Grabs the screen into $2 until it differs from $1.
wait_for_change() {
    within "$PATIENCE" screen_differs "$1" "$2"
}

screen_differs() {
    grab "$2" && ! cmp -s "$1" "$2"
}

# Grabs the screen into $1 once it has stayed the same for a second: several frames even
# on the software renderer. Gives up after 15 seconds.
wait_for_still() {
    grab "${1%.ppm}.before.ppm"
    within 15 same_a_second_later "$1" "${1%.ppm}.before.ppm"
}

same_a_second_later() {
    sleep 1
    grab "$1"
    cmp -s "$1" "$2" || { mv "$1" "$2" && false; }
}

# The box around everything that is not black: "width height left top".
silhouette() {
    convert "$1" -threshold 0 -format '%@\n' info: | tr 'x+' '  '
}

# The user's close request: Alt+F4 through the window manager.
close_viewer() {
    xdotool key alt+F4
}

# Waits for the viewer to end and sets STATUS to its exit status; a viewer that does not
# end within $1 seconds (default PATIENCE) is killed and STATUS is "hung".
wait_for_exit() {
    if within "${1:-$PATIENCE}" test -s "$RUN_DIR/status"; then
        STATUS=$(<"$RUN_DIR/status")
        VIEWER=
    else
        stop_viewer
        STATUS=hung
    fi
}

# Width and height of the grabbed screen in $1: "width height".
picture_size() {
    identify -format '%w %h' "$1"
}

is_black() {
    [ "$(pixel "$@")" = 000000 ]
}

# True when the globe in the grabbed screen $1 is round, centred and as tall as the
# largest 16:9 area of the screen allows (the relief moves its edges by a few percent).
globe_is_round_and_centred() {
    local width height box_width box_height left top area_height
    read -r width height < <(picture_size "$1")
    read -r box_width box_height left top < <(silhouette "$1")
    area_height=$((width * 9 / 16 < height ? width * 9 / 16 : height))
    echo "screen ${width}x$height, globe ${box_width}x$box_height at $left,$top" >&2
    [ $((box_width * 100 / box_height)) -ge 88 ] && [ $((box_width * 100 / box_height)) -le 112 ] &&
        [ $(((2 * left + box_width - width) * 10)) -le "$width" ] &&
        [ $(((width - 2 * left - box_width) * 10)) -le "$width" ] &&
        [ $(((2 * top + box_height - height) * 10)) -le "$height" ] &&
        [ $(((height - 2 * top - box_height) * 10)) -le "$height" ] &&
        [ $((box_height * 100 / area_height)) -ge 75 ] && [ $((box_height * 100 / area_height)) -le 100 ]
}

# The close request for a window that may not have been focused yet.
close_window() {
    xdotool windowactivate --sync "$WINDOW" && close_viewer
}

# Shared by the end-to-end tests: they start the real viewer on the test screen that
# tests/with-xvfb.sh made (DISPLAY set, openbox managing windows), drive it with xdotool
# the way a user does and look at the screen through ImageMagick.
# QUILLMERE names the viewer binary and ASSETS the folder with the shipped ramp and music.

: "${QUILLMERE:?the viewer binary}" "${ASSETS:?the assets folder}"

# Seconds to wait for anything at all: only a guard against hangs, since the globe is
# built and drawn on a software renderer.
PATIENCE=60

# A fresh working folder for one run, holding the shipped assets unless told "bare".
make_run_dir() {
    RUN_DIR=$(mktemp -d "$BATS_TEST_TMPDIR/run.XXXXXX")
    [ "${1:-}" = bare ] || cp "$ASSETS/terrain.png" "$ASSETS/mellowsad beat.ogg" "$RUN_DIR/"
}

# launch [VAR=value ...]: starts the viewer in RUN_DIR with those variables, silent (no
# sound device needed) unless ALSOFT_DRIVERS is given, standard error into
# RUN_DIR/stderr. Descriptor 3 is bats' own and must not stay open in the viewer.
launch() {
    (cd "$RUN_DIR" && exec env ALSOFT_DRIVERS=null "$@" "$QUILLMERE" 2>"$RUN_DIR/stderr" 3>&-) &
    VIEWER=$!
}

# Ends a viewer the test left running, however the test ended.
stop_viewer() {
    [ -n "${VIEWER:-}" ] && kill -KILL "$VIEWER" 2>/dev/null
    VIEWER=
    return 0
}

# Sets WINDOW to the viewer's window once it is mapped.
wait_for_window() {
    WINDOW=$(timeout "$PATIENCE" xdotool search --sync --onlyvisible --name '^Quillmere$' | head -n 1)
    [ -n "$WINDOW" ]
}

grab() {
    import -window root "$1"
}

# The colour of one pixel as ImageMagick names it, e.g. "srgb(12,34,56)" or "black".
pixel() {
    convert "$1" -format "%[pixel:p{$2,$3}]" info:
}

# Grabs the screen into $1 until the middle of it is no longer black: the globe is up.
wait_for_globe() {
    local deadline=$((SECONDS + PATIENCE))
    while [ "$SECONDS" -lt "$deadline" ]; do
        grab "$1" && [ "$(pixel "$1" 640 360)" != black ] && return 0
        sleep 0.2
    done
    return 1
}

# The box around everything that is not black: "width height left top".
silhouette() {
    convert "$1" -threshold 0 -format '%@' info: | tr 'x+' '  '
}

# The user's close request: Alt+F4 through the window manager.
close_viewer() {
    xdotool key alt+F4
}

# Waits for the viewer to end and sets STATUS to its exit status; a viewer that does not
# end within $1 seconds (default PATIENCE) is killed and STATUS is "hung".
wait_for_exit() {
    local deadline=$((SECONDS + ${1:-$PATIENCE}))
    while kill -0 "$VIEWER" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    if kill -0 "$VIEWER" 2>/dev/null; then
        stop_viewer
        STATUS=hung
    else
        wait "$VIEWER" && STATUS=0 || STATUS=$?
        VIEWER=
    fi
}

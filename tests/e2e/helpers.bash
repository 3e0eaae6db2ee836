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

# --- for screens of any size and runs whose globe may be black ---

# Width and height of the grabbed screen in $1: "width height".
picture_size() {
    identify -format '%w %h' "$1"
}

# ImageMagick names black either way, depending on the picture.
is_black() {
    case $(pixel "$@") in black | "srgb(0,0,0)") return 0 ;; *) return 1 ;; esac
}

# Like wait_for_globe on a screen of any size: the middle is no longer black, and the
# top left corner is, where the bare screen's weave of black and white shows through a
# window that has not drawn yet.
wait_for_picture() {
    local deadline=$((SECONDS + PATIENCE)) width height
    while [ "$SECONDS" -lt "$deadline" ]; do
        if grab "$1"; then
            read -r width height < <(picture_size "$1")
            ! is_black "$1" $((width / 2)) $((height / 2)) && is_black "$1" 0 0 &&
                is_black "$1" 1 0 && return 0
        fi
        sleep 0.2
    done
    return 1
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

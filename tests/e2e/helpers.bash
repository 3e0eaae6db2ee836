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

# Grabs the screen into $1 until the middle of it is no longer black: the globe is up.
wait_for_globe() {
    within "$PATIENCE" lit_in_the_middle "$1"
}

lit_in_the_middle() {
    grab "$1" && [ "$(pixel "$1" 640 360)" != 000000 ]
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

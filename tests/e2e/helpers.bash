# The end-to-end tests start the real viewer (QUILLMERE) on tools/with-xvfb.sh's screen, drive
# it with xdotool and grab the screen as .ppm (pixels alone, so equal pictures, equal files).
# A test looks only for its own viewer's window, and launches one only once the last is gone.

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

# find_windows [xdotool search options]: prints the visible windows titled "Quillmere" that
# also meet the options, and fails when there are none. Debian 12's xdotool gives up a whole
# search with an X error when any window vanishes during it; such a search is asked again.
find_windows() {
    local errors=$RUN_DIR/search-errors found
    for _ in {1..20}; do
        found=$(xdotool search --all --onlyvisible "$@" --name '^Quillmere$' 2>"$errors")
        grep -q 'X Error' "$errors" || break
    done
    [ -n "$found" ] && echo "$found"
}
viewer_window() { find_windows --pid "$VIEWER"; }
no_viewer_window() { ! find_windows >/dev/null; }

# launch [env's arguments] [-- the viewer's arguments]: starts the viewer in RUN_DIR, silent
# unless ALSOFT_DRIVERS is given, into RUN_DIR's stdout, stderr and, once reaped, status;
# VIEWER is its process id. bats' descriptor 3 must not stay open.
launch() {
    within 10 no_viewer_window || { echo "an earlier viewer's window is still up" >&2; return 1; }
    launch_unseen "$@"
}
# launch_unseen: as launch, without first looking at the screen, which would make the test a
# client of the display before the viewer.
launch_unseen() {
    local env_arguments=()
    while (($#)) && [ "$1" != -- ]; do env_arguments+=("$1") && shift; done
    [ "${1:-}" != -- ] || shift
    (
        cd "$RUN_DIR" || exit
        env ALSOFT_DRIVERS=null "${env_arguments[@]}" "$QUILLMERE" "$@" >stdout 2>stderr &
        echo $! >pid
        if wait $!; then echo 0; else echo $?; fi >status
    ) 3>&- &
    within 10 test -s "$RUN_DIR/pid"
    VIEWER=$(<"$RUN_DIR/pid")
}

# Until the status is written the viewer has not been reaped, so its process id is still ours.
viewer_running() { [ -n "${VIEWER:-}" ] && [ ! -s "$RUN_DIR/status" ]; }
viewer_gone() { [ -s "$RUN_DIR/status" ] && ! viewer_window >/dev/null; }

# Ends a viewer the test left running, waits until it is gone, and shows what it said should
# the test fail.
teardown() { stop_viewer; }
stop_viewer() {
    [ -n "${VIEWER:-}" ] || return 0
    ! viewer_running || kill -KILL "$VIEWER" 2>/dev/null || true
    within 10 viewer_gone || echo "viewer $VIEWER did not go away" >&2
    VIEWER=
    cat "$RUN_DIR/stdout" "$RUN_DIR/stderr" 2>/dev/null || true
}

# ends_with STATUS [SECONDS]: the viewer ends within the seconds (default PATIENCE), with that
# status, and its window goes. One that does not end is killed, after saying whether its window
# was still there (the close request never arrived or was not answered) or where it was stuck.
ends_with() {
    within "${2:-$PATIENCE}" test -s "$RUN_DIR/status" || echo "still running; window:" \
        "$(viewer_window), waiting in: $(cat "/proc/$VIEWER/wchan")" >&2
    stop_viewer >/dev/null
    [ "$(cat "$RUN_DIR/status")" = "$1" ]
}

# launch_at_second N [launch's arguments]: launch with the clock at 2026-03-01 12:00:0N UTC.
launch_at_second() {
    launch "LD_PRELOAD=$FAKETIME_LIBRARY" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        "FAKETIME=@2026-03-01 12:00:0$1" TZ=UTC "${@:2}"
}

# focused FINDER...: the window the command prints has the focus, asked for again until the
# window manager has given it.
focused() {
    local window
    window=$("$@") || return 1
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] ||
        { xdotool windowactivate "$window" 2>/dev/null; return 1; }
}
viewer_focused() { focused viewer_window; }

# close_ends_with_0 [SECONDS]: the user's close request once the viewer's window shows, Alt+F4
# through the window manager, and the viewer's end with 0 (as ends_with).
close_ends_with_0() {
    within "$PATIENCE" viewer_focused && xdotool key alt+F4 && ends_with 0 "${1:-$PATIENCE}"
}

grab() { import -window root "ppm:$1"; }
# grab_again FILE GRAB...: grabs anew into FILE with the command, printing "same" or "changed"
# against the grab before; fails with the grab.
grab_again() {
    "${@:2}" "$1.next" || return 1
    cmp -s "$1.next" "$1" && echo same || echo changed
    mv "$1.next" "$1"
}

# The system's python3 has python3-xlib and dbusmock, whichever python3 comes first on the PATH.
PYTHON=/usr/bin/python3
x_probe() { "$PYTHON" "$BATS_TEST_DIRNAME/x_probe.py" "$@"; }
# Another client can take the pointer and keyboard grabs on the root window, as a screen
# locker does first.
locker_can_grab() { x_probe grabs; }
# The X server's saver is in the state $1 ("On", "Off", ...).
saver_is() { [ "$(x_probe saver)" = "$1" ]; }

# Grabs the screen into $1 until the viewer's own window shows the globe, the same picture as
# at the grab before: the window manager may still be fitting the window when the first frame
# comes.
wait_for_globe() { rm -f "$1" && within "$PATIENCE" globe_is_steady "$1"; }
globe_is_steady() {
    viewer_window >/dev/null && [ "$(grab_again "$1" grab)" = same ] && shows_globe "$1"
}

screen_differs_from() { grab "$RUN_DIR/now.ppm" && ! cmp -s "$1" "$RUN_DIR/now.ppm"; }

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

# What the viewer said on standard error, but SFML's note on vertical sync.
said() { grep -v '^Setting vertical sync not supported$' "$RUN_DIR/stderr"; }
# Nothing said; a missing file fails.
stderr_is_clean() { [ -f "$RUN_DIR/stderr" ] && ! said; }

# open_target GEOMETRY: a window of xmessage, a plain X client, titled for this test only, for
# the viewer to draw into; TARGET is its id, TARGET_CLIENT the client's process id.
open_target() {
    TARGET_TITLE="quillmere-target-$$-$BATS_TEST_NUMBER"
    xmessage -title "$TARGET_TITLE" -geometry "$1" target 3>&- 2>/dev/null &
    TARGET_CLIENT=$!
    TARGET=$(timeout 20 xdotool search --sync --onlyvisible --name "^$TARGET_TITLE\$" | head -1)
    [ -n "$TARGET" ]
}

close_target() { end_processes "${TARGET_CLIENT:-}" && TARGET_CLIENT=; }

# end_processes PID...: ends and reaps those of the processes given; empty ones are none.
end_processes() {
    local pid
    for pid; do
        [ -z "$pid" ] || { kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; } || true
    done
}

# grab_window ID FILE: grabs the window, with the viewer's drawing in it.
grab_window() { import -window "$1" "ppm:$2"; }
# True when the grab $1 shows a globe: its middle lit, its top left corner black, where the
# bare screen's weave of black and white shows first.
shows_globe() {
    [ "$(convert "$1" -format \
        '%[fx:p{0,0}.intensity + p{1,0}.intensity == 0 && p{w/2,h/2}.intensity > 0]' info:)" = 1 ]
}

# wait_for_globe_in_target FILE: grabs the target window into FILE until it shows a round
# globe in the window's band that has turned since the grab before, so that it is being drawn
# now.
wait_for_globe_in_target() {
    rm -f "$1" && within "$PATIENCE" shows_turning_globe "$1" grab_window "$TARGET"
}
# shows_turning_globe FILE GRAB...: grabs anew into FILE with the command, which shows a whole
# globe, round and in the middle, that has turned since the grab before.
shows_turning_globe() {
    [ "$(grab_again "$1" "${@:2}")" = changed ] && shows_globe "$1" &&
        globe_is_round_and_centred "$1"
}

# The viewer at the edges of the desktops people have and of what lies in its folder:
# it either runs and ends with status 0 on the close request, or fails at start-up with
# one line and status 1, never with a signal, a hang or a flood on standard error.
#
# SCREEN_KIND names the test screen tests/with-xvfb.sh made, and picks the table's rows
# for it; each kind is one ctest entry with one Xvfb of its own.

load helpers

# kind | condition | what to do before the launch, and the launch | outcome
#
# Outcomes: "fails TEXT" is status 1 with TEXT (an extended regular expression) on one
# line, once; "runs" is a window that the close request ends with 0; "round" is that too,
# with a round, centred globe first; "signal NAME" ends a drawing viewer with it. A job
# started in the background of a script ignores SIGINT, and the viewer keeps a signal
# it was started ignoring, so the signal rows start it with the default actions.
ROWS=$(cat <<'TABLE'
normal  | display variable unset       | launch env -u DISPLAY | fails ^Cannot open the X display \(DISPLAY is not set\)\.$
normal  | display with no server       | launch DISPLAY=:4095 | fails ^Cannot open the X display \(DISPLAY is ":4095"\)\.$
normal  | driver older than OpenGL 2.0 | launch MESA_GL_VERSION_OVERRIDE=1.4 | fails ^The OpenGL driver offers version 1\.4 .*; the viewer needs OpenGL 2\.0\.$
normal  | loader failure               | launch MESA_GL_VERSION_OVERRIDE=1.0 | fails ^Failed ot init GLEW\.$
normal  | standard error closed        | launch sh -c 'exec "$0" 2>&-' | round
normal  | pipes without a writer       | mkfifo "$TERRAIN" "$MUSIC"; launch | runs
normal  | links to an endless device   | ln -s /dev/zero "$TERRAIN"; ln -s /dev/zero "$MUSIC"; launch | runs
normal  | a directory and a socket     | ln -s / "$TERRAIN"; perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => shift, Listen => 1)' "$MUSIC"; launch | runs
normal  | Ctrl+C in its terminal       | launch env --default-signal | signal INT
normal  | a polite kill                | launch env --default-signal | signal TERM
normal  | its terminal closed          | launch env --default-signal | signal HUP
no-glx  | display without GLX          | launch | fails ^The X display ".*" offers no OpenGL \(no GLX extension\)\.$
depth8  | 8-bit screen                 | launch | fails ^The X display ".*" offers no OpenGL \(no GLX extension\)\.$
depth16 | 16-bit screen                | launch | round
small   | 800 x 600 screen             | launch | round
tall    | 1280 x 1024 screen           | launch | round
TABLE
)

# A few lines at most: the windowing library's warnings and the viewer's own line.
MAX_ERROR_LINES=6
# A running viewer looks at the flag once a frame, and a frame takes well under this.
PROMPT_SECONDS=15

teardown() {
    stop_viewer
}

stderr_is_small() {
    [ "$(wc -l <"$RUN_DIR/stderr")" -le "$MAX_ERROR_LINES" ]
}

# fails TEXT
expect_failure() {
    wait_for_exit
    [ "$STATUS" = 1 ] || { echo "status $STATUS" >&2; return 1; }
    [ "$(grep -cE -- "$1" "$RUN_DIR/stderr")" = 1 ] || { echo "no single line matching $1" >&2; return 1; }
    stderr_is_small
}

expect_close_to_end_it() {
    close_window
    wait_for_exit
    [ "$STATUS" = 0 ] || { echo "status $STATUS after the close request" >&2; return 1; }
    stderr_is_small
}

check_outcome() {
    local outcome=$1 argument=${2:-}
    case $outcome in
        fails) expect_failure "$argument" ;;
        runs) wait_for_window && expect_close_to_end_it ;;
        round)
            wait_for_window && wait_for_globe "$RUN_DIR/globe.png" &&
                globe_is_round_and_centred "$RUN_DIR/globe.png" && expect_close_to_end_it
            ;;
        signal)
            wait_for_window && wait_for_globe "$RUN_DIR/globe.png" || return 1
            kill -s "$argument" "$VIEWER"
            wait_for_exit "$PROMPT_SECONDS"
            [ "$STATUS" = 0 ] || { echo "status $STATUS after SIG$argument" >&2; return 1; }
            stderr_is_small
            ;;
        *) echo "unknown outcome $outcome" >&2; return 1 ;;
    esac
}

@test "every condition of this screen kind ends as it should" {
    : "${SCREEN_KIND:?the kind of test screen}"
    local kind condition action expected outcome argument failed=() rows=0
    while IFS='|' read -r kind condition action expected; do
        kind=$(echo $kind)
        [ "$kind" = "$SCREEN_KIND" ] || continue
        rows=$((rows + 1))
        condition=$(echo $condition)
        read -r outcome argument <<<"$expected"
        make_run_dir
        # The rows put what they like under the two names.
        TERRAIN=$RUN_DIR/terrain.png MUSIC="$RUN_DIR/mellowsad beat.ogg"
        [ "$outcome" = runs ] && rm "$TERRAIN" "$MUSIC"
        eval "$action"
        echo "# $condition: $outcome $argument" >&3
        if ! check_outcome "$outcome" "$argument" 2>"$RUN_DIR/check"; then
            failed+=("$condition")
            echo "FAILED: $condition ($expected)"
            cat "$RUN_DIR/check" "$RUN_DIR/stderr"
        fi
        stop_viewer
    done <<<"$ROWS"
    [ "$rows" -gt 0 ]
    [ ${#failed[@]} -eq 0 ]
}

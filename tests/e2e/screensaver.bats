# The viewer as a screensaver: run by the real xscreensaver, with settings in a scratch home
# that select it alone, and drawing into a window of another program given by its id.

load helpers
bats_require_minimum_version 1.5.0

setup() { make_run_dir; }

teardown() {
    stop_viewer
    close_target
    stop_screensaver
    rm -rf "${SAVER_DIR:-}"
    xset s default
}

# start_screensaver: xscreensaver in SAVER_DIR with the viewer's ramp, its home there too,
# whose settings run the viewer on the screensaver's window and never lock. SAVER is its
# process id, once it answers commands. xscreensaver runs no programs as root, so under root
# it runs as nobody, in a folder nobody can read: one of its own under /tmp, as bats' are
# closed to others.
start_screensaver() {
    SAVER_DIR=$(mktemp -d /tmp/quillmere-saver.XXXXXX)
    cp "$ASSETS/terrain.png" "$SAVER_DIR/"
    cat >"$SAVER_DIR/.xscreensaver" <<EOF
mode: one
selected: 0
lock: False
splash: False
fade: False
unfade: False
timeout: 0:30:00
programs: $QUILLMERE --root \\n
EOF
    chmod -R a+rX "$SAVER_DIR"
    local as_nobody=()
    if [ "$(id -u)" = 0 ]; then
        as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chown -R nobody:nogroup "$SAVER_DIR"
    fi
    (cd "$SAVER_DIR" && exec env HOME="$SAVER_DIR" "${as_nobody[@]}" \
        xscreensaver -no-splash -verbose >"$RUN_DIR/screensaver.log" 2>&1) 3>&- &
    SAVER=$!
    within 20 xscreensaver-command -version >/dev/null 2>&1
}

stop_screensaver() {
    [ -n "${SAVER:-}" ] || return 0
    xscreensaver-command -exit >/dev/null 2>&1 || kill "$SAVER" 2>/dev/null || true
    within 10 process_ended "$SAVER" || kill -KILL "$SAVER" 2>/dev/null || true
    wait "$SAVER" 2>/dev/null || true
    SAVER=
}

# The viewer the screensaver runs, two generations below it (xscreensaver-gfx starts the
# programs), printed as its process id; fails while there is none.
saver_viewer() { pgrep -x -P "$(pgrep -d, -P "$SAVER")" "${QUILLMERE##*/}" 2>/dev/null; }

# Gone from the process table, or exited and waiting only to be reaped.
process_ended() { [[ ! -e /proc/$1 || $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) == Z ]]; }

# ends_within_a_second PID COMMAND...: runs the command, and the process ends within a second of
# its start, timed to the microsecond (`within` counts whole seconds, so `within 1` may give up
# at once).
ends_within_a_second() {
    local deadline=$((${EPOCHREALTIME/./} + 1000000))
    "${@:2}" || return 1
    until process_ended "$1"; do
        ((${EPOCHREALTIME/./} < deadline)) || return 1
        sleep 0.05
    done
}

# Grabs the screen into $1 and finds a whole globe there, round and in the middle.
screen_shows_globe() { grab "$1" && shows_globe "$1" && globe_is_round_and_centred "$1"; }

@test "xscreensaver runs the viewer, which shows a turning globe and ends within a second of -deactivate, leaving nothing behind" {
    start_screensaver
    xscreensaver-command -activate
    local hack child
    hack=$(within "$PATIENCE" saver_viewer)
    # Once a whole frame shows the globe, a later one shows it turned: it turns by itself. At
    # a screensaver's low priority on a busy machine a frame may take over a second.
    within "$PATIENCE" screen_shows_globe "$RUN_DIR/shown.ppm"
    within 10 shows_turning_globe "$RUN_DIR/shown.ppm" grab
    # The child the viewer put in the window xscreensaver made for it.
    child=$(xwininfo -id "$(xwininfo -root -tree | awk '/"XScreenSaver": \(/ {print $1}')" -children |
        awk '/^ +0x/ {print $1}')
    [ -n "$child" ]

    ends_within_a_second "$hack" xscreensaver-command -deactivate
    run ! xwininfo -id "$child"
    grep -q "forked \"$QUILLMERE --root\"" "$RUN_DIR/screensaver.log"
}

@test "a window given by id shows the globe in its band, follows its size and ends the viewer with 0 when destroyed" {
    open_target 800x600+40+40
    launch -- --window-id "$(printf '0x%x' "$TARGET")"
    wait_for_globe_in_target "$RUN_DIR/target.ppm"
    run ! viewer_window
    # Wider than 16:9 now: the band is the window's height.
    xdotool windowsize "$TARGET" 900 300
    wait_for_globe_in_target "$RUN_DIR/wide.ppm"
    [ "$(identify -format %wx%h "$RUN_DIR/wide.ppm")" = 900x300 ]

    close_target
    ends_with 0 10
    stderr_is_clean
}

@test "--root draws the globe on the root window and holds the X server's saver off no longer; SIGTERM ends it, which dies of it" {
    # Without input the X server's saver comes on after 2 s, also while the globe turns.
    xset s 2
    launch -- --root
    within "$PATIENCE" screen_shows_globe "$RUN_DIR/root.ppm"
    run ! viewer_window
    sleep 3
    saver_is On
    kill -TERM "$VIEWER"
    ends_with 143 10
    stderr_is_clean
}

# Nobody types at the viewer, so it keeps the screen awake itself: the X server's saver is
# suspended and the session's idle service inhibited from the window's opening to shutdown.

load helpers

IDLE_SERVICE=org.freedesktop.ScreenSaver

teardown() {
    stop_viewer
    [ -z "${MOCK:-}" ] || kill "$MOCK" 2>/dev/null || true
    [ -z "${BUS:-}" ] || kill "$BUS" 2>/dev/null || true
}

# A private session bus for this test alone, ended with it.
start_session_bus() {
    dbus-daemon --session --nofork --print-address=1 >"$BATS_TEST_TMPDIR/bus" 2>/dev/null 3>&- &
    BUS=$!
    within 10 test -s "$BATS_TEST_TMPDIR/bus"
    DBUS_SESSION_BUS_ADDRESS=$(<"$BATS_TEST_TMPDIR/bus")
    export DBUS_SESSION_BUS_ADDRESS
}

# The desktop's idle service, mocked on that bus, logging every call into $1. The system's
# python3 has dbusmock, whichever python3 comes first on the PATH.
start_idle_service() {
    /usr/bin/python3 -m dbusmock --session -l "$1" \
        --template "$BATS_TEST_DIRNAME/idle_service_mock.py" >/dev/null 2>&1 3>&- &
    MOCK=$!
    within 10 eval 'dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:$IDLE_SERVICE | grep -q "boolean true"'
}
stop_idle_service() {
    kill "$MOCK" && wait "$MOCK" || true
    MOCK=
}

# count REGEX FILE: the number of lines of the file that match.
count() { grep -cE -- "$1" "$2" || true; }

@test "the X server's saver is suspended from the window's opening until shutdown" {
    # The Xvfb of Debian 12 never runs its saver, so the calls are watched instead.
    make_run_dir
    launch ltrace -o "$RUN_DIR/calls" -e XScreenSaverSuspend+XCloseDisplay+glewInit
    # The window belongs to the traced viewer, not to ltrace.
    within 10 eval 'VIEWER=$(pgrep -P "$VIEWER")'
    wait_for_globe "$RUN_DIR/globe.ppm"

    local calls=$RUN_DIR/calls display
    [ "$(count 'XScreenSaverSuspend\(' "$calls")" = 1 ]
    display=$(sed -n 's/.*->XScreenSaverSuspend(\(0x[0-9a-f]*\), 1,.*/\1/p' "$calls")
    [ -n "$display" ]
    # Asked for once the window's context was loaded, and its connection still open.
    sed -n '/->glewInit(/,$p' "$calls" | grep -q "XScreenSaverSuspend($display, 1,"
    after_suspension() { sed -n '/->XScreenSaverSuspend(/,$p' "$calls"; }
    [ "$(after_suspension | count "XCloseDisplay\($display\)" -)" = 0 ]

    close_ends_with_0
    # Lifted only when the connection that asked for it closes, at shutdown.
    [ "$(count 'XScreenSaverSuspend\(' "$calls")" = 1 ]
    [ "$(after_suspension | count "XCloseDisplay\($display\)" -)" = 1 ]
}

@test "the session's idle service is inhibited once while the viewer runs, until it is closed or killed, and killed it dies of the signal" {
    start_session_bus
    local ending calls
    # A job in the background of a script ignores SIGINT: the viewer is started with the
    # default actions.
    for ending in close_ends_with_0 'kill -s TERM "$VIEWER" && ends_with 143 15' \
        'kill -s INT "$VIEWER" && ends_with 130 15'; do
        echo "# ended by: $ending"
        make_run_dir
        calls=$RUN_DIR/idle_service_calls
        start_idle_service "$calls"
        launch env --default-signal
        wait_for_globe "$RUN_DIR/globe.ppm"
        [ "$(count ' Inhibit ' "$calls")" = 1 ]
        [ "$(count '^[0-9.]+ Inhibit "Quillmere" "[^"]+"$' "$calls")" = 1 ]
        [ "$(count ' UnInhibit ' "$calls")" = 0 ]

        eval "$ending"
        # The cookie the service handed out, and only once.
        [ "$(count ' Inhibit ' "$calls")" = 1 ]
        [ "$(count ' UnInhibit ' "$calls")" = 1 ]
        [ "$(count '^[0-9.]+ UnInhibit 7001$' "$calls")" = 1 ]
        stderr_is_clean
        stop_idle_service
    done
}

@test "without a session bus, or with one but no idle service, the viewer runs as before and says nothing" {
    make_run_dir
    launch env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR
    wait_for_globe "$RUN_DIR/globe.ppm" && close_ends_with_0 && stderr_is_clean

    start_session_bus
    make_run_dir
    launch
    wait_for_globe "$RUN_DIR/globe.ppm" && close_ends_with_0 && stderr_is_clean
}

# Nobody types at the viewer, so it keeps the screen awake itself: the X server's saver is
# suspended and the desktop's idle services inhibited from the window's opening to shutdown.

load helpers

# The services a desktop may run, each with the arguments its Inhibit gets as the mock logs
# them ("XID" stands for the window's X id) and its release's name.
SERVICES=(
    'org.freedesktop.ScreenSaver "Quillmere" "[^"]+" UnInhibit'
    'org.gnome.SessionManager "Quillmere" XID "[^"]+" 8 Uninhibit'
    'org.freedesktop.PowerManagement "Quillmere" "[^"]+" UnInhibit'
)
teardown() {
    stop_viewer
    end_processes "${MOCK:-}" "${BUS:-}"
    xset s default
}

# A private session bus for this test alone, ended with it.
start_session_bus() {
    dbus-daemon --session --nofork --print-address=1 >"$BATS_TEST_TMPDIR/bus" 2>/dev/null 3>&- &
    BUS=$!
    within 10 test -s "$BATS_TEST_TMPDIR/bus"
    DBUS_SESSION_BUS_ADDRESS=$(<"$BATS_TEST_TMPDIR/bus")
    export DBUS_SESSION_BUS_ADDRESS
}

# start_idle_service NAME LOG [PARAMETERS]: the idle service of that name mocked on that bus,
# logging every call into LOG.
start_idle_service() {
    local service=$1 parameters=${3:-'{}'}
    IDLE_SERVICE=$service $PYTHON -m dbusmock --session -l "$2" -p "$parameters" \
        --template "$BATS_TEST_DIRNAME/idle_service_mock.py" >/dev/null 2>&1 3>&- &
    MOCK=$!
    # Answered only once the mock has loaded and idles, so that it takes no time from the
    # viewer's start.
    within 10 dbus-send --session --print-reply --dest="$service" / org.freedesktop.DBus.Peer.Ping \
        >/dev/null 2>&1
}
stop_idle_service() { end_processes "$MOCK" && MOCK=; }

count() { grep -cE -- "$1" "$2" || true; }

# show_globe [launch's arguments]: a viewer in a fresh RUN_DIR, once its globe shows.
show_globe() { make_run_dir && launch "$@" && wait_for_globe "$RUN_DIR/globe.ppm"; }

# time_to_globe: launches the viewer, and once it has closed, sets START to the seconds from
# its start to its first globe frame and END to those from the close to its end.
time_to_globe() {
    make_run_dir
    x_probe globe "$PATIENCE" >"$RUN_DIR/globe_time" 3>&- &
    local probe=$! started closed
    # The probe takes a while to start on a busy machine; a globe it had missed would seem late.
    within 10 test -s "$RUN_DIR/globe_time"
    started=$EPOCHREALTIME
    launch
    wait "$probe"
    within "$PATIENCE" viewer_focused
    xdotool key alt+F4
    closed=$EPOCHREALTIME
    # A shutdown held up by the service until its call times out ends only after 25 s.
    ends_with 0 10
    stderr_is_clean
    START=$(awk -v started="$started" 'END { print $1 - started }' "$RUN_DIR/globe_time")
    END=$(awk -v closed="$closed" -v now="$EPOCHREALTIME" 'BEGIN { print now - closed }')
}

# fastest_and_middle TIMES: the least and the median of the times.
fastest_and_middle() {
    tr ' ' '\n' <<<"$1" | sort -n | awk '{ t[NR] = $1 } END { print t[1], t[int((NR + 1) / 2)] }'
}

# slower_by_less_than SECONDS TIMES OTHER_TIMES: the times are less than the seconds slower
# than the other times. Load only ever adds to a run's time and falls on a run or two by
# chance, while a wait on the service would add to every run of its kind, the fastest and
# the middle one alike: the two kinds differ only when both of these do.
slower_by_less_than() {
    awk -v most="$1" -v ours="$(fastest_and_middle "$2")" -v others="$(fastest_and_middle "$3")" \
        'BEGIN { split(ours, t); split(others, o); fastest = t[1] - o[1]; middle = t[2] - o[2]
            print "# slower by " fastest " s at the fastest, " middle " s at the median;",
                "less than " most " s?"
            exit !(fastest < most || middle < most) }'
}

@test "without a session bus, the X server's saver stops when the window opens, stays off while it is open, and runs again after" {
    # Without input the saver comes on after 2 s; it is on when the viewer starts.
    xset s 2
    within 10 saver_is On
    show_globe env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR
    within 5 saver_is Off
    # Well past the saver's 2 s, with nothing typed since.
    sleep 4
    saver_is Off
    close_ends_with_0
    stderr_is_clean
    # The close's key press started the countdown again.
    within 10 saver_is On
}

@test "each idle service is inhibited once while the viewer runs, until it is closed or killed, and killed it dies of the signal" {
    start_session_bus
    local service name arguments release ending calls
    for service in "${SERVICES[@]}"; do
        read -r name arguments <<<"$service"
        release=${arguments##* } arguments=${arguments% *}
        for ending in close_ends_with_0 'kill -s TERM "$VIEWER" && ends_with 143 15'; do
            echo "# $name, ended by: $ending"
            calls=$BATS_TEST_TMPDIR/calls-$name-${ending%% *}
            start_idle_service "$name" "$calls"
            show_globe
            # Asked in the background, so perhaps only just after the first frame.
            within 10 grep -q ' Inhibit ' "$calls"
            sleep 0.5
            [ "$(count ' Inhibit ' "$calls")" = 1 ]
            [ "$(count "^[0-9.]+ Inhibit ${arguments/XID/$(viewer_window)}\$" "$calls")" = 1 ]
            [ "$(count " $release " "$calls")" = 0 ]

            eval "$ending"
            # The cookie the service handed out, and only once.
            [ "$(count ' Inhibit ' "$calls")" = 1 ]
            [ "$(count " $release " "$calls")" = 1 ]
            [ "$(count "^[0-9.]+ $release 7001\$" "$calls")" = 1 ]
            stderr_is_clean
            stop_idle_service
        done
    done
}

# The end may wait half a second for an answer still on its way, so that a release could
# name its cookie, and a loaded machine may stretch that wait to a second or so; a service
# that held it up would hold it for the call's whole 25 s.
kinds_differ_by_less() {
    slower_by_less_than 0.2 "$1" "$2" && slower_by_less_than 1.5 "$3" "$4"
}

@test "an idle service that never answers does not delay the first globe frame, nor hold up the end" {
    start_session_bus
    local run starts_without=() starts_hung=() ends_without=() ends_hung=()
    # Turn about, so that a change in the machine's load falls on both alike; five times each,
    # and should that not settle it, four times more.
    for ((run = 1; run <= 9; run++)); do
        time_to_globe
        starts_without+=("$START") ends_without+=("$END")
        start_idle_service org.freedesktop.ScreenSaver "$BATS_TEST_TMPDIR/calls" '{"hung": true}'
        time_to_globe
        starts_hung+=("$START") ends_hung+=("$END")
        stop_idle_service
        ((run < 5)) || ! kinds_differ_by_less "${starts_hung[*]}" "${starts_without[*]}" \
            "${ends_hung[*]}" "${ends_without[*]}" >/dev/null || break
    done
    echo "# seconds to the first globe frame, without a service and with one that never" \
        "answers: ${starts_without[*]}; ${starts_hung[*]}; from the close to the end:" \
        "${ends_without[*]}; ${ends_hung[*]}"
    kinds_differ_by_less "${starts_hung[*]}" "${starts_without[*]}" "${ends_hung[*]}" \
        "${ends_without[*]}"
}

# How the real viewer starts and stops whatever the machine offers and whatever lies
# under its asset names.

load helpers

setup() {
    make_run_dir
}

teardown() {
    stop_viewer
}

# Closes the viewer once its window shows: it must end with status 0 having said little.
# A sound thread that cannot reach its device, or an asset read over and over, would
# write megabytes a second.
runs_and_closes_quietly() {
    launch "$@"
    wait_for_window
    close_viewer
    wait_for_exit
    [ "$STATUS" = 0 ]
    [ "$(stat -c %s "$RUN_DIR/stderr")" -lt 2048 ]
}

@test "without the OpenGL it needs it ends at once with status 1 and says so once" {
    # Mesa then offers an OpenGL 1.0 context, which the loader refuses.
    launch MESA_GL_VERSION_OVERRIDE=1.0
    wait_for_exit
    [ "$STATUS" = 1 ]
    [ "$(grep -c '^Failed ot init GLEW\.$' "$RUN_DIR/stderr")" = 1 ]
}

@test "runs and closes without its assets" {
    rm "$RUN_DIR/terrain.png" "$RUN_DIR/mellowsad beat.ogg"
    runs_and_closes_quietly
}

@test "runs and closes with empty asset files" {
    : >"$RUN_DIR/terrain.png"
    : >"$RUN_DIR/mellowsad beat.ogg"
    runs_and_closes_quietly
}

@test "runs and closes with asset files in no known format" {
    head -c 4096 /dev/zero | tr '\0' '\245' | tee "$RUN_DIR/terrain.png" >"$RUN_DIR/mellowsad beat.ogg"
    runs_and_closes_quietly
}

@test "without a sound device it says so in one line and runs silently" {
    runs_and_closes_quietly ALSOFT_DRIVERS=none
    [ "$(grep -c '^No audio output could be opened; playing without music\.$' "$RUN_DIR/stderr")" = 1 ]
}

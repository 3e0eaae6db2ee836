# The command line and the saved view, on a screen taller than 16:9, where the picture is
# the band between the bars.

load helpers
bats_require_minimum_version 1.5.0

# The seed a start at second 0 of launch_at_second takes from the clock.
SEED=1772366400

# same_pixels PNG GRAB BAND: the saved picture is the band of the grabbed screen, "width x
# height + left + top", pixel for pixel.
same_pixels() {
    [ "$(identify -format '%wx%h' "$1")" = "${3%%+*}" ] &&
        convert "$1" -depth 8 "rgb:$RUN_DIR/saved.rgb" &&
        convert "$2" -crop "$3" +repage -depth 8 "rgb:$RUN_DIR/shown.rgb" &&
        cmp "$RUN_DIR/saved.rgb" "$RUN_DIR/shown.rgb"
}

# launch_with_home [launch's arguments]: a viewer in a fresh RUN_DIR whose home folder is
# RUN_DIR/home, its user-dirs.dirs naming the pictures folder "$HOME/$PICTURES".
launch_with_home() {
    make_run_dir
    HOME_DIR=$RUN_DIR/home
    mkdir -p "$HOME_DIR/.config" "$HOME_DIR/Pictures"
    echo "XDG_PICTURES_DIR=\"\$HOME/$PICTURES\"" >"$HOME_DIR/.config/user-dirs.dirs"
    launch "HOME=$HOME_DIR" "XDG_CONFIG_HOME=$HOME_DIR/.config" "$@"
}

# start_with_home [env's arguments]: as launch_with_home, fullscreen with seed SEED, its globe
# in first.ppm and the focus its.
start_with_home() {
    launch_with_home "$@" -- --seed "$SEED"
    wait_for_globe "$RUN_DIR/first.ppm"
    within "$PATIENCE" viewer_focused
}

# window_shows_globe FILE SIZE: the viewer's window alone, grabbed into FILE, is SIZE
# ("width x height"), the same as at the grab before (a window just resized shows what it
# showed before until its next frame), with a round globe in its middle.
window_shows_globe() {
    local window && window=$(viewer_window) &&
        [ "$(grab_again "$1" grab_window "$window")" = same ] &&
        [ "$(convert "$1" -format '%wx%h %[fx:p{w/2,h/2}.intensity > 0]' info:)" = "$2 1" ] &&
        globe_is_round_and_centred "$1"
}

lines_in() { [ -f "$1" ] && [ "$(wc -l <"$1")" = "$2" ]; }

@test "--help, --version and bad arguments answer without a display" {
    run --separate-stderr env -u DISPLAY "$QUILLMERE" --version
    [ "$status" = 0 ]
    [ "$stderr" = "" ]
    [[ $output =~ ^quillmere\ [0-9]+\.[0-9]+\.[0-9]+$ ]]
    run --separate-stderr env -u DISPLAY "$QUILLMERE" --help
    [ "$status" = 0 ]
    [ "$stderr" = "" ]
    [ "${lines[0]}" = "Usage: quillmere [OPTION]..." ]

    local wrong
    while IFS='|' read -r wrong expected; do
        # shellcheck disable=SC2086 # the arguments are words
        run --separate-stderr env -u DISPLAY "$QUILLMERE" $wrong
        echo "$wrong: $status, $stderr"
        [ "$status,$output,$stderr" = "2,,quillmere: $expected; see \"quillmere --help\"." ]
    done <<'TABLE'
--window extra|unexpected argument "extra"
--seed twelve --window|--seed needs a whole number from 0 to 4294967295, not "twelve"
TABLE
}

@test "--seed N shows the globe a start at second N shows, and a start a second later another" {
    local start n=0
    for start in 'launch_at_second 0' 'launch -- --seed $SEED' 'launch_at_second 1'; do
        make_run_dir
        eval "$start"
        wait_for_globe "$BATS_TEST_TMPDIR/start-$((++n)).ppm"
        close_ends_with_0
        stderr_is_clean
    done
    cmp "$BATS_TEST_TMPDIR"/start-{1,2}.ppm
    run ! cmp -s "$BATS_TEST_TMPDIR"/start-{1,3}.ppm
}

@test "S saves the band as shown, named after the seed, then under the next name" {
    PICTURES=Bilder start_with_home
    local folder=$HOME_DIR/Bilder
    mkdir "$folder"
    xdotool key s
    within "$PATIENCE" lines_in "$RUN_DIR/stdout" 1
    [ "$(cat "$RUN_DIR/stdout")" = "Saved the view as $folder/quillmere-$SEED.png" ]
    same_pixels "$folder/quillmere-$SEED.png" "$RUN_DIR/first.ppm" 1440x810+0+135
    xdotool key s
    within "$PATIENCE" lines_in "$RUN_DIR/stdout" 2
    [ "$(tail -n1 "$RUN_DIR/stdout")" = "Saved the view as $folder/quillmere-$SEED-2.png" ]
    cmp "$folder/quillmere-$SEED.png" "$folder/quillmere-$SEED-2.png"
    [ "$(LC_ALL=C ls -A "$folder")" = "quillmere-$SEED-2.png"$'\n'"quillmere-$SEED.png" ]
    close_ends_with_0
    stderr_is_clean
}

@test "a pictures folder that cannot be written gives one line and the globe turns on" {
    PICTURES=not-a-folder start_with_home
    : >"$HOME_DIR/not-a-folder"
    xdotool key s
    within "$PATIENCE" grep -q '^Could not save' "$RUN_DIR/stderr"
    [ "$(said)" = \
        "Could not save the view in $HOME_DIR/not-a-folder: Not a directory." ]
    [ ! -s "$RUN_DIR/stdout" ]
    xdotool keydown Left
    within "$PATIENCE" screen_differs_from "$RUN_DIR/first.ppm"
    xdotool keyup Left
    close_ends_with_0
    [ "$(LC_ALL=C ls -A "$HOME_DIR")" = $'.config\nPictures\nnot-a-folder' ]
}

@test "saving with no reader left for its standard output does not end it" {
    # The reader of the pipe that is standard output has gone before the viewer starts.
    PICTURES=Pictures start_with_home bash -c 'exec > >(:) && sleep 0.5 && exec "$0" "$@"'
    xdotool key s
    within "$PATIENCE" test -f "$HOME_DIR/Pictures/quillmere-$SEED.png"
    xdotool key s
    within "$PATIENCE" test -f "$HOME_DIR/Pictures/quillmere-$SEED-2.png"
    close_ends_with_0
    stderr_is_clean
}

@test "--window opens a normal window, resized it keeps a round globe, and S saves its band" {
    PICTURES=Pictures launch_with_home -- --seed "$SEED" --window
    within "$PATIENCE" window_shows_globe "$RUN_DIR/window.ppm" 1280x720
    local window
    window=$(viewer_window)
    run ! grep -q FULLSCREEN < <(xprop -id "$window" _NET_WM_STATE)
    # The window manager has given it a title bar, as it gives none to a window over the screen.
    local left right top bottom
    IFS=', ' read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | cut -d= -f2)
    echo "frame: $left $right $top $bottom"
    ((top > 0))
    xdotool windowsize "$window" 1200 500
    within "$PATIENCE" window_shows_globe "$RUN_DIR/wide.ppm" 1200x500
    xdotool windowsize "$window" 700 600
    within "$PATIENCE" window_shows_globe "$RUN_DIR/tall.ppm" 700x600
    within "$PATIENCE" viewer_focused
    xdotool key s
    within "$PATIENCE" lines_in "$RUN_DIR/stdout" 1
    # The bars share 207 rows: the one below the band is the smaller.
    same_pixels "$HOME_DIR/Pictures/quillmere-$SEED.png" "$RUN_DIR/tall.ppm" 700x393+0+104
    close_ends_with_0
    stderr_is_clean
}

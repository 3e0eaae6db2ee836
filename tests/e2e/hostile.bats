# Odd desktops and odd files in its folder: the viewer runs and ends with 0 on the close
# request, or fails at start-up with one line and status 1. SCREEN_KIND picks the rows.

load helpers

# kind | condition | what to do before the launch, and the launch | what must follow; steps
# are joined with && so that a row fails on its first failing step.
# The viewer hands libpng only what starts as a PNG and the decoder only what starts as Ogg
# Vorbis, so one file of another kind for each (a Photoshop picture of gigabytes, a Wave file
# at 2^32-1 Hz) stands for every format the gate turns away.
# A background job of a script ignores SIGINT, and the viewer keeps a signal it was started
# ignoring, so the signal rows restore the default actions. Two seconds are many frames even
# on the software renderer.
ROWS=$(cat <<'TABLE'
normal   | display variable unset       | launch env -u DISPLAY | fails '^Cannot open the X display \(DISPLAY is not set\)\.$'
normal   | display with no server       | launch DISPLAY=:4095 | fails '^Cannot open the X display \(DISPLAY is ":4095"\)\.$'
normal   | driver older than OpenGL 2.0 | launch MESA_GL_VERSION_OVERRIDE=1.4 | fails '^The OpenGL driver offers version 1\.4 .*; the viewer needs OpenGL 2\.0\.$'
normal   | loader failure               | launch MESA_GL_VERSION_OVERRIDE=1.0 | fails '^Failed ot init GLEW\.$'
normal   | no sound device              | launch ALSOFT_DRIVERS=none | runs && says_once '^No audio output could be opened; playing without music\.$'
normal   | standard error closed        | launch sh -c 'exec "$0" 2>&-' | runs_round
normal   | a window id naming no window | launch -- --window-id 0x1fffffff | fails '^There is no window 0x1fffffff to draw into\.$'
assets   | no assets                    | rm "$TERRAIN" "$MUSIC" && launch | runs && refused terrain.png "$NO_FILE" && refused "mellowsad beat.ogg" "$NO_FILE"
assets   | empty assets                 | : >"$TERRAIN" && : >"$MUSIC" && launch | runs && refused terrain.png "$NO_PNG \\(the file ends early\\)" && refused "mellowsad beat.ogg" "$NO_VORBIS"
assets   | assets in no known format    | head -c 4096 /dev/zero | tr '\0' '\245' | tee "$TERRAIN" >"$MUSIC" && launch | runs && refused terrain.png "$NO_PNG \\(Not a PNG file\\)" && refused "mellowsad beat.ogg" "$NO_VORBIS"
assets   | pipes without a writer       | rm "$TERRAIN" "$MUSIC" && mkfifo "$TERRAIN" "$MUSIC" && launch | runs && skips_both
assets   | links to an endless device   | ln -sf /dev/zero "$TERRAIN" && ln -sf /dev/zero "$MUSIC" && launch | runs && skips_both
assets   | a directory and a socket     | ln -sf / "$TERRAIN" && rm "$MUSIC" && perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => shift, Listen => 1)' "$MUSIC" && launch | runs && skips_both
normal   | Ctrl+C in its terminal       | launch env --default-signal | ends_on INT
normal   | a polite kill                | launch env --default-signal | ends_on TERM
normal   | its terminal closed          | launch env --default-signal | ends_on HUP
normal   | a kill during start-up       | launch env --default-signal && kill_while_starting TERM | ends_with 143 15
normal   | started ignoring hangups     | launch sh -c 'trap "" HUP; exec "$0"' | drawing && kill -s HUP "$VIEWER" && sleep 2 && viewer_running && runs
normal   | destroyed by another client  | launch | drawing && xdotool windowclose "$(viewer_window)" && ends_with 0 15 && stderr_is_clean
files    | flipped bit, Vorbis book of no size | hostile "flipped image data" "Vorbis with a residue book of no dimension" && launch | refuses "$NO_PNG \\(bad adaptive filter value\\)" 'it does not decode \(the decoder died: .+\)'
files    | RGB at 4 bits, Vorbis at 4 GHz | hostile "RGB at 4 bits" "Vorbis at 2^32-1 Hz" && launch | refuses "$NO_PNG \\(Invalid IHDR data: Invalid color type/bit depth combination in IHDR\\)" 'a sample rate of 4294967295 Hz; the viewer plays 8000 to 192000 Hz'
files    | 16384 x 16384, Wave at 4 GHz | hostile "16384 x 16384 black" "Wave at 2^32-1 Hz" && launch | refuses "$NO_PNG \\(Invalid IHDR data: Image height exceeds user limit in IHDR\\)" "$NO_VORBIS"
files    | huge PSD, Wave at 4 GHz      | hostile "huge Photoshop file" "Wave at 2^32-1 Hz" && launch | refuses "$NO_PNG \\(Not a PNG file\\)" "$NO_VORBIS"
files    | long tails after both        | hostile "PNG and 2 MiB of junk" "Vorbis and 1 GiB of junk" && launch | refuses 'larger than 1 MiB' 'larger than 8 MiB'
no-saver | no screen saver extension    | launch | runs_round && stderr_is_clean
no-randr | no RandR extension           | launch | runs_round && stderr_is_clean
no-glx   | display without GLX          | launch | fails '^The X display ".*" offers no OpenGL \(no GLX extension\)\.$'
depth8   | 8-bit screen                 | launch | fails '^The X display ".*" offers no OpenGL \(no GLX extension\)\.$'
depth16  | 16-bit screen                | launch | runs_round
small    | 800 x 600 screen             | launch | runs_round
tall     | 1280 x 1024 screen           | launch | runs_round
TABLE
)

# says_once REGEX: exactly one line of standard error matches.
says_once() { [ "$(grep -cE -- "$1" "$RUN_DIR/stderr")" = 1 ]; }
# says_only COUNT: standard error holds COUNT lines besides SFML's note on vertical sync.
says_only() { [ "$(said | wc -l)" = "$1" ]; }
# Start-up failures come before the globe is needed, and must not wait long for it; the
# viewer's one line is all that is said.
fails() { ends_with 1 15 && says_once "$1" && (($(wc -l <"$RUN_DIR/stderr") == 1)); }

# What the viewer says about a file that is not there, and about files it does not take.
NO_FILE='cannot open it \(No such file or directory\)'
NOT_REGULAR='not a regular file'
NO_PNG='not a PNG image the viewer can use'
NO_VORBIS='not an Ogg Vorbis file'
# refused NAME WHY: one line of ours names the file and says why (a regular expression).
refused() { says_once "^Skipping \"${1//./\\.}\": $2\\.\$"; }
# Both names are passed over as no regular file, and the libraries say nothing about them.
skips_both() {
    refused terrain.png "$NOT_REGULAR" && refused "mellowsad beat.ogg" "$NOT_REGULAR" && says_only 2
}

# hostile IMAGE MUSIC: damaged or hostile files of the named kinds under the two names.
hostile() {
    python3 "$BATS_TEST_DIRNAME/hostile-assets.py" "$ASSETS" "$1" "$TERRAIN" &&
        python3 "$BATS_TEST_DIRNAME/hostile-assets.py" "$ASSETS" "$2" "$MUSIC"
}
# The most memory a viewer may have held, in kB: drawing on the software renderer takes
# under 300 MB; a decoder handed a huge picture, gigabytes.
MOST_MEMORY=$((1024 * 1024))
# refuses IMAGE_WHY MUSIC_WHY: one line for each file, the music's once its check is over,
# while the viewer draws on without ever having held much memory, and then closes with 0.
refuses() {
    within 30 refused "mellowsad beat.ogg" "$2" && refused terrain.png "$1" &&
        (($(awk '/^VmHWM:/ { print $2 }' "/proc/$VIEWER/status") < MOST_MEMORY)) &&
        close_ends_with_0 10 && says_only 2
}
runs() { close_ends_with_0; }
drawing() { wait_for_globe "$RUN_DIR/globe.ppm"; }
runs_round() { drawing && globe_is_round_and_centred "$RUN_DIR/globe.ppm" && runs; }

# kill_while_starting SIGNAL: sends the signal once the viewer has its handler for it and a
# second thread, the globe's builder: the globe is then being built and the window opened.
kill_while_starting() {
    local bit=$((1 << ($(kill -l "$1") - 1)))
    within 10 starting "$bit" && kill -s "$1" "$VIEWER"
}
starting() {
    (($(awk '/^SigCgt/ { print "0x" $2 }' "/proc/$VIEWER/status") & $1)) &&
        (($(ls "/proc/$VIEWER/task" | wc -l) > 1))
}

# ends_on SIGNAL: a drawing viewer ends promptly, as it looks at the flag each frame, and then
# dies of the signal, as a shell tells by a status of 128 and the signal's number.
ends_on() { drawing && kill -s "$1" "$VIEWER" && ends_with $((128 + $(kill -l "$1"))) 15; }

# Every row of the kind runs, and each failing one is named with what the viewer said, so that
# one run shows all that broke.
@test "every condition of this screen kind ends as it should" {
    local rows condition action outcome failed=()
    mapfile -t rows < <(grep "^${SCREEN_KIND:?} " <<<"$ROWS" | sed 's/ *| */|/g')
    [ ${#rows[@]} -gt 0 ]
    for row in "${rows[@]}"; do
        IFS='|' read -r _ condition action <<<"$row"
        outcome=${action##*|} action=${action%|*}
        echo "# $condition: $outcome"
        make_run_dir
        TERRAIN=$RUN_DIR/terrain.png MUSIC="$RUN_DIR/mellowsad beat.ogg"
        # A few lines, not the flood of a sound thread or asset read retrying forever.
        eval "$action" && eval "$outcome" &&
            (($(wc -l <"$RUN_DIR/stderr") <= 6 && $(wc -c <"$RUN_DIR/stderr") < 2048)) ||
            failed+=("$condition, which said: $(head -c 2048 "$RUN_DIR/stderr" | tr '\n' '|')")
        stop_viewer
    done
    [ ${#failed[@]} = 0 ] || { printf '# failed: %s\n' "${failed[@]}" && false; }
}

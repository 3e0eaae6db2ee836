# The Debian package that CPACK builds from BUILD_DIR, unpacked into a scratch root: what
# it installs, the validators, and its launcher started from an unrelated folder.

load helpers
bats_require_minimum_version 1.5.0

setup_file() {
    "$CPACK" --config "$BUILD_DIR/CPackConfig.cmake" -B "$BATS_FILE_TMPDIR/out" >/dev/null
    DEB=$(echo "$BATS_FILE_TMPDIR"/out/quillmere_*.deb)
    ROOT=$BATS_FILE_TMPDIR/root
    dpkg-deb -x "$DEB" "$ROOT"
    # The launcher runs in a folder with nothing of the viewer's in it.
    export DEB ROOT QUILLMERE=$ROOT/usr/bin/quillmere ASSETS=
}

setup() { make_run_dir; }
teardown() { stop_viewer; close_target; }

@test "the package holds the icons, names its libraries and places its manual" {
    dpkg-deb -f "$DEB" Depends | grep -q libsfml-audio
    [ "$(identify -format '%wx%h ' "$ROOT"/usr/share/icons/hicolor/{256x256,48x48}/apps/quillmere.png)" = \
        "256x256 48x48 " ]
    # The manual is filled in at install time, so it names where the package puts things.
    zgrep -q '^\.I /usr/share/quillmere/terrain.png$' "$ROOT/usr/share/man/man6/quillmere.6.gz"
}

@test "the desktop entry, the metainfo, the manual and the package pass their validators" {
    desktop-file-validate "$ROOT/usr/share/applications/org.example.quillmere.desktop"
    appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.example.quillmere.metainfo.xml"
    [ "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$ROOT"/usr/share/man/man6/quillmere.6.gz 2>&1 >/dev/null)" = "" ]
    lintian --fail-on error,warning "$DEB"
}

# Without its ramp the globe would stay black; without its music standard error would say so.
@test "xscreensaver finds the screensaver in its folder by name, and through it the launcher started elsewhere draws into a given window" {
    [ "$(readlink -f "$ROOT/usr/libexec/xscreensaver/quillmere")" = "$ROOT/usr/bin/quillmere" ]
    # xscreensaver's settings dialog names a program by its file's label; the program's own
    # name finds the file.
    python3 - "$ROOT/usr/share/xscreensaver/config/quillmere.xml" <<'EOF'
import sys
import xml.etree.ElementTree as tree
saver = tree.parse(sys.argv[1]).getroot()
assert (saver.tag, saver.get("name"), saver.get("_label")) == ("screensaver", "quillmere", "Quillmere"), saver.attrib
assert saver.find("command").get("arg") == "--root"
EOF
    open_target 640x480+20+20
    QUILLMERE=$ROOT/usr/libexec/xscreensaver/quillmere launch -- --window-id "$TARGET"
    wait_for_globe_in_target "$RUN_DIR/target.ppm"
    close_target
    ends_with 0
    stderr_is_clean
}

@test "the launcher passes the options on, and the viewer's status 2 back" {
    run --separate-stderr env -u DISPLAY "$QUILLMERE" --seed 12 --bogus
    [ "$status" = 2 ]
    [[ $stderr == 'quillmere: unknown option "--bogus"; '* ]]
}

@test "without its data folder the launcher says so in one line and ends with 1" {
    cp "$QUILLMERE" "$RUN_DIR/"
    run "$RUN_DIR/quillmere"
    [ "$status" = 1 ]
    [ "${#lines[@]}" = 1 ]
    [[ ${lines[0]} == *"data folder"* ]]
}

#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch root, checks
# and validates what it installs, then starts the unpacked launcher from an unrelated
# folder on the screen that with-xvfb.sh provides: the globe must show in the colour
# ramp's colours, and the desktop's close request must end it with status 0.
# Usage: package_test.sh <cpack> <build dir>

# "A && B || fail" is meant throughout: fail unless every check holds.
# shellcheck disable=SC2015
set -euo pipefail

cpack=$1
build_dir=$2

# Generous: the globe is built before the first frame, on a software renderer.
window_timeout=60
globe_timeout=120
exit_timeout=30
# Points around the screen's centre, all well inside the globe at the start view.
sample_offsets=("+0+0" "+100+0" "-100+0" "+0+100" "+0-100")
# The ramp is sampled at the nearest texel, so drawn colours match it all but exactly.
colour_tolerance=2

work=$(mktemp -d)
viewer_pid=
cleanup() {
    [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# --- the package and its tree ---
"$cpack" --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; fail "cpack could not build the package"; }
debs=("$work"/out/quillmere_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single quillmere_*.deb: ${debs[*]}"
deb=${debs[0]}
echo "built $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q 'libsfml-audio' || fail "Depends misses the binary's libraries"

root=$work/root
dpkg-deb -x "$deb" "$root"
launcher=$root/usr/bin/quillmere
data_dir=$root/usr/share/quillmere
desktop_entry=$root/usr/share/applications/org.example.quillmere.desktop
metainfo=$root/usr/share/metainfo/org.example.quillmere.metainfo.xml
man_page=$root/usr/share/man/man6/quillmere.6.gz
for file in "$launcher" "$root/usr/libexec/quillmere/quillmere" "$data_dir/terrain.png" \
    "$data_dir/mellowsad beat.ogg" "$desktop_entry" "$metainfo" "$man_page" \
    "$root/usr/share/doc/quillmere/copyright" "$root/usr/share/doc/quillmere/changelog.gz"; do
    [ -f "$file" ] || fail "the package lacks ${file#"$root"}"
done
[ -x "$launcher" ] && [ -x "$root/usr/libexec/quillmere/quillmere" ] ||
    fail "the launcher or the viewer is not executable"
for size in 256 48; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/quillmere.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] ||
        fail "no ${size}x${size} icon"
done
# The manual is filled in at install time, so it names where the package puts things.
zcat "$man_page" | grep -q '^\.I /usr/share/quillmere/terrain.png$' ||
    fail "the manual does not name /usr/share/quillmere/terrain.png"

# --- validators ---
desktop-file-validate "$desktop_entry" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli validate"; }
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "the manual renders with warnings: $man_warnings"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian reports errors or warnings"; }

# --- the launcher's own failures ---
elsewhere=$work/elsewhere
mkdir "$elsewhere"
cd "$elsewhere"

# The launcher refuses to start with status 1 and one line that says why.
expect_refusal() {
    local reason=$1 status=0
    shift
    "$@" 2>"$work/refusal.stderr" || status=$?
    [ "$status" -eq 1 ] && [ "$(wc -l <"$work/refusal.stderr")" -eq 1 ] &&
        grep -q "$reason" "$work/refusal.stderr" ||
        fail "not status 1 and one line about $reason (got $status): $(cat "$work/refusal.stderr")"
}
mv "$data_dir" "$data_dir.away"
expect_refusal 'data folder' "$launcher"
mv "$data_dir.away" "$data_dir"

# Mesa then offers an OpenGL 1.0 context, which the viewer's loader refuses with status 1.
status=0
MESA_GL_VERSION_OVERRIDE=1.0 ALSOFT_DRIVERS=null "$launcher" 2>"$work/loader.stderr" ||
    status=$?
[ "$status" -eq 1 ] && grep -q 'Failed ot init GLEW.' "$work/loader.stderr" ||
    fail "the viewer's status 1 did not come through the launcher (got $status)"

# --- the installed viewer, started from an unrelated folder ---
ramp_colours=$(convert "$data_dir/terrain.png" -crop 256x1+0+0 +repage -depth 8 txt:- |
    awk 'NR > 1 { print $2 }' | sort -u)
ramp_colours_shown() {
    local screen=$1 offset samples
    samples=$(for offset in "${sample_offsets[@]}"; do
        convert "$screen" -gravity center -crop "1x1$offset" +repage -depth 8 txt:- |
            awk 'NR > 1 { print $2 }'
    done)
    # ImageMagick writes each pixel as "(red,green,blue)".
    awk -v tolerance="$colour_tolerance" '
        function near(a, b, i, d, x, y) {
            split(a, x, /[(,)]/)
            split(b, y, /[(,)]/)
            for (i = 2; i <= 4; i++) {
                d = x[i] - y[i]
                if (d > tolerance || -d > tolerance) return 0
            }
            return 1
        }
        NR == FNR { ramp[$1]; next }
        {
            found = 0
            for (colour in ramp) if (near($1, colour)) { found = 1; break }
            if (!found) exit 1
        }' <(echo "$ramp_colours") <(echo "$samples")
}

ALSOFT_DRIVERS=null "$launcher" 2>"$work/viewer.stderr" &
viewer_pid=$!
timeout "$window_timeout" xdotool search --sync --name '^Quillmere$' >/dev/null ||
    fail "no window titled Quillmere: $(cat "$work/viewer.stderr")"
shown=false
for _ in $(seq "$globe_timeout"); do
    kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer ended early: $(cat "$work/viewer.stderr")"
    import -window root "$work/screen.png"
    if ramp_colours_shown "$work/screen.png"; then
        shown=true
        break
    fi
    sleep 1
done
$shown || fail "the globe never showed in the ramp's colours"

xdotool key alt+F4
for _ in $(seq "$exit_timeout"); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 1
done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer did not end on the close request"
status=0
wait "$viewer_pid" || status=$?
viewer_pid=
[ "$status" -eq 0 ] || fail "closing ended the launcher with status $status, not 0"
# Nothing on standard error but the windowing library's note.
unexpected=$(grep -v '^Setting vertical sync not supported$' "$work/viewer.stderr" || true)
[ -z "$unexpected" ] || fail "unexpected standard error: $unexpected"
echo "package test passed"

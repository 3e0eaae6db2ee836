#!/usr/bin/env bash
# Runs the viewer in the assets folder on the current display, saves its first globe frame
# as a PNG and closes it as a user does, with Alt+F4 through the window manager.
# Usage: tools/screenshot.sh <quillmere binary> <assets folder> <output.png>
# `make screenshot` runs it on a virtual screen, under tools/with-xvfb.sh.
set -euo pipefail

[ $# = 3 ] || { echo "usage: $0 <quillmere binary> <assets folder> <output.png>" >&2; exit 1; }
binary=$(realpath "$1")
output=$(realpath -m "$3")
mkdir -p "$(dirname "$output")"

(cd "$2" && exec env ALSOFT_DRIVERS=null "$binary") &
viewer=$!
trap 'kill "$viewer" 2>/dev/null || true' EXIT

# The globe is up once the middle of the screen is no longer black.
timeout 60 xdotool search --sync --all --pid "$viewer" --onlyvisible --name '^Quillmere$' >/dev/null
for _ in $(seq 300); do
    import -window root -strip "$output"
    [ "$(convert "$output" -depth 8 -format '%[hex:p{640,360}]' info:)" != 000000 ] && break
    sleep 0.2
done
xdotool key alt+F4
wait "$viewer"
[ "$(convert "$output" -depth 8 -format '%[hex:p{640,360}]' info:)" != 000000 ] ||
    { echo "screenshot: the globe never appeared" >&2; exit 1; }
echo "$output"

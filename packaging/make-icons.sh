#!/usr/bin/env bash
# Makes the menu icons from the viewer's own picture of a globe (docs/screenshot.png,
# as `make screenshot` takes it): the globe cut out round on a transparent background.
# Deterministic: no dates or other metadata go into the PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh imagemagick

source=docs/screenshot.png
# Sizes the hicolor theme looks up first: a large one for menus that scale, 48 for lists.
sizes=(256 48)
# Space around the disc, so it does not touch the icon's edges.
margin_percent=3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The globe is the only thing on a black screen: trimming the black leaves its bounding
# box, squared about its centre in case the relief sticks out more on one side.
convert "$source" -alpha off -fuzz 3% -trim +repage "$work/globe.png"
side=$(identify -format '%[fx:max(w,h)]' "$work/globe.png")
convert "$work/globe.png" -background black -gravity center -extent "${side}x${side}" \
    "$work/square.png"

# The disc inscribed in the square keeps the globe and drops the black corners.
centre=$((side / 2))
radius=$((centre * (100 - margin_percent) / 100))
convert -size "${side}x${side}" xc:black -fill white \
    -draw "circle $centre,$centre $centre,$((centre - radius))" \
    "$work/mask.png"
convert "$work/square.png" "$work/mask.png" -alpha off -compose CopyOpacity -composite \
    "$work/round.png"

for size in "${sizes[@]}"; do
    output=packaging/icons/quillmere-${size}.png
    convert "$work/round.png" -filter Lanczos -resize "${size}x${size}" -strip \
        -define png:exclude-chunks=date,time "PNG32:$output"
    echo "$output"
done

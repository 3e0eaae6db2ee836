#!/usr/bin/env bash
# Regenerates "mellowsad beat.ogg" beside this script: make-music.py synthesises
# the loop as a WAV, and sox encodes it as Ogg Vorbis. -R keeps sox repeatable,
# so the same WAV always gives the same file.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
"$here/../tools/install-deps.sh" sox libsox-fmt-base   # libsox-fmt-base brings Ogg Vorbis
command -v python3 >/dev/null || "$here/../tools/install-deps.sh" python3

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 "$here/make-music.py" "$work/music.wav"
sox -R "$work/music.wav" -C 4 "$work/music.ogg"
mv "$work/music.ogg" "$here/mellowsad beat.ogg"
soxi "$here/mellowsad beat.ogg"

#!/usr/bin/env bash
# Runs a command against a private Xvfb screen of 1280x720 with Mesa's software
# renderer, then stops the server. Each call gets a free display of its own, so tests
# may run side by side.
set -euo pipefail

display_file=$(mktemp)
trap 'rm -f "$display_file"' EXIT

# -noreset keeps the server steady across back-to-back clients; the screen is exactly
# the window's size, or a fullscreen window takes the larger screen size.
Xvfb -displayfd 3 -screen 0 1280x720x24 -noreset -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -f "$display_file"' EXIT

for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$display_file" ] || { echo "Xvfb gave no display number" >&2; exit 1; }

export DISPLAY=":$(head -n 1 "$display_file")"
# Mesa's shader cache would report a broken shader as compiled on later runs.
export MESA_SHADER_CACHE_DISABLE=true
export LIBGL_ALWAYS_SOFTWARE=1
"$@"

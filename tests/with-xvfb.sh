#!/usr/bin/env bash
# Runs a command against a private Xvfb screen with Mesa's software renderer and the
# openbox window manager, then stops both. Each call gets a free display of its own, so
# tests may run side by side. XVFB_SCREEN (default 1280x720x24) and XVFB_OPTIONS (extra
# server options, such as "-extension GLX") shape the screen.
set -euo pipefail

display_file=$(mktemp)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -f "$display_file"
}
trap cleanup EXIT

# -noreset keeps the server steady across back-to-back clients; the default screen is
# exactly the window's size, or a fullscreen window takes the larger screen size.
# shellcheck disable=SC2086
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x720x24}" ${XVFB_OPTIONS:-} -noreset \
    -nolisten tcp 3>"$display_file" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "${pids[0]}" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$display_file" ] || { echo "Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$display_file")"

# The window manager makes the window fullscreen and turns Alt+F4 into a close request,
# as on a desktop. It is ready once it has claimed the root window.
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# A loaded machine can take seconds; without it, Alt+F4 would reach no one.
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in $(seq 600); do
    wm_ready && break
    sleep 0.05
done
wm_ready || { echo "openbox did not start" >&2; exit 1; }

# Mesa's shader cache would report a broken shader as compiled on later runs.
export MESA_SHADER_CACHE_DISABLE=true
export LIBGL_ALWAYS_SOFTWARE=1
"$@"

#!/usr/bin/env bash
# Runs a command on a private Xvfb screen, free for tests side by side, with Mesa's software
# renderer and openbox, which makes the window fullscreen and turns Alt+F4 into a close
# request. XVFB_SCREEN (default 1280x720x24, the window's own size) and XVFB_OPTIONS shape it.
set -euo pipefail

display_file=$(mktemp)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait; rm -f "$display_file"' EXIT

# within SECONDS COMMAND...: polls the command until it succeeds, on a loaded machine too.
within() {
    for _ in $(seq $(($1 * 20))); do "${@:2}" && return; sleep 0.05; done
    echo "$0: gave up waiting for: ${*:2}" >&2
    exit 1
}

# -noreset keeps the server steady across back-to-back clients.
# shellcheck disable=SC2086
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x720x24}" ${XVFB_OPTIONS:-} -noreset \
    -nolisten tcp 3>"$display_file" 2>/dev/null &
pids+=($!)
within 5 test -s "$display_file"
DISPLAY=":$(head -n 1 "$display_file")"
export DISPLAY

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
within 30 eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'

# Mesa's shader cache would report a broken shader as compiled on later runs.
export MESA_SHADER_CACHE_DISABLE=true LIBGL_ALWAYS_SOFTWARE=1
"$@"

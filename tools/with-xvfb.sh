#!/usr/bin/env bash
# Runs a command on a private Xvfb screen, free for tests side by side, with Mesa's software
# renderer and openbox, which makes the window fullscreen and turns Alt+F4 into a close
# request. XVFB_SCREEN shapes the screen: its size and depth (default 1280x720x24, the
# window's own size), then any further Xvfb options.
set -euo pipefail
trap 'kill $(jobs -p) 2>/dev/null || true; wait' EXIT

# Xvfb names its display once it takes clients; -noreset keeps it steady for back-to-back ones.
# shellcheck disable=SC2086
coproc Xvfb -displayfd 1 -screen 0 ${XVFB_SCREEN:-1280x720x24} -noreset -nolisten tcp 2>/dev/null
read -r -t 10 display <&"${COPROC[0]}" || { echo "$0: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display

openbox --sm-disable >/dev/null 2>&1 &
timeout 30 sh -c 'until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"
    do sleep 0.05; done' || { echo "$0: openbox did not start" >&2; exit 1; }

# Mesa's shader cache would report a broken shader as compiled on later runs.
export MESA_SHADER_CACHE_DISABLE=true LIBGL_ALWAYS_SOFTWARE=1
"$@"

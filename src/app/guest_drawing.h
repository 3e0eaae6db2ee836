#pragma once

#include "app/drawing_target.h"
#include "app/window.h"

// The globe in someone else's window, as a screensaver: no window of its own, no music, no
// hold on the screen's idle timers and no keys; it turns by itself and follows the window's
// size. Runs on the viewer's connection until a terminating signal arrives or the window is
// destroyed, and returns the exit status: 0, or 1 after one line on standard error when it
// cannot start or an X request fails. The window library has let go of the child when this
// returns.
int drawIntoTarget(ViewerDisplay& display, const DrawingTarget& target);

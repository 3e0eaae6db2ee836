#pragma once

#include <optional>

#include "app/drawing_target.h"
#include "app/window.h"

// Drawing into a window that belongs to someone else: the screensaver's, one given by id, or
// the root. That window's visual may have no double buffer or depth buffer, so the globe is
// drawn into a child window of the viewer's, in the viewer's OpenGL visual, laid over the
// target and kept at its size; the window library takes the child by its handle.

struct GuestWindow {
    unsigned long target = 0;
    unsigned width = 0;
    unsigned height = 0;
};

// Makes the child over the target on the viewer's connection, mapped, with input passing
// through it to the target, as the viewer's window. Nothing, after one line on standard
// error, when there is no such target or it cannot be drawn into.
std::optional<GuestWindow> openGuestWindow(ViewerDisplay& display, const DrawingTarget& target);

enum class TargetChange { none, resized, destroyed };

// Takes in what happened to the target since the last call, without waiting: a new size is
// passed on to the child (and reported, with the size in the guest), an end is reported.
TargetChange followTarget(ViewerDisplay& display, GuestWindow& guest);

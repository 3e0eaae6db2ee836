#pragma once

#include <optional>
#include <string>

// Where the picture goes: the viewer's own fullscreen window, or a window that belongs to
// someone else (a screensaver's, the desktop's root), drawn into silently and turning by
// itself.
enum class TargetKind { ownWindow, rootWindow, givenWindow };

struct DrawingTarget {
    TargetKind kind = TargetKind::ownWindow;
    // The X window id of a given window; unused for the others.
    unsigned long windowId = 0;
};

// A window id as X tools print it: decimal, or hexadecimal after 0x or 0X. Nothing for an
// empty text, a sign, trailing characters, zero (no window has it) or a value beyond the 29
// bits X gives its ids.
std::optional<unsigned long> parseWindowId(const std::string& text);

// The target for the options and for XSCREENSAVER_WINDOW's value (null when unset). An id
// given on the command line wins; otherwise the root is the screensaver's window when the
// screensaver named one, as its own programs take it, and the real root when it did not;
// without either option the viewer opens its own window, whatever the environment. Nothing,
// after one line on standard error, for a screensaver window that is no window id.
std::optional<DrawingTarget> chooseTarget(bool root, std::optional<unsigned long> windowId,
                                          const char* screensaverWindow);

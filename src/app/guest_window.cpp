#include "app/guest_window.h"

#include <cstdio>
#include <iostream>
#include <string>

// Xlib after the standard headers: it defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

namespace {

// Input shapes came with version 1.1 of the extension.
constexpr int shapeInputMajor = 1;
constexpr int shapeInputMinor = 1;

bool targetMissing = false;

// Only while the target is looked at: a window id that names nothing is the user's mistake,
// told in a line of our own, not a failed request of the viewer's.
int noteMissingTarget(Display*, XErrorEvent*) {
    targetMissing = true;
    return 0;
}

std::string hexadecimal(unsigned long id) {
    char text[2 + 2 * sizeof id + 1];
    std::snprintf(text, sizeof text, "0x%lx", id);
    return text;
}

// Watching first, then looking: a target that goes after the look is still seen going.
std::optional<XWindowAttributes> watchTarget(Display* display, Window target) {
    XSync(display, False);
    targetMissing = false;
    const auto viewerHandler = XSetErrorHandler(noteMissingTarget);
    XSelectInput(display, target, StructureNotifyMask);
    XWindowAttributes attributes{};
    const bool found = XGetWindowAttributes(display, target, &attributes) != 0;
    XSync(display, False);
    XSetErrorHandler(viewerHandler);
    if (!found || targetMissing) return std::nullopt;
    return attributes;
}

// Pointer and keys go where they would without the child: to the target, whose owner (the
// screensaver) may wait for them.
void letInputThrough(Display* display, Window window) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XShapeQueryExtension(display, &eventBase, &errorBase) ||
        !XShapeQueryVersion(display, &major, &minor) ||
        (major == shapeInputMajor && minor < shapeInputMinor) || major < shapeInputMajor) {
        return;
    }
    XShapeCombineRectangles(display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
}

}  // namespace

std::optional<GuestWindow> openGuestWindow(ViewerDisplay& viewer, const DrawingTarget& target) {
    Display* display = viewer.display;
    GuestWindow guest;
    guest.target =
        target.kind == TargetKind::rootWindow ? DefaultRootWindow(display) : target.windowId;
    const std::optional<XWindowAttributes> attributes = watchTarget(display, guest.target);
    if (!attributes) {
        std::cerr << "There is no window " << hexadecimal(guest.target) << " to draw into."
                  << std::endl;
        return std::nullopt;
    }
    if (attributes->c_class == InputOnly) {
        std::cerr << "The window " << hexadecimal(guest.target)
                  << " takes input only; nothing can be drawn into it." << std::endl;
        return std::nullopt;
    }
    guest.width = static_cast<unsigned>(attributes->width);
    guest.height = static_cast<unsigned>(attributes->height);

    // A child of the root is a top-level window, which the window manager would frame and
    // place; it lies instead at the bottom, where the root's picture would be.
    const bool onRoot = target.kind == TargetKind::rootWindow;
    const Window window = createBlackWindow(viewer, guest.target, chooseSinglySampledVisual(viewer),
                                            guest.width, guest.height, onRoot);
    adoptViewerWindow(viewer, window);
    letInputThrough(display, window);
    XMapWindow(display, window);
    if (onRoot) XLowerWindow(display, window);
    // The window library's connection must find the child; a refused one is named by the
    // viewer's error handler first.
    XSync(display, False);
    return guest;
}

TargetChange followTarget(ViewerDisplay& viewer, GuestWindow& guest) {
    TargetChange change = TargetChange::none;
    while (XPending(viewer.display) > 0) {
        XEvent event;
        XNextEvent(viewer.display, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == viewer.window) {
            viewer.window = 0;
            return TargetChange::destroyed;
        }
        if (event.type == DestroyNotify && event.xdestroywindow.window == guest.target) {
            return TargetChange::destroyed;
        }
        if (event.type == ConfigureNotify && event.xconfigure.window == guest.target) {
            const unsigned width = static_cast<unsigned>(event.xconfigure.width);
            const unsigned height = static_cast<unsigned>(event.xconfigure.height);
            if (width == guest.width && height == guest.height) continue;
            guest.width = width;
            guest.height = height;
            XResizeWindow(viewer.display, viewer.window, width, height);
            change = TargetChange::resized;
        }
    }
    if (change == TargetChange::resized) XFlush(viewer.display);
    return change;
}

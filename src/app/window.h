#pragma once

#include <SFML/Window/Window.hpp>
#include <optional>
#include <string>

// Opening the viewer's window, from asking the display what it offers to a context whose
// OpenGL entry points are loaded and whose viewport fits the window.
//
// The viewer makes its X window itself, on a connection of its own that it opens first and
// keeps to the end, and hands it to the window library, which then does the events and the
// OpenGL context. The library's own fullscreen style would grab the pointer at every focus
// (and so keep any screen locker from locking), switch the screen's video mode through RandR
// (and crash on a server without it), and leave the window showing what was behind it until
// the first frame; and a connection closed between the check and the window would let a
// server that resets when its last client leaves refuse the library's one.

// Declared here so that callers do not take in Xlib's macros.
struct _XDisplay;

// The viewer's own connection, the OpenGL visual it chose there, and its window once open.
struct ViewerDisplay {
    _XDisplay* display = nullptr;
    unsigned long visualId = 0;
    unsigned long colormap = 0;
    unsigned long window = 0;
};

// Opens the viewer's connection to the display and asks whether it can take the viewer's
// window: GLX and a double-buffered RGBA OpenGL visual, the one nearest to the screen's own
// bits per pixel, a depth buffer and antialiasing. Also makes the viewer's handlers of X
// errors the process's, so that no X error ends it with Xlib's dump. Returns the open
// connection, or nothing after one line saying what is missing.
std::optional<ViewerDisplay> checkDisplay();

// The window object, made once the display has passed its check: the window library's first
// one sets up the context that all others share, and says as it does so what the server
// lacks. Its messages are held back until useViewerWindow has given the window its context,
// or closeDisplay runs, and those about RandR, which the viewer does not use, are dropped;
// all are, should the driver be refused.
sf::Window makeWindowObject();

// Makes the viewer's window, borderless over the whole screen at the screen's own size and
// black from the start, asks a window manager to keep it fullscreen or, where none runs,
// gives it the focus itself, and hands it to the window object with the OpenGL context the
// globe needs. Then loads the OpenGL entry points, shows one black frame and fits the
// viewport to the window. False after one line on standard error when the server refuses
// the window, the loader fails or the driver offers less than OpenGL 2.0. A normal window
// (--window) is 1280 x 720, or the largest 16:9 a smaller screen holds, and the window
// manager places, frames and resizes it as any other.
bool openViewer(sf::Window& window, ViewerDisplay& display, bool normalWindow = false);

// Hands the window object the viewer's OpenGL context in the X window `handle`, which may
// be anyone's, then loads the OpenGL entry points, shows one black frame and fits the
// viewport to the window; false after one line when the loader fails or the driver offers
// less than OpenGL 2.0. The context asks for the viewer's samples per pixel or, not
// multisampled, for none, as a window in a visual without samples has (the window library
// warns of any shortfall).
bool useViewerWindow(sf::Window& window, unsigned long handle, bool multisampled = true);

// The visual checkDisplay() chose, but the nearest one without multisampling: a screensaver
// draws for hours, and on a software renderer four samples cost about four times the pixels
// and hold up the end of a frame, and so the end on SIGTERM.
unsigned long chooseSinglySampledVisual(const ViewerDisplay& display);

// A window under `parent` at its top left, in the OpenGL visual `visualId`, black wherever
// nothing has been drawn yet from the moment it shows; the viewer's connection hears of it
// being shown, resized and destroyed. Its colormap becomes the display's, which
// closeDisplay frees; `overrideRedirect` keeps window managers from framing and placing it.
unsigned long createBlackWindow(ViewerDisplay& display, unsigned long parent,
                                unsigned long visualId, unsigned width, unsigned height,
                                bool overrideRedirect);

// Takes `window`, made by createBlackWindow, as the viewer's window: requests naming it once
// another client destroyed it are no failure, and closeDisplay destroys it.
void adoptViewerWindow(ViewerDisplay& display, unsigned long window);

// True once the viewer's window has been asked to close (the window manager's close request)
// or destroyed from outside (another client's XDestroyWindow): the viewer then ends as on
// the window library's Closed event. Both come to the connection that made the window, not
// to the library's, so they are read here, without waiting, with the window manager's
// pings, which are answered.
bool viewerCloseRequested(ViewerDisplay& display);

// True once an X request of the viewer or its libraries failed for another reason than a
// window destroyed from outside; the failure has been named in one line on standard error,
// and the viewer ends with status 1.
bool displayFailed();

// Destroys the viewer's window, unless that happened from outside, and closes the connection.
// Called once the window library has let go of the window.
void closeDisplay(ViewerDisplay& display);

// Loads the OpenGL entry points into the current context and enables the depth test.
// False after one line on standard error when the loader fails or the driver offers
// less than OpenGL 2.0.
bool loadOpenGl();

// The one line loadOpenGl() writes when it refuses the driver, from the version and renderer
// the driver names. The loader's flags are false for a driver older than 2.0, and also for a
// newer one whose 2.0 entry points did not all load: the line must not call that one old.
std::string describeRefusedDriver(const char* version, const char* renderer);

#pragma once

#include <SFML/Window/Window.hpp>
#include <optional>
#include <string>

// Opening the viewer's window, from asking the display what it offers to a context whose
// OpenGL entry points are loaded and whose viewport fits the window.

// Asks the display, before any window object exists, whether it can take the viewer's
// window: the window library aborts without a display and crashes without an OpenGL
// visual, already while constructing its first window object. Returns the bits per
// pixel of the screen's own format, or nothing after one line saying what is missing.
std::optional<unsigned> checkDisplay();

// Opens the viewer's fullscreen window with its OpenGL context: 1280 x 720 where the
// screen offers that mode and the screen's own size where it does not, at the bits per
// pixel checkDisplay() found. Then loads the OpenGL entry points into the context and fits
// the viewport to the window. False after one line on standard error when the loader fails
// or the driver offers less than OpenGL 2.0.
bool openViewer(sf::Window& window, unsigned bitsPerPixel);

// Loads the OpenGL entry points into the current context and enables the depth test.
// False after one line on standard error when the loader fails or the driver offers
// less than OpenGL 2.0.
bool loadOpenGl();

// The one line loadOpenGl() writes when it refuses the driver, from the version and renderer
// the driver names. The loader's flags are false for a driver older than 2.0, and also for a
// newer one whose 2.0 entry points did not all load: the line must not call that one old.
std::string describeRefusedDriver(const char* version, const char* renderer);

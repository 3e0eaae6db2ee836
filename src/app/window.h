#pragma once

#include <SFML/Window/Window.hpp>
#include <optional>

// Asks the display, before any window object exists, whether it can take the viewer's
// window: the window library aborts without a display and crashes without an OpenGL
// visual, already while constructing its first window object. Returns the bits per
// pixel of the screen's own format, or nothing after one line saying what is missing.
std::optional<unsigned> checkDisplay();

// Opens the viewer's fullscreen window with its OpenGL context: 1280 x 720 where the
// screen offers that mode and the screen's own size where it does not, at the bits per
// pixel checkDisplay() found.
void openViewerWindow(sf::Window& window, unsigned bitsPerPixel);

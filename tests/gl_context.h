#pragma once

#include <SFML/Window/Window.hpp>
#include <cstdint>
#include <vector>

// A plain window with a real OpenGL context for drawing tests: the viewer's depth
// buffer and requested version, but no antialiasing, so that every pixel is either
// wholly covered or not and colours read back exactly.
// Returns false when the OpenGL entry points cannot be loaded.
bool openTestWindow(sf::Window& window, unsigned width, unsigned height);

// The back buffer as RGBA bytes, bottom row first.
std::vector<std::uint8_t> readPixels(unsigned width, unsigned height);

// One RGBA pixel of what readPixels returned.
std::uint32_t pixelAt(const std::vector<std::uint8_t>& pixels, unsigned width, unsigned x,
                      unsigned y);

// Packs a colour the way pixelAt returns it: red in the top byte, alpha in the lowest.
constexpr std::uint32_t rgba(std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                             std::uint32_t alpha = 255) {
    return red << 24 | green << 16 | blue << 8 | alpha;
}

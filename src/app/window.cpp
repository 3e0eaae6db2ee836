#include "app/window.h"

namespace {

const std::string windowTitle = "Quillmere";

constexpr unsigned screenWidth = 1280;
constexpr unsigned screenHeight = 720;
constexpr unsigned bitsPerPixel = 32;

// The globe is drawn with the depth test, so the context needs a depth buffer: without
// one the far side shows through the near side.
constexpr unsigned depthBits = 24;
constexpr unsigned stencilBits = 0;
constexpr unsigned antialiasingLevel = 4;
constexpr unsigned majorVersion = 2;
constexpr unsigned minorVersion = 0;

}  // namespace

void openViewerWindow(sf::Window& window) {
    window.create(
        sf::VideoMode(screenWidth, screenHeight, bitsPerPixel), windowTitle, sf::Style::Fullscreen,
        sf::ContextSettings(depthBits, stencilBits, antialiasingLevel, majorVersion, minorVersion));
}

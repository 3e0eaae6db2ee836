#include "gl_context.h"

#include <GL/glew.h>

namespace {

constexpr unsigned depthBits = 24;
constexpr unsigned noStencil = 0;
constexpr unsigned noAntialiasing = 0;
constexpr unsigned requestedMajorVersion = 2;
constexpr unsigned requestedMinorVersion = 0;
constexpr unsigned bytesPerPixel = 4;

}  // namespace

bool openTestWindow(sf::Window& window, unsigned width, unsigned height) {
    const sf::ContextSettings settings(depthBits, noStencil, noAntialiasing, requestedMajorVersion,
                                       requestedMinorVersion);
    window.create(sf::VideoMode(width, height), "gl test", sf::Style::None, settings);
    return window.setActive(true) && glewInit() == GLEW_OK;
}

std::vector<std::uint8_t> readPixels(unsigned width, unsigned height) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * bytesPerPixel);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::uint32_t pixelAt(const std::vector<std::uint8_t>& pixels, unsigned width, unsigned x,
                      unsigned y) {
    const std::uint8_t* pixel = &pixels[(std::size_t{y} * width + x) * bytesPerPixel];
    return rgba(pixel[0], pixel[1], pixel[2], pixel[3]);
}

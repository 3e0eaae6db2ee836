#include "render/render.h"

namespace {

constexpr std::size_t bytesPerPixel = 3;

}  // namespace

ViewportPixels readViewportPixels() {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    ViewportPixels pixels;
    pixels.width = viewport[2];
    pixels.height = viewport[3];
    pixels.rgb.resize(static_cast<std::size_t>(pixels.width) *
                      static_cast<std::size_t>(pixels.height) * bytesPerPixel);
    // Rows of three bytes a pixel are packed with no padding, whatever the width.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(viewport[0], viewport[1], pixels.width, pixels.height, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.rgb.data());
    return pixels;
}

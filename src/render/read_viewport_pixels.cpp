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

    // Read straight from a multisampled window, some drivers give one sample of each pixel
    // where showing the frame averages them all; a copy into a texture averages them as
    // the screen does. A band wider or taller than a texture may be is read straight.
    GLint largestTexture = 0, boundTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTexture);
    if (pixels.width > largestTexture || pixels.height > largestTexture) {
        glReadPixels(viewport[0], viewport[1], pixels.width, pixels.height, GL_RGB,
                     GL_UNSIGNED_BYTE, pixels.rgb.data());
        return pixels;
    }
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    GLuint copy = 0;
    glGenTextures(1, &copy);
    glBindTexture(GL_TEXTURE_2D, copy);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, viewport[0], viewport[1], pixels.width,
                     pixels.height, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    // One texture a picture, so it goes as soon as it is read.
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    glDeleteTextures(1, &copy);
    return pixels;
}

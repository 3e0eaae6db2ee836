#include "render/render.h"

namespace {

// The projection's fixed 16:9, as whole numbers so that a 1280 x 720 window is covered
// exactly.
constexpr unsigned long long pictureWidth = 16;
constexpr unsigned long long pictureHeight = 9;

struct ViewportArea {
    GLint left = 0;
    GLint bottom = 0;
    GLsizei width = 0;
    GLsizei height = 0;
};

ViewportArea centredWideArea(unsigned windowWidth, unsigned windowHeight) {
    ViewportArea area;
    if (windowWidth * pictureHeight >= windowHeight * pictureWidth) {
        // Wider than 16:9: bars left and right.
        area.height = static_cast<GLsizei>(windowHeight);
        area.width = static_cast<GLsizei>(windowHeight * pictureWidth / pictureHeight);
        area.left = static_cast<GLint>((windowWidth - static_cast<unsigned>(area.width)) / 2);
    } else {
        // Narrower: bars above and below.
        area.width = static_cast<GLsizei>(windowWidth);
        area.height = static_cast<GLsizei>(windowWidth * pictureHeight / pictureWidth);
        area.bottom = static_cast<GLint>((windowHeight - static_cast<unsigned>(area.height)) / 2);
    }
    return area;
}

}  // namespace

void fitViewport(unsigned windowWidth, unsigned windowHeight) {
    const ViewportArea area = centredWideArea(windowWidth, windowHeight);
    glViewport(area.left, area.bottom, area.width, area.height);
}

#include "app/window.h"

// The loader's header comes before every other OpenGL header, as it requires.
#include <GL/glew.h>

#include <SFML/Window/ContextSettings.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/WindowStyle.hpp>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "render/render.h"

// After the windowing library's and the renderer's headers: Xlib defines macros such as
// None and Bool.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const std::string windowTitle = "Quillmere";

constexpr unsigned screenWidth = 1280;
constexpr unsigned screenHeight = 720;

// The globe is drawn with the depth test, so the context needs a depth buffer: without
// one the far side shows through the near side.
constexpr unsigned depthBits = 24;
constexpr unsigned stencilBits = 0;
constexpr unsigned antialiasingLevel = 4;
constexpr unsigned majorVersion = 2;
constexpr unsigned minorVersion = 0;

// Names the display Xlib tries, for the one line that says it failed.
std::string describeDisplay() {
    const char* name = std::getenv("DISPLAY");
    return name == nullptr ? std::string("DISPLAY is not set")
                           : "DISPLAY is \"" + std::string(name) + "\"";
}

// The window library picks among the double-buffered OpenGL visuals, and the globe's
// shading needs RGBA; with no such visual the library builds its window from an empty
// one and crashes.
bool offersOpenGlVisual(Display* display) {
    XVisualInfo pattern{};
    pattern.screen = DefaultScreen(display);
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask, &pattern, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        int usesOpenGl = 0, rgba = 0, doubleBuffered = 0;
        glXGetConfig(display, &visuals[i], GLX_USE_GL, &usesOpenGl);
        glXGetConfig(display, &visuals[i], GLX_RGBA, &rgba);
        glXGetConfig(display, &visuals[i], GLX_DOUBLEBUFFER, &doubleBuffered);
        found = usesOpenGl && rgba && doubleBuffered;
    }
    if (visuals != nullptr) XFree(visuals);
    return found;
}

// The bits each pixel of the screen's own depth takes: 32 for the usual depth 24, 16 on
// a 16-bit screen. Asking a 16-bit screen for 32 bits gets a visual of another depth,
// and the window made from it is refused.
unsigned screenBitsPerPixel(Display* display) {
    const int depth = DefaultDepth(display, DefaultScreen(display));
    unsigned bitsPerPixel = static_cast<unsigned>(depth);
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth)
            bitsPerPixel = static_cast<unsigned>(formats[i].bits_per_pixel);
    }
    if (formats != nullptr) XFree(formats);
    return bitsPerPixel;
}

// A screen without 1280 x 720 gets a window of its own size rather than whichever mode
// the window library would fall back on.
sf::VideoMode fullscreenMode(unsigned bitsPerPixel) {
    const sf::VideoMode wanted(screenWidth, screenHeight, bitsPerPixel);
    if (wanted.isValid()) return wanted;
    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    return sf::VideoMode(desktop.width, desktop.height, bitsPerPixel);
}

void openViewerWindow(sf::Window& window, unsigned bitsPerPixel) {
    window.create(
        fullscreenMode(bitsPerPixel), windowTitle, sf::Style::Fullscreen,
        sf::ContextSettings(depthBits, stencilBits, antialiasingLevel, majorVersion, minorVersion));
}

// A broken context answers with null, and the line that says why must still come out.
const char* openGlString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "unknown";
}

}  // namespace

// A connection of its own, closed again before the window library opens its one.
std::optional<unsigned> checkDisplay() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::cerr << "Cannot open the X display (" << describeDisplay() << ")." << std::endl;
        return std::nullopt;
    }
    std::optional<unsigned> bitsPerPixel;
    int errorBase = 0, eventBase = 0;
    const std::string name = DisplayString(display);
    if (!glXQueryExtension(display, &errorBase, &eventBase)) {
        std::cerr << "The X display \"" << name << "\" offers no OpenGL (no GLX extension)."
                  << std::endl;
    } else if (!offersOpenGlVisual(display)) {
        std::cerr << "The X display \"" << name
                  << "\" offers no double-buffered RGBA OpenGL visual (screen depth "
                  << DefaultDepth(display, DefaultScreen(display)) << ")." << std::endl;
    } else {
        bitsPerPixel = screenBitsPerPixel(display);
    }
    XCloseDisplay(display);
    return bitsPerPixel;
}

std::string describeRefusedDriver(const char* version, const char* renderer) {
    const std::string driver = std::string(version) + " (" + renderer + ")";
    if (std::strtol(version, nullptr, 10) >= 2) {
        return "The OpenGL driver reports version " + driver +
               ", but not every OpenGL 2.0 function the viewer needs could be loaded.";
    }
    return "The OpenGL driver offers version " + driver + "; the viewer needs OpenGL 2.0.";
}

bool loadOpenGl() {
    if (glewInit() != GLEW_OK) {
        std::cerr << "Failed ot init GLEW." << std::endl;
        return false;
    }
    // The loader succeeds on any version, but leaves the entry points of a version the
    // driver does not offer null, and the first shader call would jump through one. The
    // flags are false as well when one of those entry points failed to load.
    if (!GLEW_VERSION_1_5 || !GLEW_VERSION_2_0) {
        std::cerr << describeRefusedDriver(openGlString(GL_VERSION), openGlString(GL_RENDERER))
                  << std::endl;
        return false;
    }
    glEnable(GL_DEPTH_TEST);
    return true;
}

bool openViewer(sf::Window& window, unsigned bitsPerPixel) {
    openViewerWindow(window, bitsPerPixel);
    if (!loadOpenGl()) return false;
    fitViewport(window.getSize().x, window.getSize().y);
    return true;
}

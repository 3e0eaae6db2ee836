// The viewer's window as another X client sees it: found by title, read back pixel by
// pixel, and fed synthetic keys, wheel notches and the close request.
#include "xdriver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(100);
constexpr unsigned wheelAwayButton = 4;
constexpr unsigned wheelTowardsButton = 5;

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::optional<std::string> utf8Title(Display* display, Window window) {
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long itemCount = 0;
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    const int result =
        XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8String, &actualType,
                           &actualFormat, &itemCount, &bytesAfter, &data);
    std::optional<std::string> title;
    if (result == Success && data != nullptr && actualType == utf8String) {
        title = std::string(reinterpret_cast<char*>(data), itemCount);
    }
    if (data != nullptr) XFree(data);
    return title;
}

std::optional<std::string> windowTitle(Display* display, Window window) {
    if (auto title = utf8Title(display, window)) return title;
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr) return std::nullopt;
    std::string title = name;
    XFree(name);
    return title;
}

Window findTitledWindow(Display* display, Window parent, const std::string& title) {
    Window root = 0;
    Window parentOfParent = 0;
    Window* children = nullptr;
    unsigned childCount = 0;
    if (XQueryTree(display, parent, &root, &parentOfParent, &children, &childCount) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned index = 0; index < childCount && found == 0; ++index) {
        if (windowTitle(display, children[index]) == title) {
            found = children[index];
        } else {
            found = findTitledWindow(display, children[index], title);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

// The share of a channel mask's range that a pixel value takes, as 0..255.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

void movePointerToCentre(const ProgramRun& run) {
    const int screen = DefaultScreen(run.display);
    XTestFakeMotionEvent(run.display, screen, DisplayWidth(run.display, screen) / 2,
                         DisplayHeight(run.display, screen) / 2, CurrentTime);
}

}  // namespace

bool waitForWindow(ProgramRun& run, const std::string& title, double timeoutSeconds) {
    if (run.display == nullptr) return false;
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (Clock::now() < deadline && programRunning(run)) {
        run.window = findTitledWindow(run.display, DefaultRootWindow(run.display), title);
        if (run.window != 0) return true;
        std::this_thread::sleep_for(pollInterval);
    }
    return false;
}

RgbImage grabScreen(const ProgramRun& run) {
    RgbImage image;
    if (run.display == nullptr) return image;
    const int screen = DefaultScreen(run.display);
    const int width = DisplayWidth(run.display, screen);
    const int height = DisplayHeight(run.display, screen);
    // The root window holds what is on screen, including the viewer's window, and is
    // always readable, even while the viewer's window is not yet mapped.
    XImage* xImage = XGetImage(run.display, DefaultRootWindow(run.display), 0, 0, width, height,
                               AllPlanes, ZPixmap);
    if (xImage == nullptr) return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    std::size_t offset = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(xImage, x, y);
            image.pixels[offset++] = channel(pixel, xImage->red_mask);
            image.pixels[offset++] = channel(pixel, xImage->green_mask);
            image.pixels[offset++] = channel(pixel, xImage->blue_mask);
        }
    }
    XDestroyImage(xImage);
    return image;
}

Rgb pixelAt(const RgbImage& image, int x, int y) {
    const std::size_t offset = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.pixels[offset], image.pixels[offset + 1], image.pixels[offset + 2]};
}

bool waitForFirstFrame(ProgramRun& run, double timeoutSeconds) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (Clock::now() < deadline && programRunning(run)) {
        const RgbImage screen = grabScreen(run);
        if (!screen.pixels.empty()) {
            const Rgb centre = pixelAt(screen, screen.width / 2, screen.height / 2);
            if (centre.red != 0 || centre.green != 0 || centre.blue != 0) return true;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    return false;
}

std::optional<RgbImage> waitForPictureChange(const ProgramRun& run, const RgbImage& before,
                                             double timeoutSeconds) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (Clock::now() < deadline) {
        RgbImage now = grabScreen(run);
        if (!now.pixels.empty() && now.pixels != before.pixels) return now;
        std::this_thread::sleep_for(pollInterval);
    }
    return std::nullopt;
}

std::optional<RgbImage> waitForStillPicture(const ProgramRun& run, double stillSeconds,
                                            double timeoutSeconds) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    RgbImage still = grabScreen(run);
    auto stillSince = Clock::now();
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(pollInterval);
        RgbImage now = grabScreen(run);
        if (now.pixels != still.pixels) {
            still = std::move(now);
            stillSince = Clock::now();
        } else if (Clock::now() - stillSince >= std::chrono::duration<double>(stillSeconds)) {
            return still;
        }
    }
    return std::nullopt;
}

void setKey(const ProgramRun& run, KeySym key, bool down) {
    movePointerToCentre(run);
    XTestFakeKeyEvent(run.display, XKeysymToKeycode(run.display, key), down ? True : False,
                      CurrentTime);
    XSync(run.display, False);
}

void tapKey(const ProgramRun& run, KeySym key) {
    setKey(run, key, true);
    setKey(run, key, false);
}

void turnWheel(const ProgramRun& run, int notches) {
    movePointerToCentre(run);
    const unsigned button = notches > 0 ? wheelAwayButton : wheelTowardsButton;
    for (int notch = 0; notch < (notches > 0 ? notches : -notches); ++notch) {
        XTestFakeButtonEvent(run.display, button, True, CurrentTime);
        XTestFakeButtonEvent(run.display, button, False, CurrentTime);
    }
    XSync(run.display, False);
}

void requestClose(const ProgramRun& run) {
    if (run.display == nullptr || run.window == 0) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = run.window;
    event.xclient.message_type = XInternAtom(run.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] =
        static_cast<long>(XInternAtom(run.display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(run.display, run.window, False, NoEventMask, &event);
    XSync(run.display, False);
}

#include "app/window.h"

// The loader's header comes before every other OpenGL header, as it requires.
#include <GL/glew.h>
#include <unistd.h>

#include <SFML/System/Err.hpp>
#include <SFML/Window/ContextSettings.hpp>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "render/render.h"

// After the windowing library's and the renderer's headers: Xlib defines macros such as
// None and Bool.
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const std::string windowTitle = "Quillmere";
// The class that desktops and tools match the window by, as the launcher's name and the title.
char className[] = "quillmere";
char classTitle[] = "Quillmere";

// The globe is drawn with the depth test, so the context needs a depth buffer: without
// one the far side shows through the near side.
constexpr int depthBits = 24;
constexpr int stencilBits = 0;
constexpr int antialiasingLevel = 4;
constexpr unsigned majorVersion = 2;
constexpr unsigned minorVersion = 0;

// What the window library says when it asks a server without RandR for the screen's mode, as
// it does when its first window object sets up the context all others share, and again when
// a window takes its context; the mode is of no use to the viewer's window, made already.
const std::string randrMissing =
    "Failed to use the XRandR extension while trying to get the desktop video modes";

// A visual short of a wish by one bit weighs as much as one beyond it by this many, so the
// nearest visual that has at least everything asked for wins: the window library's own
// choice, which the picture has always been drawn with.
constexpr int shortfallWeight = 100000;

// The size of the window --window asks for: the picture's own 16:9 at the size it was made for.
constexpr int normalWindowWidth = 1280;
constexpr int normalWindowHeight = 720;

// How long a window that no window manager stands between waits to be shown before it
// takes the focus; the map is then a single request away.
constexpr int mapWaitSteps = 500;
constexpr useconds_t mapWaitStepMicroseconds = 10'000;

// The old Motif hint that the window wants no decoration: the one borderless request that
// window managers without the fullscreen state also read.
constexpr long motifDecorationsFlag = 1L << 1;
constexpr int motifHintCount = 5;

// The viewer's window, for the error handler, which Xlib calls without any context.
unsigned long ownWindow = 0;
bool failed = false;

// Requests that name the viewer's window after another client destroyed it fail, on the
// viewer's connection or the window library's, until the run has ended as on a close
// request; anything else is named once and ends the run with status 1, where Xlib's own
// handler would dump the error and exit.
int onXError(Display* display, XErrorEvent* error) {
    if (ownWindow != 0 && error->resourceid == ownWindow) return 0;
    if (!failed) {
        char text[256] = "";
        XGetErrorText(display, error->error_code, text, sizeof text);
        std::cerr << "An X request failed (" << text << ", request "
                  << static_cast<int>(error->request_code) << ")." << std::endl;
        failed = true;
    }
    return 0;
}

// Nothing can be shown or closed once the server is gone; Xlib would print several lines and
// exit. The libraries' exit handlers would talk to the dead connection again, so none run.
int onXConnectionLost(Display* display) {
    std::cerr << "The connection to the X display \"" << DisplayString(display) << "\" was lost."
              << std::endl;
    _exit(1);
}

// Names the display Xlib tries, for the one line that says it failed.
std::string describeDisplay() {
    const char* name = std::getenv("DISPLAY");
    return name == nullptr ? std::string("DISPLAY is not set")
                           : "DISPLAY is \"" + std::string(name) + "\"";
}

// The bits each pixel of the screen's own depth takes: 32 for the usual depth 24, 16 on
// a 16-bit screen. Asking a 16-bit screen for 32 bits gets a visual of another depth,
// and the window made from it is refused.
int screenBitsPerPixel(Display* display) {
    const int depth = DefaultDepth(display, DefaultScreen(display));
    int bitsPerPixel = depth;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
    }
    if (formats != nullptr) XFree(formats);
    return bitsPerPixel;
}

int shortfallScore(int wanted, int offered) {
    const int difference = wanted - offered;
    return difference > 0 ? difference * shortfallWeight : -difference;
}

int glxValue(Display* display, XVisualInfo& visual, int attribute) {
    int value = 0;
    glXGetConfig(display, &visual, attribute, &value);
    return value;
}

// Among the screen's double-buffered RGBA OpenGL visuals (the globe's shading needs RGBA),
// the nearest to the screen's bits per pixel, the depth buffer and the samples per pixel
// wanted; the first of equals. Null when there is none.
std::optional<unsigned long> chooseVisual(Display* display, int wantedSamples) {
    const int bitsPerPixel = screenBitsPerPixel(display);
    XVisualInfo pattern{};
    pattern.screen = DefaultScreen(display);
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask, &pattern, &count);
    std::optional<unsigned long> best;
    int bestScore = 0;
    for (int i = 0; i < count; ++i) {
        XVisualInfo& visual = visuals[i];
        if (!glxValue(display, visual, GLX_USE_GL) || !glxValue(display, visual, GLX_RGBA) ||
            !glxValue(display, visual, GLX_DOUBLEBUFFER))
            continue;
        const int colourBits =
            glxValue(display, visual, GLX_RED_SIZE) + glxValue(display, visual, GLX_GREEN_SIZE) +
            glxValue(display, visual, GLX_BLUE_SIZE) + glxValue(display, visual, GLX_ALPHA_SIZE);
        const int samples = glxValue(display, visual, GLX_SAMPLE_BUFFERS)
                                ? glxValue(display, visual, GLX_SAMPLES)
                                : 0;
        const int score = shortfallScore(bitsPerPixel, colourBits) +
                          shortfallScore(depthBits, glxValue(display, visual, GLX_DEPTH_SIZE)) +
                          shortfallScore(stencilBits, glxValue(display, visual, GLX_STENCIL_SIZE)) +
                          shortfallScore(wantedSamples, samples);
        if (!best || score < bestScore) {
            best = visual.visualid;
            bestScore = score;
        }
    }
    if (visuals != nullptr) XFree(visuals);
    return best;
}

Atom atom(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

void setAtomList(Display* display, Window window, const char* property, const long* values,
                 int count, Atom type) {
    XChangeProperty(display, window, atom(display, property), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), count);
}

// A window manager that follows the desktop conventions names its check window on the root.
bool windowManagerRuns(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* value = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display),
                                          atom(display, "_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &value);
    if (value != nullptr) XFree(value);
    return status == Success && type == XA_WINDOW && count == 1;
}

// Title and class for people and tools; the process id always, so that a program's window
// can be found by its process under any desktop, with the machine it runs on, as Xlib's
// properties call add; over the screen, no decoration and the fullscreen state, read by the
// window manager when it first maps the window. A normal window leaves its place and frame
// to the window manager.
void describeWindow(Display* display, Window window, int width, int height, bool normal) {
    char* titleText = const_cast<char*>(windowTitle.c_str());
    XTextProperty title{};
    XStringListToTextProperty(&titleText, 1, &title);
    XSizeHints* size = XAllocSizeHints();
    size->flags = normal ? USSize : USPosition | USSize;
    size->width = width;
    size->height = height;
    XWMHints* hints = XAllocWMHints();
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XClassHint* windowClass = XAllocClassHint();
    windowClass->res_name = className;
    windowClass->res_class = classTitle;
    XSetWMProperties(display, window, &title, &title, nullptr, 0, size, hints, windowClass);
    XFree(windowClass);
    XFree(hints);
    XFree(size);
    XFree(title.value);

    XChangeProperty(display, window, atom(display, "_NET_WM_NAME"), atom(display, "UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(windowTitle.data()),
                    static_cast<int>(windowTitle.size()));
    const long processId = getpid();
    setAtomList(display, window, "_NET_WM_PID", &processId, 1, XA_CARDINAL);
    if (normal) return;
    const long motifHints[motifHintCount] = {motifDecorationsFlag, 0, 0, 0, 0};
    setAtomList(display, window, "_MOTIF_WM_HINTS", motifHints, motifHintCount,
                atom(display, "_MOTIF_WM_HINTS"));
    const long fullscreen = static_cast<long>(atom(display, "_NET_WM_STATE_FULLSCREEN"));
    setAtomList(display, window, "_NET_WM_STATE", &fullscreen, 1, XA_ATOM);
}

// The normal window's size: 1280 x 720, or the largest 16:9 a smaller screen holds.
void fitNormalWindow(int& width, int& height) {
    const int screenWidth = width, screenHeight = height;
    width = normalWindowWidth;
    height = normalWindowHeight;
    if (width > screenWidth) {
        width = screenWidth;
        height = screenWidth * normalWindowHeight / normalWindowWidth;
    }
    if (height > screenHeight) {
        height = screenHeight;
        width = screenHeight * normalWindowWidth / normalWindowHeight;
    }
}

// Borderless at the top left, at the screen's size, or a normal window of its own size, in
// the chosen visual.
Window createWindow(ViewerDisplay& viewer, bool normal) {
    Display* display = viewer.display;
    int width = DisplayWidth(display, DefaultScreen(display));
    int height = DisplayHeight(display, DefaultScreen(display));
    if (normal) fitNormalWindow(width, height);
    const Window window =
        createBlackWindow(viewer, DefaultRootWindow(display), viewer.visualId,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), false);
    describeWindow(display, window, width, height, normal);
    // A window the server refused is named by the error handler before anyone uses it.
    XSync(display, False);
    return window;
}

// With no window manager to give it, the window takes the focus once it shows, so that the
// keys reach it wherever the pointer rests. It is no grab: any other client may take it.
void takeFocusOnceShown(Display* display, Window window) {
    XEvent event;
    for (int step = 0; step < mapWaitSteps; ++step) {
        if (XCheckTypedWindowEvent(display, window, MapNotify, &event)) {
            XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
            XFlush(display);
            return;
        }
        usleep(mapWaitStepMicroseconds);
    }
}

// The window manager asks whether the viewer still answers before it offers to kill it.
void answerPing(Display* display, XEvent& ping) {
    const Window root = DefaultRootWindow(display);
    ping.xclient.window = root;
    XSendEvent(display, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &ping);
    XFlush(display);
}

// The window library's messages while they are held back, and where they go once passed on.
std::stringstream heldMessages;
std::streambuf* libraryErrorStream = nullptr;

void holdLibraryMessages() {
    if (libraryErrorStream == nullptr) libraryErrorStream = sf::err().rdbuf(heldMessages.rdbuf());
}

// Lets the library speak again, and passes the held messages on but the one about RandR, or
// drops them all when the start has failed with a line of the viewer's own that says why.
void releaseLibraryMessages(bool pass = true) {
    if (libraryErrorStream == nullptr) return;
    sf::err().rdbuf(libraryErrorStream);
    libraryErrorStream = nullptr;
    for (std::string line; pass && std::getline(heldMessages, line);) {
        if (line != randrMissing) sf::err() << line << std::endl;
    }
    heldMessages.str("");
    heldMessages.clear();
}

// A broken context answers with null, and the line that says why must still come out.
const char* openGlString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "unknown";
}

}  // namespace

// The connection stays open to the end: were it closed here, a server whose last client
// leaves would reset, and refuse the window library's connection meanwhile.
std::optional<ViewerDisplay> checkDisplay() {
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXConnectionLost);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::cerr << "Cannot open the X display (" << describeDisplay() << ")." << std::endl;
        return std::nullopt;
    }
    int errorBase = 0, eventBase = 0;
    const std::string name = DisplayString(display);
    std::optional<unsigned long> visualId;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) {
        std::cerr << "The X display \"" << name << "\" offers no OpenGL (no GLX extension)."
                  << std::endl;
    } else if (!(visualId = chooseVisual(display, antialiasingLevel))) {
        std::cerr << "The X display \"" << name
                  << "\" offers no double-buffered RGBA OpenGL visual (screen depth "
                  << DefaultDepth(display, DefaultScreen(display)) << ")." << std::endl;
    }
    if (!visualId) {
        XCloseDisplay(display);
        return std::nullopt;
    }
    ViewerDisplay viewer;
    viewer.display = display;
    viewer.visualId = *visualId;
    return viewer;
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

sf::Window makeWindowObject() {
    holdLibraryMessages();
    return sf::Window();
}

bool useViewerWindow(sf::Window& window, unsigned long handle, bool multisampled) {
    holdLibraryMessages();
    window.create(handle,
                  sf::ContextSettings(depthBits, stencilBits, multisampled ? antialiasingLevel : 0,
                                      majorVersion, minorVersion));
    // A driver too old for the viewer also falls short of the context asked for, which the
    // library says in lines of its own.
    const bool loaded = loadOpenGl();
    releaseLibraryMessages(loaded);
    if (!loaded) return false;
    // The first globe frame may be seconds away on a software renderer.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    window.display();
    fitViewport(window.getSize().x, window.getSize().y);
    return true;
}

bool openViewer(sf::Window& window, ViewerDisplay& viewer, bool normalWindow) {
    const bool managed = windowManagerRuns(viewer.display);
    viewer.window = createWindow(viewer, normalWindow);
    if (failed) return false;
    ownWindow = viewer.window;
    // The window library shows the window as it takes it.
    if (!useViewerWindow(window, viewer.window)) return false;
    if (!managed) takeFocusOnceShown(viewer.display, viewer.window);
    return true;
}

unsigned long chooseSinglySampledVisual(const ViewerDisplay& viewer) {
    return chooseVisual(viewer.display, 0).value_or(viewer.visualId);
}

unsigned long createBlackWindow(ViewerDisplay& viewer, unsigned long parent, unsigned long visualId,
                                unsigned width, unsigned height, bool overrideRedirect) {
    Display* display = viewer.display;
    XVisualInfo pattern{};
    pattern.visualid = visualId;
    int count = 0;
    XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &pattern, &count);
    viewer.colormap =
        XCreateColormap(display, RootWindow(display, visual->screen), visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    attributes.colormap = viewer.colormap;
    attributes.event_mask = StructureNotifyMask;
    attributes.override_redirect = overrideRedirect;
    const Window window = XCreateWindow(
        display, parent, 0, 0, width, height, 0, visual->depth, InputOutput, visual->visual,
        CWBackPixel | CWBorderPixel | CWColormap | CWEventMask | CWOverrideRedirect, &attributes);
    XFree(visual);
    return window;
}

void adoptViewerWindow(ViewerDisplay& viewer, unsigned long window) {
    viewer.window = ownWindow = window;
}

bool viewerCloseRequested(ViewerDisplay& viewer) {
    bool requested = viewer.window == 0;
    XEvent event;
    while (!requested && XPending(viewer.display) > 0) {
        XNextEvent(viewer.display, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == viewer.window) {
            viewer.window = 0;
            requested = true;
        } else if (event.type == ClientMessage &&
                   event.xclient.message_type == atom(viewer.display, "WM_PROTOCOLS")) {
            const Atom protocol = static_cast<Atom>(event.xclient.data.l[0]);
            requested = protocol == atom(viewer.display, "WM_DELETE_WINDOW");
            if (protocol == atom(viewer.display, "_NET_WM_PING")) answerPing(viewer.display, event);
        }
    }
    return requested;
}

bool displayFailed() {
    return failed;
}

void closeDisplay(ViewerDisplay& viewer) {
    releaseLibraryMessages();
    if (viewer.display == nullptr) return;
    if (viewer.window != 0) XDestroyWindow(viewer.display, viewer.window);
    if (viewer.colormap != 0) XFreeColormap(viewer.display, viewer.colormap);
    XCloseDisplay(viewer.display);
    viewer = ViewerDisplay{};
}

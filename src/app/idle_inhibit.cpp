#include "app/idle_inhibit.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <systemd/sd-bus.h>

namespace {

constexpr const char* applicationName = "Quillmere";
constexpr const char* inhibitReason = "Showing the globe";

constexpr const char* idleService = "org.freedesktop.ScreenSaver";
constexpr const char* idleObject = "/org/freedesktop/ScreenSaver";

// A service that does not answer by then is treated as absent: start-up and shutdown must
// not hang on a stuck desktop.
constexpr std::uint64_t callTimeoutMicroseconds = 500'000;

// The suspend request came with version 1.1 of the extension; an older server would answer
// it with an error, which Xlib's default handler turns into an exit.
Display* suspendServerSaver() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
        !XScreenSaverQueryVersion(display, &major, &minor) || major < 1 ||
        (major == 1 && minor < 1)) {
        XCloseDisplay(display);
        return nullptr;
    }
    XScreenSaverSuspend(display, True);
    XFlush(display);
    return display;
}

// Without auto-start: a screensaver that is not running is nothing to hold off, and
// starting one would leave it behind to blank the screen after the viewer ends. Null when
// the message cannot be made.
sd_bus_message* newIdleServiceCall(sd_bus* bus, const char* method) {
    sd_bus_message* call = nullptr;
    const int made =
        sd_bus_message_new_method_call(bus, &call, idleService, idleObject, idleService, method);
    if (made < 0) return nullptr;
    sd_bus_message_set_auto_start(call, 0);
    return call;
}

// Keeps the connection and the cookie in `inhibition` only when the service said yes.
void inhibitSessionIdle(IdleInhibition& inhibition) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return;
    sd_bus_message* call = newIdleServiceCall(bus, "Inhibit");
    sd_bus_message* reply = nullptr;
    std::uint32_t cookie = 0;
    const bool inhibited = call != nullptr &&
                           sd_bus_message_append(call, "ss", applicationName, inhibitReason) >= 0 &&
                           sd_bus_call(bus, call, callTimeoutMicroseconds, nullptr, &reply) >= 0 &&
                           sd_bus_message_read(reply, "u", &cookie) >= 0;
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    if (!inhibited) {
        sd_bus_flush_close_unref(bus);
        return;
    }
    inhibition.sessionBus = bus;
    inhibition.cookie = cookie;
}

void uninhibitSessionIdle(sd_bus* bus, std::uint32_t cookie) {
    sd_bus_message* call = newIdleServiceCall(bus, "UnInhibit");
    // Nothing is left to try when this fails; the connection closes right after.
    if (call != nullptr && sd_bus_message_append(call, "u", cookie) >= 0)
        (void)sd_bus_call(bus, call, callTimeoutMicroseconds, nullptr, nullptr);
    sd_bus_message_unref(call);
}

}  // namespace

IdleInhibition inhibitIdle() {
    IdleInhibition inhibition;
    inhibition.display = suspendServerSaver();
    inhibitSessionIdle(inhibition);
    return inhibition;
}

void releaseIdle(IdleInhibition& inhibition) {
    if (inhibition.sessionBus != nullptr) {
        uninhibitSessionIdle(inhibition.sessionBus, inhibition.cookie);
        sd_bus_flush_close_unref(inhibition.sessionBus);
        inhibition.sessionBus = nullptr;
    }
    if (inhibition.display != nullptr) {
        XCloseDisplay(inhibition.display);
        inhibition.display = nullptr;
    }
}

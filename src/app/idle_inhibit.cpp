#include "app/idle_inhibit.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <pthread.h>
#include <systemd/sd-bus.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <future>
#include <system_error>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* applicationName = "Quillmere";
constexpr const char* inhibitReason = "Showing the globe";

// GNOME's session manager keeps apart what an inhibition holds off; this one is the idle
// state that blanks and locks the screen, not logging out, switching users or suspending.
constexpr std::uint32_t inhibitIdleFlag = 8;

// A desktop's idle service. Xscreensaver, KDE and others answer on the first; GNOME, MATE
// and Cinnamon look only at their session manager; Xfce's power manager at the last.
struct IdleService {
    const char* name;
    const char* object;
    const char* interface;
    const char* releaseMethod;
    // The session manager's Inhibit also takes the window and what to hold off.
    bool sessionManager;
};
constexpr std::array<IdleService, 3> idleServices{{
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
     "UnInhibit", false},
    {"org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
     "Uninhibit", true},
    {"org.freedesktop.PowerManagement", "/org/freedesktop/PowerManagement/Inhibit",
     "org.freedesktop.PowerManagement.Inhibit", "UnInhibit", false},
}};

// Nothing waits for the inhibitions, so a desktop still busy with its own start-up may take
// as long as any D-Bus call may; at shutdown an answer still on its way gets only the
// release's short timeout.
constexpr std::chrono::seconds inhibitTimeout{25};
// A service that does not answer by then is treated as gone: shutdown must not hang on a
// stuck desktop.
constexpr std::chrono::milliseconds releaseTimeout{500};
// While answers are awaited, how often the worker looks whether shutdown has begun.
constexpr std::chrono::milliseconds releaseCheckInterval{50};

// One call to a service, from the worker's stack; its answer is filled in by processing
// the bus, and `slot` cancels the call should it still be on its way at the end.
struct ServiceCall {
    sd_bus_slot* slot = nullptr;
    bool answered = true;
    // For an Inhibit: whether the service said yes, and the cookie it handed out.
    bool granted = false;
    std::uint32_t cookie = 0;
};
using ServiceCalls = std::array<ServiceCall, idleServices.size()>;

// The suspend request came with version 1.1 of the extension; an older server would answer
// it with an error. False when the server cannot suspend its saver.
bool suspendServerSaver(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
        !XScreenSaverQueryVersion(display, &major, &minor) || major < 1 ||
        (major == 1 && minor < 1)) {
        return false;
    }
    XScreenSaverSuspend(display, True);
    // Suspending stops the countdown but leaves a saver that already runs running.
    XResetScreenSaver(display);
    XFlush(display);
    return true;
}

std::uint64_t microseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
}

int noteInhibitAnswer(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    ServiceCall& call = *static_cast<ServiceCall*>(userdata);
    call.answered = true;
    // A call that timed out or found no service comes back as an error.
    call.granted = !sd_bus_message_is_method_error(reply, nullptr) &&
                   sd_bus_message_read(reply, "u", &call.cookie) >= 0;
    return 0;
}

int noteReleaseAnswer(sd_bus_message*, void* userdata, sd_bus_error*) {
    static_cast<ServiceCall*>(userdata)->answered = true;
    return 0;
}

// Without auto-start: a service that is not running holds nothing to hold off, and
// starting one would leave it behind after the viewer ends. Null when it cannot be made.
sd_bus_message* newServiceCall(sd_bus* bus, const IdleService& service, const char* method) {
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_method_call(bus, &message, service.name, service.object,
                                       service.interface, method) < 0)
        return nullptr;
    sd_bus_message_set_auto_start(message, 0);
    return message;
}

// Leaves `call` answered, and so not waited for, when the message cannot be sent.
void sendCall(sd_bus* bus, sd_bus_message* message, bool complete, ServiceCall& call,
              sd_bus_message_handler_t noteAnswer, Clock::duration timeout) {
    call.answered =
        message == nullptr || !complete ||
        sd_bus_call_async(bus, &call.slot, message, noteAnswer, &call, microseconds(timeout)) < 0;
    sd_bus_message_unref(message);
}

void sendInhibit(sd_bus* bus, const IdleService& service, std::uint32_t toplevel,
                 ServiceCall& call) {
    sd_bus_message* message = newServiceCall(bus, service, "Inhibit");
    const bool complete =
        message != nullptr &&
        (service.sessionManager
             ? sd_bus_message_append(message, "susu", applicationName, toplevel, inhibitReason,
                                     inhibitIdleFlag)
             : sd_bus_message_append(message, "ss", applicationName, inhibitReason)) >= 0;
    sendCall(bus, message, complete, call, noteInhibitAnswer, inhibitTimeout);
}

void sendRelease(sd_bus* bus, const IdleService& service, std::uint32_t cookie, ServiceCall& call) {
    sd_bus_message* message = newServiceCall(bus, service, service.releaseMethod);
    const bool complete = message != nullptr && sd_bus_message_append(message, "u", cookie) >= 0;
    sendCall(bus, message, complete, call, noteReleaseAnswer, releaseTimeout);
}

bool allAnswered(const ServiceCalls& calls) {
    for (const ServiceCall& call : calls)
        if (!call.answered) return false;
    return true;
}

// Answers arrive only while the bus is processed. Returns once every call has its answer,
// at the deadline, or false when the connection is lost.
bool serveUntilAnswered(sd_bus* bus, const ServiceCalls& calls, Clock::time_point deadline) {
    for (;;) {
        int processed = 0;
        while ((processed = sd_bus_process(bus, nullptr)) > 0) {
        }
        if (processed < 0) return false;
        const Clock::time_point now = Clock::now();
        if (allAnswered(calls) || now >= deadline) return true;
        const int waited = sd_bus_wait(bus, microseconds(deadline - now));
        if (waited < 0 && waited != -EINTR) return false;
    }
}

// The worker: asks every service at once, holds what they grant until `released` is
// ready, then hands it back. Every wait here is bounded, so the join at shutdown is too.
void holdSessionIdle(std::uint32_t toplevel, std::future<void> released) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return;
    ServiceCalls inhibits{};
    for (std::size_t i = 0; i < idleServices.size(); ++i)
        sendInhibit(bus, idleServices[i], toplevel, inhibits[i]);

    const auto shutdownBegun = [&released] {
        return released.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    };
    bool connected = true;
    while (connected && !allAnswered(inhibits) && !shutdownBegun())
        connected = serveUntilAnswered(bus, inhibits, Clock::now() + releaseCheckInterval);
    released.wait();
    // A release must name the cookie its Inhibit brought, so an answer still on its way is
    // awaited a little; one later than that is dropped by the service when the connection
    // closes, as every one of them watches its callers.
    if (connected) connected = serveUntilAnswered(bus, inhibits, Clock::now() + releaseTimeout);

    ServiceCalls releases{};
    if (connected) {
        for (std::size_t i = 0; i < idleServices.size(); ++i) {
            if (inhibits[i].granted)
                sendRelease(bus, idleServices[i], inhibits[i].cookie, releases[i]);
        }
        serveUntilAnswered(bus, releases, Clock::now() + releaseTimeout);
    }
    for (std::size_t i = 0; i < idleServices.size(); ++i) {
        sd_bus_slot_unref(inhibits[i].slot);
        sd_bus_slot_unref(releases[i].slot);
    }
    // Without a flush, which could wait without bound on a bus that stopped reading.
    sd_bus_close_unref(bus);
}

}  // namespace

IdleInhibition inhibitIdle(_XDisplay* display, std::uint32_t toplevel) {
    IdleInhibition inhibition;
    if (suspendServerSaver(display)) inhibition.display = display;
    // The worker takes no signals: a terminating one must reach the frame loop's flag, and
    // its waits need not deal with interruptions. It inherits the mask it is started with.
    sigset_t allSignals, previousMask;
    sigfillset(&allSignals);
    pthread_sigmask(SIG_BLOCK, &allSignals, &previousMask);
    try {
        inhibition.sessionWorker =
            std::thread(holdSessionIdle, toplevel, inhibition.releaseRequest.get_future());
    } catch (const std::system_error&) {
        // No thread to spare: the session's services are left out.
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return inhibition;
}

void releaseIdle(IdleInhibition& inhibition) {
    if (inhibition.sessionWorker.joinable()) {
        inhibition.releaseRequest.set_value();
        inhibition.sessionWorker.join();
    }
    if (inhibition.display != nullptr) {
        XScreenSaverSuspend(inhibition.display, False);
        XFlush(inhibition.display);
        inhibition.display = nullptr;
    }
}

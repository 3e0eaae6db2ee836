#pragma once

#include <cstdint>
#include <future>
#include <thread>

// Xlib's connection; declared here so that the entry point does not take in Xlib's macros.
struct _XDisplay;

// What keeps the screen awake while the viewer's window is open: nobody types at the
// viewer, so the desktop would otherwise take its stillness for an empty seat.
struct IdleInhibition {
    // The connection that asked the X server to suspend its saver and power saving, until
    // it asks again or closes; null when the server cannot suspend them.
    _XDisplay* display = nullptr;
    // The desktop's idle services are asked on a thread of their own, with a session bus
    // connection of its own, so that a service that does not answer never holds up the
    // globe. Setting the promise tells that thread to hand back what it holds.
    std::promise<void> releaseRequest;
    std::thread sessionWorker;
};

// Asks the X server, at once on the viewer's connection `display`, and the desktop's idle
// services, in the background, not to blank, lock or power down the screen; `toplevel` is
// the window's X id, which some services tie the inhibition to. Any of them may be absent (no
// extension, no session bus, no service): that part is left out silently.
IdleInhibition inhibitIdle(_XDisplay* display, std::uint32_t toplevel);

// Hands back what inhibitIdle() obtained, waiting for an answer still on its way, and
// closes the session bus connection. A service that does not answer costs at most a short timeout.
void releaseIdle(IdleInhibition& inhibition);

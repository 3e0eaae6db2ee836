#pragma once

#include <cstdint>

// The connections are those of Xlib and sd-bus; declared here so that the entry point does
// not take in Xlib's macros.
struct _XDisplay;
struct sd_bus;

// What keeps the screen awake while the viewer's window is open: nobody types at the
// viewer, so the desktop would otherwise take its stillness for an empty seat.
struct IdleInhibition {
    // The connection that asked the X server to suspend its saver and power saving; the
    // suspension lasts as long as this connection does.
    _XDisplay* display = nullptr;
    // The session bus connection whose idle service holds `cookie`; some services drop an
    // inhibition as soon as the connection that asked for it goes away.
    sd_bus* sessionBus = nullptr;
    std::uint32_t cookie = 0;
};

// Asks the X server and the session's idle service not to blank, lock or power down the
// screen. Either may be absent (no extension, no session bus, no service): that part is
// left out silently, and nothing waits longer than a short call timeout.
IdleInhibition inhibitIdle();

// Hands back what inhibitIdle() obtained and closes its connections.
void releaseIdle(IdleInhibition& inhibition);

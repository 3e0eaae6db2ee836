#include "app/termination.h"

#include <atomic>
#include <csignal>

namespace {

constexpr int terminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signal may arrive on the audio library's streaming thread, so the flag is an
// atomic that works without locks, which a signal handler may touch.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void noteTermination(int) {
    requested.store(true);
}

bool startedIgnoring(int signalNumber) {
    struct sigaction current {};
    return sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void installTerminationHandlers() {
    struct sigaction action {};
    action.sa_handler = noteTermination;
    sigemptyset(&action.sa_mask);
    // Restarting keeps interrupted reads of the libraries going; resetting after the
    // first signal lets a second one end a shutdown that does not finish.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signalNumber : terminatingSignals) {
        if (!startedIgnoring(signalNumber)) sigaction(signalNumber, &action, nullptr);
    }
}

bool terminationRequested() {
    return requested.load();
}

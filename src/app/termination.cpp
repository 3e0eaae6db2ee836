#include "app/termination.h"

#include <atomic>
#include <csignal>

namespace {

constexpr int terminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signal may arrive on the audio library's streaming thread, so it is kept in an
// atomic that works without locks, which a signal handler may touch. Zero until one comes.
std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

void noteTermination(int signalNumber) {
    requested.store(signalNumber);
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
    return requested.load() != 0;
}

void endAsTerminated() {
    const int signalNumber = requested.load();
    if (signalNumber == 0) return;
    std::signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signalNumber);
}

void endAtOnceOnTermination() {
    for (const int signalNumber : terminatingSignals) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) == 0 &&
            current.sa_handler == noteTermination)
            std::signal(signalNumber, SIG_DFL);
    }
    endAsTerminated();
}

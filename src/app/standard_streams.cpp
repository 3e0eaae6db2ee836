#include "app/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int lastStandardStream = STDERR_FILENO;
constexpr const char* nullDevice = "/dev/null";

bool isClosed(int descriptor) {
    return fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

}  // namespace

void openClosedStandardStreams() {
    for (int descriptor = STDIN_FILENO; descriptor <= lastStandardStream; ++descriptor) {
        if (!isClosed(descriptor)) continue;
        const int opened = open(nullDevice, descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        // The lowest free number is normally the closed one itself.
        if (opened >= 0 && opened != descriptor) {
            dup2(opened, descriptor);
            close(opened);
        }
    }
}

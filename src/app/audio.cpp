#include "app/audio.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The OpenAL library the audio library itself plays through; asked directly, since
// the audio library has no way to say whether a device could be opened.
constexpr const char* openAlLibrary = "libopenal.so.1";

using OpenDevice = void* (*)(const char* deviceName);
using CloseDevice = char (*)(void* device);

// Sound libraries describe a missing device at length on standard error; the probe
// keeps that quiet and the caller reports the outcome in one line of its own.
int silenceStandardError() {
    const int saved = dup(STDERR_FILENO);
    const int nullDevice = open("/dev/null", O_WRONLY);
    if (nullDevice >= 0) {
        dup2(nullDevice, STDERR_FILENO);
        close(nullDevice);
    }
    return saved;
}

void restoreStandardError(int saved) {
    if (saved < 0) return;
    dup2(saved, STDERR_FILENO);
    close(saved);
}

bool canOpenDevice(void* library) {
    const auto openDevice = reinterpret_cast<OpenDevice>(dlsym(library, "alcOpenDevice"));
    const auto closeDevice = reinterpret_cast<CloseDevice>(dlsym(library, "alcCloseDevice"));
    if (openDevice == nullptr || closeDevice == nullptr) return false;
    void* device = openDevice(nullptr);
    if (device == nullptr) return false;
    closeDevice(device);
    return true;
}

}  // namespace

bool audioOutputAvailable() {
    void* library = dlopen(openAlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    const int savedStandardError = silenceStandardError();
    const bool available = canOpenDevice(library);
    restoreStandardError(savedStandardError);
    dlclose(library);
    return available;
}

#include "app/startup.h"

#include <iostream>
#include <system_error>

#include "globe/globe.h"

namespace {

// The window opens on the calling thread while the globe is built. Opening it is a chain of
// round trips to the display server; were every core busy with the globe, each would wait
// for a time slice, and the window would open later by about what the overlap saves.
constexpr unsigned coresForTheWindow = 1;

}  // namespace

bool checkProcessor() {
    if (globeArithmeticAvailable()) return true;
    std::cerr << globeArithmeticMissing << std::endl;
    return false;
}

Globe buildGlobe() {
    Globe globe;
    generateSphere(globe.indices, globe.positions);
    applyFaults(globe.positions);
    return globe;
}

GlobeBuild startBuildingGlobe() {
    GlobeBuild build;
    build.stop = std::make_shared<std::atomic<bool>>(false);
    const auto work = [stop = build.stop, directions = randomDirections()] {
        Globe globe;
        generateSphere(globe.indices, globe.positions);
        applyCuts(globe.positions, directions, coresForTheWindow, stop.get());
        return globe;
    };
    try {
        build.globe = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        build.globe = std::async(std::launch::deferred, work);
    }
    return build;
}

void abandonGlobe(GlobeBuild& build) {
    build.stop->store(true, std::memory_order_relaxed);
    // Letting go of the worker's future waits for it; a deferred build never starts.
    build.globe = std::shared_future<Globe>();
}

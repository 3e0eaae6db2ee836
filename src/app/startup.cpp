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

void buildGlobe(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions) {
    generateSphere(indices, positions);
    applyFaults(positions);
}

std::future<void> startBuildingGlobe(std::vector<std::uint32_t>& indices,
                                     std::vector<glm::vec3>& positions) {
    const auto build = [&indices, &positions, directions = randomDirections()] {
        generateSphere(indices, positions);
        applyCuts(positions, directions, coresForTheWindow);
    };
    try {
        return std::async(std::launch::async, build);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, build);
    }
}

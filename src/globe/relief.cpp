#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include "globe/environment.h"
#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

// The relief's entry points, and the threads that share the cuts out. Each computes in the
// globe's environment, whatever the caller's, so that a seed gives the same bytes everywhere.

namespace {

glm::vec3 drawDirection() {
    const int firstDraw = std::rand();  // drawn first: the order of arguments is not fixed
    return directionFromDraws(firstDraw, std::rand());
}

}  // namespace

glm::vec3 unitVectorFromDraws(int firstDraw, int secondDraw) {
    return inGlobeEnvironment([&] { return directionFromDraws(firstDraw, secondDraw); });
}

std::vector<glm::vec3> randomDirections() {
    return inGlobeEnvironment([] {
        std::vector<glm::vec3> directions(faultCount);
        for (glm::vec3& direction : directions) direction = drawDirection();
        return directions;
    });
}

void applyCuts(std::vector<glm::vec3>& positions, const std::vector<glm::vec3>& directions,
               unsigned sparedCores, const std::atomic<bool>* stop) {
    // Each position meets the cuts on its own, so shares of whole blocks run side by side.
    const BlockKernel avx2 = avx2Kernel();
    const BlockKernel kernel = avx2 ? avx2 : runBlockPortably;
    const std::size_t count = positions.size();
    const unsigned cores = std::thread::hardware_concurrency();
    const std::size_t threads = std::clamp(cores > sparedCores ? cores - sparedCores : 1u, 1u, 64u);
    const std::size_t shareSize = (count / blockSize / threads + 1) * blockSize;
    // A new thread starts in its creator's environment, so each share sets the globe's own.
    const auto runShare = [&](std::size_t start) {
        inGlobeEnvironment([&] {
            applyCutsInBlocks(kernel, positions.data() + start, std::min(shareSize, count - start),
                              directions.data(), directions.size(), stop);
        });
    };
    std::vector<std::thread> helpers;
    for (std::size_t start = shareSize; start < count; start += shareSize) {
        try {
            helpers.emplace_back(runShare, start);
        } catch (const std::system_error&) {
            runShare(start);  // no thread to be had: the share is done here, to the same bytes
        }
    }
    runShare(0);
    for (std::thread& helper : helpers) helper.join();
}

void applyFaults(std::vector<glm::vec3>& positions) {
    // Nothing else draws while the cuts run, so drawing every direction up front takes the
    // same numbers in the same order as drawing one at the start of each cut.
    applyCuts(positions, randomDirections());
}

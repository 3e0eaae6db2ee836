#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "globe/globe.h"
#include "globe/relief_kernels.h"

namespace {

// Below this many positions a thread costs more than it saves.
constexpr std::size_t smallestShare = 4096;

using FaultKernel = void (*)(glm::vec3*, std::size_t, const glm::vec3*, std::size_t);

}  // namespace

glm::vec3 unitVectorFromDraws(int firstDraw, int secondDraw) {
    // 2 pi rounded to a float, read as that float.
    constexpr float fullTurn = 6.2831855f;
    const float u = static_cast<float>(firstDraw / static_cast<double>(RAND_MAX));
    const float z = static_cast<float>(2.0 * u - 1.0);
    const float v = static_cast<float>(secondDraw / static_cast<double>(RAND_MAX));
    const float theta = static_cast<float>(static_cast<double>(fullTurn) * v);
    const float w = static_cast<float>(1.0 - static_cast<double>(z) * z);
    const float r = static_cast<float>(std::sqrt(static_cast<double>(w)));
    const float cosine = static_cast<float>(std::cos(static_cast<double>(theta)));
    const float sine = static_cast<float>(std::sin(static_cast<double>(theta)));
    return {cosine * r, sine * r, z};
}

glm::vec3 randomUnitVector() {
    const int firstDraw = std::rand();
    const int secondDraw = std::rand();
    return unitVectorFromDraws(firstDraw, secondDraw);
}

void applyFaults(std::vector<glm::vec3>& positions) {
    // Nothing else draws while the passes run, so drawing every direction up front takes
    // the same numbers in the same order as drawing one at the start of each pass.
    std::vector<glm::vec3> directions(faultCount);
    for (glm::vec3& d : directions) d = randomUnitVector();

    // Each position meets the passes on its own, so the list splits into independent
    // shares that may run side by side.
    const FaultKernel kernel = avx2Available() ? applyFaultsAvx2 : applyFaultsPortable;
    const std::size_t count = positions.size();
    const std::size_t threadCount = std::clamp<std::size_t>(
        std::min<std::size_t>(std::thread::hardware_concurrency(), count / smallestShare), 1, 64);
    const std::size_t blocks = (count + faultBlockSize - 1) / faultBlockSize;
    const std::size_t shareSize = (blocks + threadCount - 1) / threadCount * faultBlockSize;

    std::vector<std::thread> helpers;
    for (std::size_t start = shareSize; start < count; start += shareSize) {
        const std::size_t size = std::min(shareSize, count - start);
        try {
            helpers.emplace_back(kernel, positions.data() + start, size, directions.data(),
                                 directions.size());
        } catch (const std::system_error&) {
            // No thread to be had: the share is done here instead, to the same bytes.
            kernel(positions.data() + start, size, directions.data(), directions.size());
        }
    }
    kernel(positions.data(), std::min(shareSize, count), directions.data(), directions.size());
    for (std::thread& helper : helpers) helper.join();
}

// Times the globe build: the sphere grid, the plain relief loop and the shipped relief,
// side by side on the same seed, and checks the two reliefs agree byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "globe/globe.h"
#include "plain_relief.h"

namespace {

constexpr unsigned benchSeed = 20240607;
constexpr int plainRuns = 5;
constexpr int shippedRuns = 11;
constexpr int gridRuns = 11;

template <typename Work>
double milliseconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

double median(std::vector<double> times) {
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    std::vector<glm::vec3> sphere;
    std::vector<std::uint32_t> indices;
    std::vector<double> gridTimes;
    for (int run = 0; run < gridRuns; ++run) {
        sphere.clear();
        indices.clear();
        gridTimes.push_back(milliseconds([&] { generateSphere(indices, sphere); }));
    }

    // The two reliefs take turns, so that whatever else the machine is doing weighs on both.
    std::vector<glm::vec3> plain, shipped;
    std::vector<double> plainTimes, shippedTimes;
    for (int run = 0; run < shippedRuns; ++run) {
        shipped = sphere;
        std::srand(benchSeed);
        shippedTimes.push_back(milliseconds([&] { applyFaults(shipped); }));
        if (run % 2 == 0 && static_cast<int>(plainTimes.size()) < plainRuns) {
            plain = sphere;
            std::srand(benchSeed);
            plainTimes.push_back(milliseconds([&] { plainApplyFaults(plain); }));
        }
    }
    const double gridTime = median(gridTimes);
    const double plainTime = median(plainTimes);
    const double shippedTime = median(shippedTimes);
    const bool same =
        plain.size() == shipped.size() &&
        std::memcmp(plain.data(), shipped.data(), plain.size() * sizeof(glm::vec3)) == 0;

    std::printf("sphere grid (%d x %d):     %8.1f ms median of %d\n", gridSize, gridSize, gridTime,
                gridRuns);
    std::printf("relief, plain loop:         %8.1f ms median of %d\n", plainTime, plainRuns);
    std::printf("relief, shipped:            %8.1f ms median of %d\n", shippedTime, shippedRuns);
    std::printf("speed-up:                   %8.1f x\n", plainTime / shippedTime);
    std::printf("bytes (seed %u):      %s\n", benchSeed, same ? "identical" : "DIFFERENT");
    return same ? 0 : 1;
}

// Times the globe build: the sphere grid, the plain relief loop and the shipped relief,
// side by side on the same seed, and checks the two reliefs agree byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "globe.h"
#include "plain_relief.h"

namespace {

constexpr unsigned benchSeed = 20240607;
constexpr int plainRuns = 5;
constexpr int shippedRuns = 11;
constexpr int gridRuns = 11;

template <typename Work>
double medianMilliseconds(int runs, Work work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

}  // namespace

int main() {
    std::vector<glm::vec3> sphere;
    std::vector<std::uint32_t> indices;
    const double gridTime = medianMilliseconds(gridRuns, [&] {
        sphere.clear();
        indices.clear();
        generateSphere(indices, sphere);
    });

    std::vector<glm::vec3> plain;
    const double plainTime = medianMilliseconds(plainRuns, [&] {
        plain = sphere;
        std::srand(benchSeed);
        plainApplyFaults(plain);
    });
    std::vector<glm::vec3> shipped;
    const double shippedTime = medianMilliseconds(shippedRuns, [&] {
        shipped = sphere;
        std::srand(benchSeed);
        applyFaults(shipped);
    });
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

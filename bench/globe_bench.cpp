// Times the globe build: the sphere grid, then the relief three ways on the same seed (the
// rule as written, the portable kernel on one core, the shipped relief on every core), and
// checks that all three give the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "globe/environment.h"
#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

namespace {

constexpr unsigned benchSeed = 20240607;
constexpr int rounds = 5;
constexpr int shippedPerRound = 3;
constexpr int gridRuns = 11;

template <typename Work>
double milliseconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
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

    std::srand(benchSeed);
    const std::vector<glm::vec3> directions = randomDirections();

    // The three take turns, so that whatever else the machine is doing weighs on all of them.
    std::vector<glm::vec3> plain, portable, shipped;
    std::vector<double> plainTimes, portableTimes, shippedTimes;
    for (int round = 0; round < rounds; ++round) {
        plain = sphere;
        // In the globe's own environment, as the shipped relief computes whatever the caller set.
        plainTimes.push_back(milliseconds([&] {
            inGlobeEnvironment([&] {
                applyCutsInOrder(plain.data(), plain.size(), directions.data(), directions.size());
            });
        }));
        portable = sphere;
        portableTimes.push_back(milliseconds([&] {
            inGlobeEnvironment([&] {
                applyCutsInBlocks(runBlockPortably, portable.data(), portable.size(),
                                  directions.data(), directions.size());
            });
        }));
        for (int run = 0; run < shippedPerRound; ++run) {
            shipped = sphere;
            std::srand(benchSeed);
            shippedTimes.push_back(milliseconds([&] { applyFaults(shipped); }));
        }
    }
    const double plainTime = median(plainTimes);
    const bool same = sameBytes(plain, portable) && sameBytes(plain, shipped);

    const auto row = [&](const char* name, const std::vector<double>& times) {
        std::printf("%-36s%8.1f ms  median of %2zu %6.1f x\n", name, median(times), times.size(),
                    plainTime / median(times));
    };
    std::printf("%-36s%s\n", "processor:", processorName().c_str());
    std::printf("%-36s%8.1f ms  median of %2d\n", "sphere grid:", median(gridTimes), gridRuns);
    row("relief, plain loop (one core):", plainTimes);
    row("relief, portable (one core):", portableTimes);
    row(avx2Kernel() ? "relief, shipped (AVX2, all cores):" : "relief, shipped (all cores):",
        shippedTimes);
    std::printf("%-36s%s (seed %u)\n", "bytes:", same ? "identical" : "DIFFERENT", benchSeed);
    return same ? 0 : 1;
}

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <glm/geometric.hpp>
#include <system_error>
#include <thread>

#include "globe/relief_kernels.h"

// Every float and double step must round as written, or a globe differs between processors.
#if FLT_EVAL_METHOD != 0
#error "The globe needs arithmetic without excess precision (on 32-bit x86: -msse2 -mfpmath=sse)."
#endif

namespace {

// A float sum of a cut's products is off the exact one by at most 3 * 2^-24 of S = sum |p_i d_i|
// <= |p| |d|; summing a pass ahead of a scaling adds its rounding (2^-24 of S), and the rule's
// double sum 2 * 2^-53 of S. Five float units cover these and the bound's own roundings.
constexpr double sideErrorPerLength = 5 * 0x1p-24;
// Products among the denormals lose up to 2^-150 each whatever the lengths are. Beyond
// this floor a trusted sign also means the rule's sum does not round to a zero float.
constexpr double sideErrorFloor = 0x1p-140;
// A pass scales a coordinate by faultScale one way or the other, plus one rounding.
constexpr double growthPerPass = static_cast<double>(faultScale) * (1 + 0x1p-23);
// How far coordinates may drift over all passes; the admitted range allows for it.
constexpr float largestDrift = 4;

bool admitted(float coordinate) {  // written so that NaN and infinity fail
    const float size = std::fabs(coordinate);
    return size == 0 || (size >= divisionFreeSmallest * largestDrift &&
                         size <= divisionFreeLargest / largestDrift);
}

// The bound for one block, rounded up to a float; zero when a coordinate is not admitted.
float sideErrorBound(const glm::vec3* block, double growthTimesDirection) {
    double largestLength = 0;
    for (const glm::vec3* p = block; p != block + faultBlockSize; ++p) {
        if (!admitted(p->x) || !admitted(p->y) || !admitted(p->z)) return 0;
        largestLength = std::fmax(largestLength, glm::length(glm::dvec3(*p)));
    }
    const double bound = sideErrorPerLength * largestLength * growthTimesDirection + sideErrorFloor;
    return std::nextafter(static_cast<float>(bound), INFINITY);
}

}  // namespace

glm::vec3 unitVectorFromDraws(int firstDraw, int secondDraw) {
    // Every step is worked out in double and rounded once to a float before the next.
    const auto rounded = [](double exact) { return static_cast<float>(exact); };
    constexpr double fullTurn = 6.2831855f;  // 2 pi rounded to a float, read as that float
    const double z = rounded(2.0 * rounded(firstDraw / static_cast<double>(RAND_MAX)) - 1.0);
    const double theta = rounded(fullTurn * rounded(secondDraw / static_cast<double>(RAND_MAX)));
    const float r = rounded(std::sqrt(rounded(1.0 - z * z)));
    return {rounded(std::cos(theta)) * r, rounded(std::sin(theta)) * r, rounded(z)};
}

glm::vec3 randomUnitVector() {
    const int firstDraw = std::rand();  // drawn first: the order of arguments is not fixed
    return unitVectorFromDraws(firstDraw, std::rand());
}

void applyFaultsInOrder(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                        std::size_t directionCount) {
    for (const glm::vec3* d = directions; d != directions + directionCount; ++d) {
        const glm::vec3 direction = *d;  // a copy, or every write to a position reloads it
        for (glm::vec3* p = positions; p != positions + count; ++p) {
            const float side = sideOfCut(*p, direction);
            *p = {afterCut(p->x, side), afterCut(p->y, side), afterCut(p->z, side)};
        }
    }
}

// A step of every position in the block at once, so that none waits on its own previous
// step and the compiler vectorises the step. The next pass's sums are taken before this
// pass scales, so one loop does both and the block is read once a pass.
void runBlockPortably(BlockCoordinates& block, const glm::vec3* directions,
                      std::size_t directionCount, float bound) {
    auto& [x, y, z] = block;
    float sides[faultBlockSize];
    ruleSides(block, directions[0], sides);
    for (std::size_t pass = 0; pass < directionCount; ++pass) {
        const glm::vec3 next = directions[std::min(pass + 1, directionCount - 1)];
        int unsure = 0;  // an int, as a bool would keep the loop from vectorising
        for (std::size_t i = 0; i < faultBlockSize; ++i) {
            const float side = sides[i];
            sides[i] = (y[i] * next.y + x[i] * next.x) + z[i] * next.z;
            unsure |= std::fabs(sides[i]) <= bound;
            x[i] = afterCut(x[i], side), y[i] = afterCut(y[i], side), z[i] = afterCut(z[i], side);
        }
        if (unsure) ruleSides(block, next, sides);
    }
}

void applyFaultsInBlocks(BlockKernel& kernel, glm::vec3* positions, std::size_t count,
                         const glm::vec3* directions, std::size_t directionCount) {
    double largestDirection = 0;
    for (std::size_t pass = 0; pass < directionCount; ++pass)
        largestDirection = std::fmax(largestDirection, glm::length(glm::dvec3(directions[pass])));
    const double growth = std::pow(growthPerPass, static_cast<double>(directionCount));
    const bool proven = directionCount > 0 && growth <= largestDrift && largestDirection <= 2;
    std::size_t start = 0;
    for (; proven && start + faultBlockSize <= count; start += faultBlockSize) {
        glm::vec3* block = positions + start;
        const float bound = sideErrorBound(block, growth * largestDirection);
        if (bound == 0) {
            applyFaultsInOrder(block, faultBlockSize, directions, directionCount);
            continue;
        }
        alignas(32) BlockCoordinates coordinates;
        for (std::size_t i = 0; i < faultBlockSize * 3; ++i)
            coordinates[i % 3][i / 3] = block[i / 3][i % 3];
        kernel(coordinates, directions, directionCount, bound);
        for (std::size_t i = 0; i < faultBlockSize * 3; ++i)
            block[i / 3][i % 3] = coordinates[i % 3][i / 3];
    }
    applyFaultsInOrder(positions + start, count - start, directions, directionCount);
}

void applyFaults(std::vector<glm::vec3>& positions) {
    // Nothing else draws while the passes run, so drawing every direction up front takes
    // the same numbers in the same order as drawing one at the start of each pass.
    std::vector<glm::vec3> directions(faultCount);
    for (glm::vec3& d : directions) d = randomUnitVector();

    // Each position meets the passes on its own, so shares of whole blocks run side by side.
    BlockKernel* const avx2 = avx2Kernel();
    BlockKernel& kernel = avx2 ? *avx2 : runBlockPortably;
    const std::size_t count = positions.size();
    const std::size_t threads = std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
    const std::size_t shareSize = (count / faultBlockSize / threads + 1) * faultBlockSize;
    const auto runShare = [&](std::size_t start) {
        applyFaultsInBlocks(kernel, positions.data() + start, std::min(shareSize, count - start),
                            directions.data(), faultCount);
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

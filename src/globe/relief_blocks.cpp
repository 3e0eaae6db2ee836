#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>
#include <system_error>
#include <thread>
#include <vector>

#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

// Why a kernel leaves the rule's bytes.
//
// A kernel scales a position as the rule does: the same float product by faultScale, and a
// division that rounds as the rule's does (the AVX2 kernel's without a divide: the reciprocal
// split below). So it can differ only in a side. It takes a side from a float sum f of the
// cut's products only where |f| is above its block's bound, and asks the rule nearer the plane:
//
//     bound = sideErrorPerLength * L * G * D + sideErrorFloor, rounded up to a float,
//
// with L the longest position in the block before the cuts, G the most the cuts can lengthen
// a position, D the longest direction. Write u = 2^-24, a float's largest relative rounding,
// p for a position as the kernel sums it with a direction d, m for the factor (faultScale or
// its reciprocal) by which the rule's position differs from p, and
// S = |p.x d.x| + |p.y d.y| + |p.z d.z| <= |p| |d| <= L G D. Below, m f and the rule's double
// sum are each shown within an error of m (p . d); the bound covers both errors, so above it
// the rule's side has f's sign and, where positive, does not round to a zero float.
//
// - sideErrorPerLength = 5u. Each product meets at most three float roundings on its way into
//   f, in the portable order and the fused one alike: just over 3u S. f is taken before the
//   cut ahead scales the coordinates, and each scaled coordinate is off by up to u of itself:
//   u S. The rule's double sum rounds twice: 2^-52 S. Just over 4u S in all; the fifth unit
//   covers the bound's own roundings in double, a few 2^-53. Proven. The test
//   KernelsTrustAFloatSumOnlyBeyondItsErrorBound meets sums of the wrong sign 0.3u S from zero.
// - sideErrorFloor = 2^-147. A product or a fused sum that lands among the subnormal floats
//   rounds by up to 2^-150 whatever S is, three times at most, and a positive r must exceed
//   2^-150 so as not to round to zero: just over 4 * 2^-150, and 2^-147 is the next power of
//   two. Proven. The same test's subnormal case fails a kernel with no floor.
// - growthPerCut = faultScale (1 + 2^-23). A cut multiplies or divides a coordinate by
//   faultScale and rounds once, by at most u of it, and 1 + 2u bounds that both ways, since
//   1 / (1 - u) < 1 + 2u. G = growthPerCut ^ cuts, 3.318 for 1000 cuts. Proven.
// - largestDrift = 4: the power of two above G for 1000 cuts (up to 1155 fit under it), so
//   that narrowing the coordinate range by it is exact. A coordinate that starts within the
//   range narrowed by 4 stays within it, or zero, through every cut. Proven.
// - smallestCoordinate = 2^-99. reciprocalLow exceeds 2^-27, so every coordinate and its
//   product with reciprocalLow are normal floats: each scaling then rounds by at most u of its
//   result, as used above, and the AVX2 division scales with the power of two, as used below.
//   Proven; a static_assert in relief_avx2.cpp checks the product. This is where the proof
//   stops, not where the division goes wrong: measured, it is still right two binades lower.
// - largestCoordinate = 2^125, with directions no longer than 2: every product and partial
//   sum stays finite, as |f| <= (1 + 3u) |p| |d| < 2 * 2^125 * 2 = 2^127. Proven. The random
//   directions are of length 1 within a few u; the limit of 2 only keeps other callers out.
// - The reciprocal split: x * reciprocalHigh + (x * reciprocalLow rounded), fused, rounds as
//   x / faultScale. Measured, not proven: AvxKernelDividesAsTheRuleAcrossTheCoordinateRange
//   divides every float of the lowest and the highest binade a coordinate can reach,
//   [2^-99, 2^-98) and [2^124, 2^125). Since every step stays normal, the results in one binade
//   are another's scaled by a power of two, so each binade stands for all. A negative x gives
//   the negated result, and a zero keeps its sign because reciprocalLow is positive.

namespace {

constexpr double sideErrorPerLength = 5 * 0x1p-24;
constexpr double sideErrorFloor = 0x1p-147;
constexpr double growthPerCut = static_cast<double>(faultScale) * (1 + 0x1p-23);
constexpr float largestDrift = 4;
constexpr double longestDirection = 2;

bool admitted(float coordinate) {  // written so that NaN and infinity fail
    const float size = std::fabs(coordinate);
    return size == 0 ||
           (size >= smallestCoordinate * largestDrift && size <= largestCoordinate / largestDrift);
}

// D of the bound; infinite where a direction is not finite.
double longestOf(const glm::vec3* directions, std::size_t directionCount) {
    double longest = 0;
    for (const glm::vec3* d = directions; d != directions + directionCount; ++d) {
        const double length = glm::length(glm::dvec3(*d));
        longest = std::isnan(length) ? INFINITY : std::max(longest, length);
    }
    return longest;
}

// The bound for one block, rounded up to a float; zero when a coordinate is not admitted.
float sideErrorBound(const glm::vec3* block, double growthTimesDirection) {
    double longest = 0;
    for (const glm::vec3* p = block; p != block + blockSize; ++p) {
        if (!admitted(p->x) || !admitted(p->y) || !admitted(p->z)) return 0;
        longest = std::fmax(longest, glm::length(glm::dvec3(*p)));
    }
    const double bound = sideErrorPerLength * longest * growthTimesDirection + sideErrorFloor;
    return std::nextafter(static_cast<float>(bound), INFINITY);
}

void toRows(const glm::vec3* block, BlockCoordinates& rows) {
    for (std::size_t i = 0; i < blockSize; ++i) {
        for (int axis = 0; axis < 3; ++axis) rows[axis][i] = block[i][axis];
    }
}

void fromRows(const BlockCoordinates& rows, glm::vec3* block) {
    for (std::size_t i = 0; i < blockSize; ++i) {
        for (int axis = 0; axis < 3; ++axis) block[i][axis] = rows[axis][i];
    }
}

}  // namespace

void applyCutsInBlocks(BlockKernel kernel, glm::vec3* positions, std::size_t count,
                       const glm::vec3* directions, std::size_t directionCount) {
    const double longest = longestOf(directions, directionCount);
    const double growth = std::pow(growthPerCut, static_cast<double>(directionCount));
    const bool proven = directionCount > 0 && growth <= largestDrift && longest <= longestDirection;
    std::size_t start = 0;
    for (; proven && start + blockSize <= count; start += blockSize) {
        glm::vec3* block = positions + start;
        const float bound = sideErrorBound(block, growth * longest);
        if (bound == 0) {
            applyCutsInOrder(block, blockSize, directions, directionCount);
            continue;
        }
        alignas(32) BlockCoordinates rows;
        toRows(block, rows);
        kernel(rows, directions, directionCount, bound);
        fromRows(rows, block);
    }
    applyCutsInOrder(positions + start, count - start, directions, directionCount);
}

void applyCuts(std::vector<glm::vec3>& positions, const std::vector<glm::vec3>& directions,
               unsigned sparedCores) {
    // Each position meets the cuts on its own, so shares of whole blocks run side by side.
    const BlockKernel avx2 = avx2Kernel();
    const BlockKernel kernel = avx2 ? avx2 : runBlockPortably;
    const std::size_t count = positions.size();
    const unsigned cores = std::thread::hardware_concurrency();
    const std::size_t threads = std::clamp(cores > sparedCores ? cores - sparedCores : 1u, 1u, 64u);
    const std::size_t shareSize = (count / blockSize / threads + 1) * blockSize;
    const auto runShare = [&](std::size_t start) {
        applyCutsInBlocks(kernel, positions.data() + start, std::min(shareSize, count - start),
                          directions.data(), directions.size());
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

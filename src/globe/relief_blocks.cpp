#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>

#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

// Why a kernel leaves the rule's bytes.
//
// Assumptions, each enforced where named:
// (A1) Every float and double step rounds to nearest, ties to even, and keeps subnormal
//      operands and results: each entry point sets that environment on the thread that cuts
//      (relief.cpp, environment.cpp), whatever the caller set.
// (A2) Each step rounds once, as written: no excess precision, no fast-math rewriting, no
//      fused steps but the AVX2 kernel's own (relief_rule.h refuses other builds, and
//      CMakeLists.txt builds with -ffp-contract=off -fno-fast-math).
// (A3) A product of two floats is exact in double and never underflows there: admitted
//      coordinates are zero or at least 2^-99, direction terms zero or at least 2^-149, and
//      2^-248 is far above double's least normal, 2^-1022. Their double sums are multiples of
//      2^-271, so zero or far above it too.
//
// What the code computes, with u = 2^-24 (a float's largest relative rounding), fl() a float
// rounding, p' a position before the cut ahead of this one scaled it, and p after:
// - The rule: side s = fl((p.y d.y + p.x d.x) + p.z d.z) of a double sum, growing by
//   fl(c faultScale) where s > 0, else shrinking by fl(c / faultScale).
// - The portable kernel: f = fl(fl(fl(p'.y d.y) + fl(p'.x d.x)) + fl(p'.z d.z)) and the rule's
//   own scalings. The AVX2 kernel: f = fma(p'.z, d.z, fma(p'.x, d.x, fl(p'.y d.y))), growth
//   fma(c, faultScale, c * 0), which is fl(c faultScale) as c * 0 is a zero of c's sign, and
//   shrinking fma(c, reciprocalHigh, fl(c reciprocalLow)), which is fl(c / faultScale) by the
//   split below. So a kernel scales as the rule does and can differ only in a side.
// - Either kernel takes f's sign only where |f| > bound, and the rule's side elsewhere and for
//   the first cut:
//     bound = sideErrorPerLength L G D + sideErrorFloor, rounded up to a float,
//   L the longest position of the block before the cuts, G the most the cuts can lengthen a
//   position, D the longest direction.
//
// Claim: |f| > bound gives the rule's side. With m the factor (faultScale or its reciprocal)
// of the scaling between p' and p, and S' = |p'.x d.x| + |p'.y d.y| + |p'.z d.z| <= L G D:
// (1) |f - p'.d| <= 3u/(1 - 3u) S' + 3 2^-150 (1 + 3u): each product meets at most three
//     roundings on its way into f, in either order; a step landing among the subnormals errs
//     by up to 2^-150 instead, which only a product or a fused step can, as a float sum that
//     small is exact.
// (2) |p.d - m p'.d| <= u m S': each coordinate is fl(m c), a normal float (A3's range).
// (3) The rule's double sum r has |r - p.d| <= 2^-52 (1 + u) m S' (two roundings, A3).
// So |r - m f| <= m (4u + 14u^2) S' + 3 m 2^-150 (1 + 3u), and beyond the bound r has f's sign
// and a positive r exceeds 2^-150, so that s > 0 (2^-150 itself would round to zero and shrink).
//
// The constants, one line each: formula or value, why it holds, and the guard.
// sideErrorPerLength = 5u     >= 4u + 14u^2 of the claim + the bound's roundings in double      [B]
// sideErrorFloor = 2^-147     >= (3 (1 + 3u) + faultScale) 2^-150 of the claim                  [B]
// growthPerCut = F (1 + 2u)   a scaling rounds by u at most, and 1 / (1 - u) < 1 + 2u          none
// largestDrift = 4            power of two above G = growthPerCut^1000 = 3.318 (1155 fit)      none
// smallestCoordinate = 2^-99  2^-126 / 2^-27, as reciprocalLow >= 2^-27: x low is normal        [A]
// largestCoordinate = 2^125   |f| <= (1 + 3u) sqrt(3) 2^125 |d| < 2^127: nothing overflows     none
// longestDirection = 2        the |d| above; random directions are 1 within a few u            none
// reciprocalHigh = fl(1 / F)  of 1 / F in double, so that low is what high leaves over      [A] [S]
// reciprocalLow = fl(1 / F - reciprocalHigh)  in double: the split below                    [A] [S]
// with F = faultScale, the narrowed range [4 2^-99, 2^125 / 4] exact as largestDrift is a power
// of two, and "none" where no test can reach the case: only the proof covers it. The guards:
// [A] static_asserts in relief_kernels.h, on every build of the relief.
// [B] KernelsTrustAFloatSumOnlyBeyondItsErrorBound: its points fail either kernel with
//     sideErrorPerLength below 1.72u and the portable one below 1.99u; its subnormal case fails
//     a kernel without the floor.
// [S] ReciprocalSplitDividesAsTheRule: every float of a binade through std::fma, on every
//     machine, and AvxKernelDividesAsTheRuleAcrossTheCoordinateRange where AVX2 runs.
//
// The split. faultScale = 8398674 2^-23 = M 2^-22 with M = 4199337 odd. Take x in
// [2^k, 2^(k+1)), so x = X 2^(k-23) with X an integer, and q = x / faultScale = X 2^(k-1) / M.
// Rounding to float changes at midpoints j 2^(k-25), with j odd below 2^k and twice an odd
// number above, where q lies in (2^(k-1), 2^(k+1)). Then 2^24 X - j M is odd or twice an odd
// number, never zero, so |q - j 2^(k-25)| = |2^24 X - j M| 2^(k-25) / M >= 2^(k-25) / M: q keeps
// 7.1e-15 2^k clear of every midpoint. With e = 1 / faultScale - high - low = 3.3e-16, the
// fused sum x high + fl(x low) is off q by at most |x e| plus half an ulp of x low < 2^(k-25):
// 2^(k+1) 3.3e-16 + 2^(k-50) = 1.6e-15 2^k, a factor 4.6 less. So the exact fused sum and q lie
// between the same two midpoints, and the fma rounds both alike. The same holds for -x with
// everything negated, and a zero keeps its sign as low is positive.

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
                       const glm::vec3* directions, std::size_t directionCount,
                       const std::atomic<bool>* stop) {
    // Relaxed: the flag orders nothing, and a block more or less before it is seen does not matter.
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    const double longest = longestOf(directions, directionCount);
    const double growth = std::pow(growthPerCut, static_cast<double>(directionCount));
    const bool proven = directionCount > 0 && growth <= largestDrift && longest <= longestDirection;
    std::size_t start = 0;
    for (; proven && start + blockSize <= count; start += blockSize) {
        if (stopped()) return;
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
    if (!stopped()) applyCutsInOrder(positions + start, count - start, directions, directionCount);
}

#pragma once

#include <atomic>
#include <cfloat>
#include <cstddef>
#include <cstring>
#include <glm/vec3.hpp>
#include <vector>

#include "globe/relief_rule.h"

// The kernels: each carries a block of positions through every cut at once, so that
// independent chains fill the pipeline, and must leave the rule's bytes. Why they do, and
// where each constant here and in the kernels comes from, is argued in relief_blocks.cpp.

// A block's positions, a coordinate to a row, so that a kernel works along rows of floats.
inline constexpr std::size_t blockSize = 24;
using BlockCoordinates = float[3][blockSize];

// Every nonzero coordinate of a block that a kernel takes stays within these through all the
// cuts; so it starts within them narrowed by the largest drift.
inline constexpr float smallestCoordinate = 0x1p-99f, largestCoordinate = 0x1p125f;

// 1 / faultScale split into a float and the float nearest what it leaves over:
// fma(x, reciprocalHigh, x * reciprocalLow) rounds as x / faultScale does wherever
// x * reciprocalLow is a normal float, which lets the AVX2 kernel divide without a divide.
inline constexpr double reciprocal = 1.0 / static_cast<double>(faultScale);
inline constexpr float reciprocalHigh = static_cast<float>(reciprocal);
inline constexpr float reciprocalLow = static_cast<float>(reciprocal - reciprocalHigh);

// The proof's numbers, checked wherever the relief is built (relief_blocks.cpp, "The split").
// faultScale is M 2^-22 with M odd, and the low part is positive and below 2^-26.
inline constexpr long long faultScaleUnits = static_cast<long long>(faultScale * 0x1p22);
static_assert(faultScaleUnits * 0x1p-22 == faultScale && faultScaleUnits % 2 == 1);
static_assert(reciprocalLow > 0 && reciprocalLow < 0x1p-26f);
static_assert(smallestCoordinate * reciprocalLow >= FLT_MIN);
// 1 - faultScale (high + low), exact in double: faultScale (high + low) misses 1 by this.
inline constexpr double splitShortfall = (1 - static_cast<double>(faultScale) * reciprocalHigh) -
                                         static_cast<double>(faultScale) * reciprocalLow;
// Over 2^k, for x in [2^k, 2^(k+1)): the split's error before its one rounding, and the least
// distance from x / faultScale to a point where rounding changes; the first must be the smaller,
// and is by a factor 4.6 (checked here with a factor 2 to spare the check's own roundings).
inline constexpr double splitError =
    2 * (splitShortfall < 0 ? -splitShortfall : splitShortfall) / faultScale + 0x1p-50;
inline constexpr double midpointGap = 0x1p-25 / faultScaleUnits;
static_assert(2 * splitError < midpointGap);

// A kernel trusts a float sum of a cut's products whose magnitude is beyond the bound, and
// asks the rule for the sides nearer the plane.
void runBlockPortably(BlockCoordinates& block, const glm::vec3* directions,
                      std::size_t directionCount, float bound);

using BlockKernel = void (*)(BlockCoordinates& block, const glm::vec3* directions,
                             std::size_t directionCount, float bound);

// The AVX2 kernel, or none where the processor lacks AVX2 or FMA.
BlockKernel avx2Kernel();

// The rule's sides of a block's positions for one cut.
inline void ruleSides(const BlockCoordinates& block, const glm::vec3& direction, float* sides) {
    for (std::size_t i = 0; i < blockSize; ++i)
        sides[i] = sideOfCut({block[0][i], block[1][i], block[2][i]}, direction);
}

// Whole blocks go to the kernel where it is proven to give the rule's bytes; the rest, and
// everything when it is not, follow the rule. In the caller's environment.
// Looks at `stop`, where given, before each block and ends there once it is set.
void applyCutsInBlocks(BlockKernel kernel, glm::vec3* positions, std::size_t count,
                       const glm::vec3* directions, std::size_t directionCount,
                       const std::atomic<bool>* stop = nullptr);

// The kernels' promise, as the tests and the benchmark check it: the same bytes.
inline bool sameBytes(const std::vector<glm::vec3>& a, const std::vector<glm::vec3>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

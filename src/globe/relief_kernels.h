#pragma once

#include <cstddef>
#include <cstring>
#include <glm/vec3.hpp>
#include <vector>

#include "globe/relief_rule.h"

// The fast paths: a kernel carries a block of positions through every cut at once, so that
// independent chains fill the pipeline, and must leave the rule's bytes. Why they do, and
// where each constant here and in the kernels comes from, is argued in relief_blocks.cpp.

// A block's positions, a coordinate to a row, so that a kernel works along rows of floats.
inline constexpr std::size_t blockSize = 24;
using BlockCoordinates = float[3][blockSize];

// Every nonzero coordinate of a block that a kernel takes stays within these through all the
// cuts; so it starts within them narrowed by the largest drift.
inline constexpr float smallestCoordinate = 0x1p-99f, largestCoordinate = 0x1p125f;

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
// everything when it is not, follow the rule.
void applyCutsInBlocks(BlockKernel kernel, glm::vec3* positions, std::size_t count,
                       const glm::vec3* directions, std::size_t directionCount);

// The fast paths' promise, as the tests and the benchmark check it: the same bytes.
inline bool sameBytes(const std::vector<glm::vec3>& a, const std::vector<glm::vec3>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

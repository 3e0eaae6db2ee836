#pragma once

#include <cstddef>
#include <glm/vec3.hpp>

#include "globe/globe.h"

// The rule for one position and one cut: the side is the dot product summed in double in
// this order and rounded to a float; a position on a positive side grows, any other shrinks.
inline float sideOfCut(const glm::vec3& p, const glm::vec3& d) {
    return static_cast<float>((static_cast<double>(p.y) * d.y + static_cast<double>(p.x) * d.x) +
                              static_cast<double>(p.z) * d.z);
}

inline float afterCut(float coordinate, float side) {
    return side > 0 ? coordinate * faultScale : coordinate / faultScale;
}

// Every pass over the positions, one after another, as the rule is written: the yardstick.
void applyFaultsInOrder(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                        std::size_t directionCount);

// A kernel carries a block of positions, a coordinate to a row, through all passes at once so
// that independent chains fill the pipeline. It trusts a float sum of a cut's products beyond
// the bound it is given, and asks the rule nearer the plane.
inline constexpr std::size_t faultBlockSize = 24;
using BlockCoordinates = float[3][faultBlockSize];
using BlockKernel = void(BlockCoordinates& block, const glm::vec3* directions,
                         std::size_t directionCount, float bound);
BlockKernel runBlockPortably;
BlockKernel* avx2Kernel();  // none where the processor lacks AVX2 or FMA

inline void ruleSides(const BlockCoordinates& block, const glm::vec3& d, float* sides) {
    for (std::size_t i = 0; i < faultBlockSize; ++i)
        sides[i] = sideOfCut({block[0][i], block[1][i], block[2][i]}, d);
}

// Whole blocks go to the kernel, but the tail and blocks that may leave the range where the
// bound and the AVX2 kernel's division without a divide are proven (zeros aside) follow the rule.
inline constexpr float divisionFreeSmallest = 0x1p-66f, divisionFreeLargest = 0x1p10f;
void applyFaultsInBlocks(BlockKernel& kernel, glm::vec3* positions, std::size_t count,
                         const glm::vec3* directions, std::size_t directionCount);

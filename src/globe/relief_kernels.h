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

// Every pass over a stretch of positions, directions drawn beforehand. applyFaultsInOrder is
// the rule as written, the yardstick; the kernels carry a block through all passes at once so
// that independent chains fill the pipeline (applyFaultsAvx2 only where avx2Available()).
using FaultPasses = void(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                         std::size_t directionCount);
FaultPasses applyFaultsInOrder, applyFaultsPortable, applyFaultsAvx2;
bool avx2Available();

// Kernels and threads take whole blocks of this many positions, a coordinate to a row.
inline constexpr std::size_t faultBlockSize = 24;
using BlockCoordinates = float[3][faultBlockSize];

inline void ruleSides(const BlockCoordinates& block, const glm::vec3& d, float* sides) {
    for (std::size_t i = 0; i < faultBlockSize; ++i)
        sides[i] = sideOfCut({block[0][i], block[1][i], block[2][i]}, d);
}

// The kernels: all passes over one block, given the bound beyond which a float sum of a cut's
// products has the rule's side. The tail, and blocks that may leave the range where the AVX2
// kernel's division without a divide instruction is proven (zeros aside), follow the rule.
inline constexpr float divisionFreeSmallest = 0x1p-66f, divisionFreeLargest = 0x1p10f;
using BlockRunner = void(BlockCoordinates& block, const glm::vec3* directions,
                         std::size_t directionCount, float bound);
BlockRunner runBlockPortably, runBlockWithAvx2;

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

// Every pass over a stretch of positions, the directions drawn beforehand. applyFaultsInOrder
// is the rule as written, the yardstick; the kernels give its bytes. They carry a
// block of positions through all passes together so that independent chains fill the
// pipeline: in plain loops the compiler vectorises, or eight positions to an AVX2 register
// (where avx2Available(): AVX2 and FMA).
using FaultPasses = void(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                         std::size_t directionCount);
FaultPasses applyFaultsInOrder, applyFaultsPortable, applyFaultsAvx2;
bool avx2Available();

// Kernels and threads take whole blocks of this many positions, a coordinate to a row.
inline constexpr std::size_t faultBlockSize = 24;
using BlockCoordinates = float[3][faultBlockSize];

// Runs each whole block through runBlock with the bound beyond which a float sum of a
// cut's products has the rule's side. Blocks holding coordinates that bound was not proven
// for, and the tail, follow the rule as written.
using BlockRunner = void (*)(BlockCoordinates& block, const glm::vec3* directions,
                             std::size_t directionCount, float bound);
void runBlocks(BlockRunner runBlock, glm::vec3* positions, std::size_t count,
               const glm::vec3* directions, std::size_t directionCount);

// The AVX2 kernel divides by faultScale without a divide instruction, to the same float for
// zeros and every magnitude in [divisionFreeSmallest, divisionFreeLargest]; blocks are
// admitted only when every coordinate keeps within that range through all passes. The
// division is exposed for checking float by float; count a multiple of eight.
inline constexpr float divisionFreeSmallest = 0x1p-66f, divisionFreeLargest = 0x1p10f;
void divideByFaultScaleAvx2(const float* in, float* out, std::size_t count);

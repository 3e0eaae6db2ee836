#pragma once

#include <cstddef>
#include <glm/vec3.hpp>

// The two ways the relief passes are run over a stretch of positions. Both give the
// bytes of the plain rule (every pass over the whole list, dot products summed in
// double); they differ only in speed. The directions are drawn before either runs.

// Any machine: positions outside, passes inside, each dot product summed in double.
void applyFaultsPortable(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                         std::size_t directionCount);

// True when this processor runs applyFaultsAvx2 (AVX2 and FMA).
bool avx2Available();

// Eight positions per vector, a float dot product trusted only beyond its error bound.
// Blocks holding coordinates of a size the fast path was not proven for, and the tail
// after the last whole block, go through the portable path.
void applyFaultsAvx2(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                     std::size_t directionCount);

// The fast path works on blocks of this many positions; threads get whole blocks.
inline constexpr std::size_t faultBlockSize = 24;

// The fast path divides by faultScale without a divide instruction. That scaling rounds
// exactly as the division for every float whose magnitude lies in
// [divisionFreeSmallest, divisionFreeLargest] (and for zeros); blocks are admitted only
// when every coordinate keeps within that range through all passes.
inline constexpr float divisionFreeSmallest = 0x1p-66f;
inline constexpr float divisionFreeLargest = 0x1p10f;

// The fast path's division, exposed so its exactness can be checked float by float.
// Needs avx2Available().
void divideByFaultScaleAvx2(const float* in, float* out, std::size_t count);

#pragma once

#include <cfloat>
#include <cstddef>
#include <glm/vec3.hpp>

#include "globe/globe.h"

// The relief as the rule is written, the yardstick whose bytes the kernels must give. The
// rule's functions are inline, so every file that includes this one computes them with its own
// flags, and meets these checks: each float and double step must round once, as written.
#if defined(__FAST_MATH__) || __FINITE_MATH_ONLY__ || defined(__ASSOCIATIVE_MATH__) || \
    defined(__RECIPROCAL_MATH__) || defined(__NO_SIGNED_ZEROS__)
#error "The relief cannot be built with fast-math: compile it with -fno-fast-math."
#endif
#if FLT_EVAL_METHOD != 0
#error "The relief needs arithmetic without excess precision (on 32-bit x86: -msse2 -mfpmath=sse)."
#endif

// The direction of a cut from two draws of rand(), as unitVectorFromDraws gives it.
glm::vec3 directionFromDraws(int firstDraw, int secondDraw);

// The rule for one position and one cut: the side is the dot product summed in double in
// this order and rounded to a float; a position on a positive side grows, any other shrinks.
inline float sideOfCut(const glm::vec3& p, const glm::vec3& d) {
    return static_cast<float>((static_cast<double>(p.y) * d.y + static_cast<double>(p.x) * d.x) +
                              static_cast<double>(p.z) * d.z);
}

inline float afterCut(float coordinate, float side) {
    return side > 0 ? coordinate * faultScale : coordinate / faultScale;
}

// Every cut over the positions, one after another, in the caller's environment.
void applyCutsInOrder(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                      std::size_t directionCount);

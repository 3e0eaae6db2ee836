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

// Every cut over the positions, one after another, as the rule is written: the yardstick
// whose bytes the fast paths must give.
void applyCutsInOrder(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                      std::size_t directionCount);

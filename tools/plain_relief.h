#pragma once

#include <glm/vec3.hpp>
#include <vector>

// The relief in its plainest form, kept as the yardstick the shipped builder is
// measured against: every pass draws its direction and then walks the whole list,
// summing each dot product in double. Tests and the benchmark only.
void plainApplyFaults(std::vector<glm::vec3>& positions);

#include "globe/globe.h"
#include "globe/relief_kernels.h"

void applyFaultsPortable(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                         std::size_t directionCount) {
    for (std::size_t i = 0; i < count; ++i) {
        glm::vec3 p = positions[i];
        for (std::size_t pass = 0; pass < directionCount; ++pass) {
            const glm::vec3 d = directions[pass];
            const float s = static_cast<float>(
                (static_cast<double>(p.y) * d.y + static_cast<double>(p.x) * d.x) +
                static_cast<double>(p.z) * d.z);
            if (s > 0) {
                p *= faultScale;
            } else {
                p /= faultScale;
            }
        }
        positions[i] = p;
    }
}

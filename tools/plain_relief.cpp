#include "plain_relief.h"

#include "globe/globe.h"

void plainApplyFaults(std::vector<glm::vec3>& positions) {
    for (int pass = 0; pass < faultCount; ++pass) {
        const glm::vec3 d = randomUnitVector();
        for (glm::vec3& p : positions) {
            const float s = static_cast<float>(
                (static_cast<double>(p.y) * d.y + static_cast<double>(p.x) * d.x) +
                static_cast<double>(p.z) * d.z);
            if (s > 0) {
                p *= faultScale;
            } else {
                p /= faultScale;
            }
        }
    }
}

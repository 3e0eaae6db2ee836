#include "globe.h"

#include <cmath>
#include <cstdlib>

glm::vec3 unitVectorFromDraws(int firstDraw, int secondDraw) {
    // 2 pi rounded to a float, read as that float.
    constexpr float fullTurn = 6.2831855f;
    const float u = static_cast<float>(firstDraw / static_cast<double>(RAND_MAX));
    const float z = static_cast<float>(2.0 * u - 1.0);
    const float v = static_cast<float>(secondDraw / static_cast<double>(RAND_MAX));
    const float theta = static_cast<float>(static_cast<double>(fullTurn) * v);
    const float w = static_cast<float>(1.0 - static_cast<double>(z) * z);
    const float r = static_cast<float>(std::sqrt(static_cast<double>(w)));
    const float cosine = static_cast<float>(std::cos(static_cast<double>(theta)));
    const float sine = static_cast<float>(std::sin(static_cast<double>(theta)));
    return {cosine * r, sine * r, z};
}

glm::vec3 randomUnitVector() {
    const int firstDraw = std::rand();
    const int secondDraw = std::rand();
    return unitVectorFromDraws(firstDraw, secondDraw);
}

void applyFaults(std::vector<glm::vec3>& positions) {
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

#include "globe/relief_rule.h"

#include <cmath>
#include <cstdlib>

#include "globe/globe.h"

glm::vec3 directionFromDraws(int firstDraw, int secondDraw) {
    // Every step is worked out in double and rounded once to a float before the next.
    const auto rounded = [](double exact) { return static_cast<float>(exact); };
    // 2 pi rounded to a float, not twice the short pi: the angle then spans a whole turn to
    // float precision, where twice the short pi would leave a sliver of the sphere uncut.
    constexpr double fullTurn = 6.2831855f;
    const double z = rounded(2.0 * rounded(firstDraw / static_cast<double>(RAND_MAX)) - 1.0);
    const double theta = rounded(fullTurn * rounded(secondDraw / static_cast<double>(RAND_MAX)));
    const float r = rounded(std::sqrt(rounded(1.0 - z * z)));
    return {rounded(std::cos(theta)) * r, rounded(std::sin(theta)) * r, rounded(z)};
}

void applyCutsInOrder(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                      std::size_t directionCount) {
    for (const glm::vec3* d = directions; d != directions + directionCount; ++d) {
        const glm::vec3 direction = *d;  // a copy, or every write to a position reloads it
        for (glm::vec3* p = positions; p != positions + count; ++p) {
            const float side = sideOfCut(*p, direction);
            *p = {afterCut(p->x, side), afterCut(p->y, side), afterCut(p->z, side)};
        }
    }
}

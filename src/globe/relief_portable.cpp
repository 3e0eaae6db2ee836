#include <algorithm>
#include <cmath>

#include "globe/relief_kernels.h"

// The loop takes a step of every position in the block at once, so no position waits on its
// own previous step and the compiler vectorises the step. The next pass's sums are taken
// before this pass scales, so one loop does both and the block is read once a pass.
void runBlockPortably(BlockCoordinates& block, const glm::vec3* directions,
                      std::size_t directionCount, float bound) {
    auto& [x, y, z] = block;
    float sides[faultBlockSize];
    ruleSides(block, directions[0], sides);
    for (std::size_t pass = 0; pass < directionCount; ++pass) {
        const glm::vec3 next = directions[std::min(pass + 1, directionCount - 1)];
        int unsure = 0;  // an int, as a bool would keep the loop from vectorising
        for (std::size_t i = 0; i < faultBlockSize; ++i) {
            const float side = sides[i];
            sides[i] = (y[i] * next.y + x[i] * next.x) + z[i] * next.z;
            unsure |= std::fabs(sides[i]) <= bound;
            x[i] = afterCut(x[i], side), y[i] = afterCut(y[i], side), z[i] = afterCut(z[i], side);
        }
        // Near the cutting plane the float sum may have the wrong sign: ask the rule.
        if (unsure) ruleSides(block, next, sides);
    }
}

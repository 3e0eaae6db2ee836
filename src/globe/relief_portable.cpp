#include <algorithm>
#include <cmath>

#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

// A step of every position in the block at once, so that none waits on its own previous step
// and the compiler vectorises the step. The next cut's sums are taken before this cut scales,
// so one loop does both and the block is read once a cut.
void runBlockPortably(BlockCoordinates& block, const glm::vec3* directions,
                      std::size_t directionCount, float bound) {
    auto& [x, y, z] = block;
    float sides[blockSize];  // the coming cut's side of each position
    ruleSides(block, directions[0], sides);
    for (std::size_t cut = 0; cut < directionCount; ++cut) {
        // The last cut has no next one: its own direction stands in, and those sides go unused.
        const glm::vec3 next = directions[std::min(cut + 1, directionCount - 1)];
        int unsure = 0;  // an int, as a bool would keep the loop from vectorising
        for (std::size_t i = 0; i < blockSize; ++i) {
            const float side = sides[i];
            sides[i] = (y[i] * next.y + x[i] * next.x) + z[i] * next.z;
            unsure |= std::fabs(sides[i]) <= bound;
            x[i] = afterCut(x[i], side);
            y[i] = afterCut(y[i], side);
            z[i] = afterCut(z[i], side);
        }
        if (unsure) ruleSides(block, next, sides);
    }
}

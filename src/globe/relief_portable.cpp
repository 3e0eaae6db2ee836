#include <cmath>

#include "globe/globe.h"
#include "globe/relief_kernels.h"

namespace {

// Each loop below takes a step of every position in the block at once, so no position
// waits on its own previous step and the compiler vectorises each step.
void runBlock(BlockCoordinates& block, const glm::vec3* directions, std::size_t directionCount,
              float bound) {
    auto& [x, y, z] = block;
    float sides[faultBlockSize];
    for (std::size_t pass = 0; pass < directionCount; ++pass) {
        const glm::vec3 d = directions[pass];
        int unsure = 0;  // an int, as a bool would keep the loop from vectorising
        for (std::size_t i = 0; i < faultBlockSize; ++i) {
            sides[i] = (y[i] * d.y + x[i] * d.x) + z[i] * d.z;
            unsure |= std::fabs(sides[i]) <= bound;
        }
        // Near the cutting plane the float sum may have the wrong sign: ask the rule.
        for (std::size_t i = 0; unsure && i < faultBlockSize; ++i) {
            sides[i] = sideOfCut({x[i], y[i], z[i]}, d);
        }
        for (std::size_t i = 0; i < faultBlockSize; ++i) {
            const glm::vec3 p = afterCut({x[i], y[i], z[i]}, sides[i]);
            x[i] = p.x, y[i] = p.y, z[i] = p.z;
        }
    }
}

}  // namespace

void applyFaultsPortable(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                         std::size_t directionCount) {
    runBlocks(runBlock, positions, count, directions, directionCount);
}

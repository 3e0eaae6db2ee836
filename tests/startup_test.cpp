#include "app/startup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "globe/globe.h"
#include "tests/fixture.h"

// The window library and the driver may draw from rand() while the worker runs; the seed
// must still give the globe it gives on one thread, so every draw is taken before return.
TEST(GlobeWorker, TakesItsDrawsBeforeReturning) {
    std::srand(testSeed);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    const int firstDrawAfterTheCuts = std::rand();

    std::srand(testSeed);
    GlobeBuild build = startBuildingGlobe();
    EXPECT_EQ(std::rand(), firstDrawAfterTheCuts);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    const Globe built = build.globe.get();
    EXPECT_TRUE(built.indices == testGlobe().indices);
    EXPECT_EQ(firstDifference(built.positions, testGlobe().positions), "");
    std::srand(testSeed);
    EXPECT_EQ(firstDifference(buildGlobe().positions, testGlobe().positions), "");
}

// A start that fails after the worker began stops it at its next block: with the flag set,
// no share cuts a block, nor the tail after the whole blocks; unset, it changes no byte.
TEST(GlobeWorker, StopsAtTheNextBlock) {
    const Globe grid = sphere();
    std::srand(testSeed);
    const std::vector<glm::vec3> directions = randomDirections();
    std::atomic<bool> stop{true};
    std::vector<glm::vec3> stopped = grid.positions;
    stopped.resize(stopped.size() - 3);  // a tail short of a block
    const std::vector<glm::vec3> uncut = stopped;
    applyCuts(stopped, directions, 0, &stop);
    EXPECT_EQ(firstDifference(stopped, uncut), "");
    stop = false;
    std::vector<glm::vec3> whole = grid.positions;
    applyCuts(whole, directions, 0, &stop);
    EXPECT_EQ(firstDifference(whole, testGlobe().positions), "");

    // Abandoned, the build is waited for and let go of.
    GlobeBuild abandoned = startBuildingGlobe();
    abandonGlobe(abandoned);
    EXPECT_FALSE(abandoned.globe.valid());
}

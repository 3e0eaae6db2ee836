#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <future>
#include <vector>

#include "globe/globe.h"
#include "tests/fixture.h"

namespace {

void expectTheTestGlobe(const Globe& globe) {
    EXPECT_TRUE(globe.indices == testGlobe().indices);
    EXPECT_EQ(firstDifference(globe.positions, testGlobe().positions), "");
}

}  // namespace

// The window library and the driver may draw from rand() while the worker runs; the seed
// must still give the globe it gives on one thread, so every draw is taken before return.
TEST(GlobeWorker, TakesItsDrawsBeforeReturning) {
    std::srand(testSeed);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    const int firstDrawAfterTheCuts = std::rand();

    Globe globe;
    std::srand(testSeed);
    std::future<void> built = startBuildingGlobe(globe.indices, globe.positions);
    EXPECT_EQ(std::rand(), firstDrawAfterTheCuts);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    built.get();
    expectTheTestGlobe(globe);
}

// A start-up that fails drops the future without asking for the globe: the worker must be
// done with the lists before they are freed, and no thread may outlive the viewer.
TEST(GlobeWorker, DroppedFutureWaitsForTheGlobe) {
    Globe globe;
    std::srand(testSeed);
    { const std::future<void> dropped = startBuildingGlobe(globe.indices, globe.positions); }
    expectTheTestGlobe(globe);
}

#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <vector>

#include "globe/globe.h"

namespace {

constexpr unsigned seed = 1772366400;

struct Globe {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
};

bool operator==(const Globe& a, const Globe& b) {
    return a.indices == b.indices && a.positions.size() == b.positions.size() &&
           std::memcmp(a.positions.data(), b.positions.data(),
                       a.positions.size() * sizeof(glm::vec3)) == 0;
}

Globe builtInPlace() {
    Globe globe;
    std::srand(seed);
    buildGlobe(globe.indices, globe.positions);
    return globe;
}

}  // namespace

// The window library and the driver may draw from rand() while the worker runs; the seed
// must still give the globe it gives on one thread, so every draw is taken before return.
TEST(GlobeWorker, TakesItsDrawsBeforeReturning) {
    std::srand(seed);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    const int firstDrawAfterTheCuts = std::rand();

    Globe globe;
    std::srand(seed);
    std::future<void> built = startBuildingGlobe(globe.indices, globe.positions);
    EXPECT_EQ(std::rand(), firstDrawAfterTheCuts);
    for (int draw = 0; draw < 2 * faultCount; ++draw) (void)std::rand();
    built.get();
    EXPECT_TRUE(globe == builtInPlace());
}

// A start-up that fails drops the future without asking for the globe: the worker must be
// done with the lists before they are freed, and no thread may outlive the viewer.
TEST(GlobeWorker, DroppedFutureWaitsForTheGlobe) {
    Globe globe;
    std::srand(seed);
    { const std::future<void> dropped = startBuildingGlobe(globe.indices, globe.positions); }
    EXPECT_TRUE(globe == builtInPlace());
}

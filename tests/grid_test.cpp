#include <gtest/gtest.h>

#include "globe.h"

TEST(Grid, Placeholder) {
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, positions);
    EXPECT_EQ(positions.size(), 262144u);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "globe/globe.h"

// The positions are pinned, relief and all, in relief_test.cpp.
TEST(Grid, TrianglesJoinNeighboursAndWrapBothWays) {
    constexpr std::uint32_t pointCount = gridSize * gridSize;
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
    generateSphere(indices, positions);
    ASSERT_EQ(indices.size(), 6 * pointCount);
    EXPECT_EQ(std::vector<std::uint32_t>(indices.begin(), indices.begin() + 6),
              (std::vector<std::uint32_t>{0, 1, 512, 512, 1, 513}));
    // The last cell joins the last row and column back to the first ones.
    EXPECT_EQ(std::vector<std::uint32_t>(indices.end() - 6, indices.end()),
              (std::vector<std::uint32_t>{262143, 261632, 511, 511, 261632, 0}));
    EXPECT_LT(*std::max_element(indices.begin(), indices.end()), pointCount);
}

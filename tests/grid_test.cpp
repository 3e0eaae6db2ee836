#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>
#include <vector>

#include "globe/globe.h"

namespace {

constexpr std::uint32_t pointCount = gridSize * gridSize;

glm::vec3 point(const std::vector<glm::vec3>& positions, int row, int column) {
    return positions[row * gridSize + column];
}

}  // namespace

TEST(Grid, TrianglesJoinNeighboursAndWrapBothWays) {
    std::vector<std::uint32_t> indices{7};  // the grid appends; it never clears
    std::vector<glm::vec3> positions;
    generateSphere(indices, positions);
    ASSERT_EQ(indices.size(), 1 + 6 * pointCount);
    EXPECT_EQ(positions.size(), pointCount);
    EXPECT_EQ(std::vector<std::uint32_t>(indices.begin(), indices.begin() + 7),
              (std::vector<std::uint32_t>{7, 0, 1, 512, 512, 1, 513}));
    // The last cell joins the last row and column back to the first ones.
    EXPECT_EQ(std::vector<std::uint32_t>(indices.end() - 6, indices.end()),
              (std::vector<std::uint32_t>{262143, 261632, 511, 511, 261632, 0}));
    EXPECT_LT(*std::max_element(indices.begin(), indices.end()), pointCount);
}

TEST(Grid, PointsLieOnTheUnitSphereWithPolesOnTheYAxis) {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
    generateSphere(indices, positions);
    for (int column = 0; column < gridSize; ++column) {
        EXPECT_EQ(point(positions, 0, column), glm::vec3(0, 1, 0)) << column;
        EXPECT_NEAR(point(positions, 256, column).y, -1.0f, 3e-6f) << column;
    }
    EXPECT_FLOAT_EQ(point(positions, 128, 0).x, 1.0f);
    for (const glm::vec3& p : positions) EXPECT_NEAR(glm::length(glm::dvec3(p)), 1.0, 3e-7);
    // Both angles run a full turn, so row i meets row 512 - i half a turn round.
    for (int row = 1; row < gridSize / 2; row += 17) {
        for (int column = 0; column < gridSize; column += 31) {
            const glm::vec3 twin = point(positions, gridSize - row, (column + 256) % gridSize);
            EXPECT_LT(glm::distance(point(positions, row, column), twin), 1e-5f);
        }
    }
    // Sines are taken in double of the float angle; sinf moves thousands of points.
    int sinfDiffers = 0;
    for (int column = 0; column < gridSize; ++column) {
        const float angle = float(2.0 * column * double(3.14159f) / gridSize);
        const float sine = float(std::sin(double(angle)));
        sinfDiffers += sine != std::sin(angle);
        EXPECT_EQ(point(positions, 128, column).z, sine * point(positions, 128, 0).x) << column;
    }
    EXPECT_GT(sinfDiffers, 0);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "globe.h"

namespace {

constexpr std::uint32_t pointCount = gridSize * gridSize;

struct Grid {
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;
};

const Grid& grid() {
    static const Grid built = [] {
        Grid g;
        generateSphere(g.indices, g.positions);
        return g;
    }();
    return built;
}

}  // namespace

TEST(Grid, CountsAndIndexRange) {
    EXPECT_EQ(grid().positions.size(), pointCount);
    ASSERT_EQ(grid().indices.size(), 6u * pointCount);
    EXPECT_LT(*std::max_element(grid().indices.begin(), grid().indices.end()), pointCount);
}

TEST(Grid, TrianglesJoinNeighboursAndWrapBothWays) {
    const auto& indices = grid().indices;
    const std::vector<std::uint32_t> first(indices.begin(), indices.begin() + 6);
    EXPECT_EQ(first, (std::vector<std::uint32_t>{0, 1, 512, 512, 1, 513}));

    // The last cell joins the last row and column back to the first ones.
    const std::vector<std::uint32_t> last(indices.end() - 6, indices.end());
    EXPECT_EQ(last, (std::vector<std::uint32_t>{262143, 261632, 511, 511, 261632, 0}));

    // The last cell of row 0 wraps to column 0 of rows 0 and 1.
    const std::size_t rowEnd = 6 * 511;
    EXPECT_EQ(indices[rowEnd + 1], 0u);
    EXPECT_EQ(indices[rowEnd + 5], 512u);
}

TEST(Grid, PointsLieOnTheUnitSphere) {
    const auto& positions = grid().positions;
    for (int j = 0; j < gridSize; ++j) {
        EXPECT_EQ(positions[j].y, 1.0f) << "column " << j;
        EXPECT_EQ(std::abs(positions[j].x), 0.0f);
        EXPECT_EQ(std::abs(positions[j].z), 0.0f);
    }
    const glm::vec3 equator = positions[128 * gridSize];
    EXPECT_FLOAT_EQ(equator.x, 1.0f);
    EXPECT_NEAR(equator.y, 0.0f, 1e-5f);
    EXPECT_EQ(equator.z, 0.0f);

    float worstError = 0.0f;
    for (const glm::vec3& p : positions) {
        const double length = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        worstError = std::max(worstError, float(std::abs(length - 1.0)));
    }
    EXPECT_LT(worstError, 3e-7f);
}

TEST(Grid, SecondHalfOfTheRowsTracesTheSphereAgain) {
    // Both angles run a full turn, so row i and row 512 - i, half a turn round, meet.
    const auto& positions = grid().positions;
    for (int i = 1; i < gridSize / 2; i += 17) {
        for (int j = 0; j < gridSize; j += 31) {
            const glm::vec3 p = positions[i * gridSize + j];
            const glm::vec3 twin = positions[(gridSize - i) * gridSize + (j + 256) % gridSize];
            EXPECT_NEAR(p.x, twin.x, 1e-5f);
            EXPECT_NEAR(p.y, twin.y, 1e-5f);
            EXPECT_NEAR(p.z, twin.z, 1e-5f);
        }
    }
    const glm::vec3 southPole = positions[256 * gridSize + 77];
    EXPECT_NEAR(southPole.y, -1.0f, 3e-6f);
}

TEST(Grid, AppendsToWhatTheListsAlreadyHold) {
    std::vector<std::uint32_t> indices{7};
    std::vector<glm::vec3> positions{glm::vec3(2.0f)};
    generateSphere(indices, positions);
    EXPECT_EQ(indices.size(), 1 + 6u * pointCount);
    EXPECT_EQ(positions.size(), 1 + pointCount);
    EXPECT_EQ(indices[0], 7u);
    EXPECT_EQ(positions[1].y, 1.0f);
}

TEST(Grid, AnglesUseDoublePrecisionSinesOfFloatAngles) {
    // sinf/cosf of the same float angles move about 16,000 points by an ulp; the
    // double-precision rule is part of what the globe is.
    int checked = 0;
    for (int j = 0; j < gridSize; ++j) {
        const float angle = float(2.0 * j * double(3.14159f) / gridSize);
        const float sine = float(std::sin(double(angle)));
        if (sine == std::sin(angle)) continue;
        EXPECT_EQ(grid().positions[128 * gridSize + j].z, sine * grid().positions[128 * gridSize].x)
            << "column " << j;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

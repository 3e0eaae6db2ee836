#include <array>
#include <cmath>

#include "globe/environment.h"
#include "globe/globe.h"

namespace {

struct SineCosine {
    float sine;
    float cosine;
};

// Angle k of a full turn cut into gridSize steps. Sine and cosine are taken in double
// of the float angle and rounded to float: sinf/cosf would move thousands of points.
SineCosine gridAngle(int k) {
    const float angle = static_cast<float>(2.0 * k * static_cast<double>(pi) / gridSize);
    return {static_cast<float>(std::sin(static_cast<double>(angle))),
            static_cast<float>(std::cos(static_cast<double>(angle)))};
}

void appendSphere(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions) {
    constexpr std::uint32_t n = gridSize;
    positions.reserve(positions.size() + n * n);
    indices.reserve(indices.size() + 6 * n * n);

    // Rows and columns use the same angles, so each sine-cosine pair is taken once.
    std::array<SineCosine, gridSize> angles;
    for (int k = 0; k < gridSize; ++k) angles[k] = gridAngle(k);

    for (std::uint32_t i = 0; i < n; ++i) {
        const SineCosine row = angles[i];
        const std::uint32_t nextRow = (i + 1) % n;
        for (std::uint32_t j = 0; j < n; ++j) {
            const SineCosine column = angles[j];
            positions.emplace_back(column.cosine * row.sine, row.cosine, column.sine * row.sine);

            // The grid wraps both ways, so the last row and column join the first.
            const std::uint32_t nextColumn = (j + 1) % n;
            indices.insert(indices.end(),
                           {i * n + j, i * n + nextColumn, nextRow * n + j, nextRow * n + j,
                            i * n + nextColumn, nextRow * n + nextColumn});
        }
    }
}

}  // namespace

void generateSphere(std::vector<std::uint32_t>& indices, std::vector<glm::vec3>& positions) {
    inGlobeEnvironment([&] { appendSphere(indices, positions); });
}

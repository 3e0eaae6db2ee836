#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "globe.h"
#include "plain_relief.h"
#include "relief_kernels.h"

namespace {

std::vector<glm::vec3> sphere() {
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, positions);
    return positions;
}

// Every stride-th grid point: all rows and columns still show up, at a fraction of the cost.
std::vector<glm::vec3> thinnedSphere(std::size_t stride) {
    const std::vector<glm::vec3> all = sphere();
    std::vector<glm::vec3> some;
    for (std::size_t i = 0; i < all.size(); i += stride) some.push_back(all[i]);
    return some;
}

bool sameBytes(const std::vector<glm::vec3>& a, const std::vector<glm::vec3>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

std::vector<glm::vec3> shipped(std::vector<glm::vec3> positions, unsigned seed) {
    std::srand(seed);
    applyFaults(positions);
    return positions;
}

std::vector<glm::vec3> yardstick(std::vector<glm::vec3> positions, unsigned seed) {
    std::srand(seed);
    plainApplyFaults(positions);
    return positions;
}

std::vector<glm::vec3> drawnDirections(unsigned seed) {
    std::srand(seed);
    std::vector<glm::vec3> directions(faultCount);
    for (glm::vec3& d : directions) d = randomUnitVector();
    return directions;
}

using Kernel = void (*)(glm::vec3*, std::size_t, const glm::vec3*, std::size_t);

std::vector<glm::vec3> run(Kernel kernel, std::vector<glm::vec3> positions,
                           const std::vector<glm::vec3>& directions) {
    kernel(positions.data(), positions.size(), directions.data(), directions.size());
    return positions;
}

}  // namespace

TEST(Relief, MatchesThePlainLoopByteForByte) {
    const std::vector<glm::vec3> globe = sphere();
    for (const unsigned seed : {1u, 20240607u}) {
        EXPECT_TRUE(sameBytes(shipped(globe, seed), yardstick(globe, seed))) << "seed " << seed;
    }
    const std::vector<glm::vec3> thinned = thinnedSphere(29);
    for (unsigned seed = 2; seed < 8; ++seed) {
        EXPECT_TRUE(sameBytes(shipped(thinned, seed), yardstick(thinned, seed))) << "seed " << seed;
    }
}

TEST(Relief, BothKernelsMatchThePlainLoop) {
    for (const unsigned seed : {11u, 12u}) {
        const std::vector<glm::vec3> directions = drawnDirections(seed);
        const glm::vec3 d = directions[0];
        // The first cut's plane holds these exactly (the double sum is zero, so they
        // shrink); one float step either way puts them beside it by a hair.
        std::vector<glm::vec3> positions;
        for (const glm::vec3& p : {glm::vec3(d.y, -d.x, 0), glm::vec3(0, d.z, -d.y),
                                   glm::vec3(d.z, 0, -d.x), glm::vec3(d.y, -d.x, 0) * 0.5f}) {
            positions.push_back(p);
            positions.push_back({std::nextafter(p.x, 2.0f), p.y, p.z});
            positions.push_back({std::nextafter(p.x, -2.0f), p.y, p.z});
        }
        positions.resize(faultBlockSize, glm::vec3(0.6f, 0.0f, 0.8f));
        // A block of coordinates outside the range the fast path takes: far too small
        // for its division, and large.
        positions.push_back({3e4f, -2e4f, 1e4f});
        for (float i = 1; positions.size() < 2 * faultBlockSize; ++i) {
            positions.push_back(glm::vec3(i, i + 1, -i - 2) * 1e-37f);
        }
        // A tail after the last whole block.
        for (const glm::vec3& p : thinnedSphere(97)) positions.push_back(p);

        const std::vector<glm::vec3> expected = yardstick(positions, seed);
        EXPECT_TRUE(sameBytes(shipped(positions, seed), expected));
        EXPECT_TRUE(sameBytes(run(applyFaultsPortable, positions, directions), expected));
        if (avx2Available()) {
            EXPECT_TRUE(sameBytes(run(applyFaultsAvx2, positions, directions), expected));
        }
    }
}

TEST(Relief, FastKernelAsksTheRuleNearEveryPlane) {
    if (!avx2Available()) GTEST_SKIP() << "no AVX2 on this machine";
    // Directions chosen from the path of one point: every third cut passes exactly through
    // it, the others just beside it on alternating sides, so the float sums there are far
    // inside their error bound on every pass.
    std::vector<glm::vec3> positions = thinnedSphere(4096);
    positions.resize(2 * faultBlockSize);
    glm::vec3 followed = positions[7];
    std::vector<glm::vec3> directions;
    for (int pass = 0; pass < faultCount; ++pass) {
        const float offset = pass % 3 == 0 ? 0.0f : (pass % 2 ? 1e-9f : -1e-9f);
        directions.push_back({followed.y, -followed.x, offset});
        applyFaultsPortable(&followed, 1, &directions.back(), 1);
    }
    const std::vector<glm::vec3> expected = run(applyFaultsPortable, positions, directions);
    EXPECT_EQ(expected[7], followed);
    EXPECT_TRUE(sameBytes(run(applyFaultsAvx2, positions, directions), expected));
}

TEST(Relief, DrawsTwoNumbersPerCutEvenForAnEmptyList) {
    constexpr unsigned seed = 77;
    std::vector<glm::vec3> empty;
    std::srand(seed);
    applyFaults(empty);
    const int next = std::rand();
    std::srand(seed);
    for (int draw = 0; draw < 2 * faultCount; ++draw) std::rand();
    EXPECT_EQ(next, std::rand());
}

TEST(Relief, ExtremeDrawsGiveThePoles) {
    EXPECT_EQ(unitVectorFromDraws(0, 12345), glm::vec3(0, 0, -1));
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX, RAND_MAX / 3), glm::vec3(0, 0, 1));
}

TEST(Relief, ShapesTheGlobeAndRepeatsForASeed) {
    const std::vector<glm::vec3> globe = sphere();
    const std::vector<glm::vec3> relief = shipped(globe, 5);
    EXPECT_TRUE(sameBytes(relief, shipped(globe, 5)));
    EXPECT_FALSE(sameBytes(relief, shipped(globe, 6)));

    // Each length is faultScale to an even power: every cut moves a point one step, and
    // an even number of steps is left after an even number of cuts.
    const double logScale = std::log(static_cast<double>(faultScale));
    for (std::size_t i = 0; i < relief.size(); ++i) {
        const glm::vec3 p = relief[i];
        const double length =
            std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                      static_cast<double>(p.z) * p.z);
        const long steps = std::lround(std::log(length) / logScale);
        ASSERT_EQ(steps % 2, 0) << "position " << i;
        ASSERT_NEAR(length / std::pow(static_cast<double>(faultScale), steps), 1.0, 1e-4)
            << "position " << i;
    }

    // Row 0 is one point, the pole, and stays one point.
    for (int j = 1; j < gridSize; ++j) EXPECT_EQ(relief[j], relief[0]) << "column " << j;
}

TEST(Relief, DivisionFreeScalingRoundsAsTheDivision) {
    if (!avx2Available()) GTEST_SKIP() << "no AVX2 on this machine";
    // Every float of either sign the fast path may meet; zeros go through the globe tests.
    std::uint32_t first, last;
    std::memcpy(&first, &divisionFreeSmallest, sizeof first);
    std::memcpy(&last, &divisionFreeLargest, sizeof last);
    constexpr std::size_t chunk = 1 << 16;
    std::vector<float> in(chunk), out(chunk);
    std::size_t mismatches = 0;
    for (const std::uint32_t sign : {0u, 0x80000000u}) {
        for (std::uint64_t start = first; start <= last; start += chunk) {
            const std::size_t count = std::min<std::uint64_t>(chunk, last + 1 - start);
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t bits = static_cast<std::uint32_t>(start + i) | sign;
                std::memcpy(&in[i], &bits, sizeof bits);
            }
            divideByFaultScaleAvx2(in.data(), out.data(), count);
            for (std::size_t i = 0; i < count; ++i) {
                const float quotient = in[i] / faultScale;
                mismatches += std::memcmp(&out[i], &quotient, sizeof quotient) != 0;
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

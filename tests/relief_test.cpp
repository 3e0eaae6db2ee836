#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <glm/geometric.hpp>
#include <random>
#include <vector>

#include "globe/globe.h"
#include "globe/relief_kernels.h"

namespace {

// Every stride-th point of the sphere grid: all rows and columns still show up.
std::vector<glm::vec3> sphere(std::size_t stride = 1) {
    std::vector<glm::vec3> all, some;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, all);
    for (std::size_t i = 0; i < all.size(); i += stride) some.push_back(all[i]);
    return some;
}

bool sameBytes(const std::vector<glm::vec3>& a, const std::vector<glm::vec3>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

// The positions after the shipped relief of the seed.
std::vector<glm::vec3> relief(std::vector<glm::vec3> positions, unsigned seed) {
    std::srand(seed);
    applyFaults(positions);
    return positions;
}

std::vector<glm::vec3> afterPasses(FaultPasses& kernel, std::vector<glm::vec3> positions,
                                   const std::vector<glm::vec3>& directions) {
    kernel(positions.data(), positions.size(), directions.data(), directions.size());
    return positions;
}

// Checks the portable kernel, and the AVX2 one where the processor has it, against the
// rule as written.
void expectKernelsFollowTheRule(const std::vector<glm::vec3>& positions,
                                const std::vector<glm::vec3>& directions) {
    const std::vector<glm::vec3> rule = afterPasses(applyFaultsInOrder, positions, directions);
    EXPECT_TRUE(sameBytes(afterPasses(applyFaultsPortable, positions, directions), rule));
    if (avx2Available()) {
        EXPECT_TRUE(sameBytes(afterPasses(applyFaultsAvx2, positions, directions), rule));
    }
}

// FNV-1a over the bytes of the positions: a short name for a whole globe.
std::uint64_t digest(const std::vector<glm::vec3>& positions) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    const auto* bytes = reinterpret_cast<const unsigned char*>(positions.data());
    for (std::size_t i = 0; i < positions.size() * sizeof(glm::vec3); ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3u;
    }
    return hash;
}

}  // namespace

TEST(Relief, KernelsMatchTheRuleByteForByte) {
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 11u, 12u, 20240607u}) {
        std::srand(seed);
        const glm::vec3 d = randomUnitVector();
        // The first cut's plane holds these exactly (the double sum is zero, so they shrink);
        // one float step either way puts them beside it by a hair.
        std::vector<glm::vec3> onPlane;
        for (const glm::vec3& p : {glm::vec3(d.y, -d.x, 0), glm::vec3(d.z, 0, -d.x) * 2.0f,
                                   glm::vec3(d.y, -d.x, 0) * 0.5f}) {
            for (const float towards : {p.x, 2.0f, -2.0f})
                onPlane.push_back({std::nextafter(p.x, towards), p.y, p.z});
        }
        // They fill part of a block the kernels take, where their float sums cannot tell the
        // sides apart and they must ask the rule, and part of one they leave to the rule for
        // coordinates too small for the AVX2 division. Then a block of large coordinates, and
        // a globe ending in a tail short of a whole block.
        std::vector<glm::vec3> positions = onPlane;
        positions.resize(faultBlockSize, glm::vec3(0.6f, 0.0f, 0.8f));
        positions.insert(positions.end(), onPlane.begin(), onPlane.end());
        for (float i = 1; positions.size() < 2 * faultBlockSize; ++i)
            positions.push_back(glm::vec3(i, i + 1, -i - 2) * 1e-37f);
        positions.resize(3 * faultBlockSize, glm::vec3(3e4f, -2e4f, 1e4f));
        const std::vector<glm::vec3> globe = sphere(seed == 1 || seed > 20 ? 1 : 29);
        positions.insert(positions.end(), globe.begin(), globe.end());
        SCOPED_TRACE(seed);
        std::srand(seed);
        std::vector<glm::vec3> directions(faultCount);
        for (glm::vec3& direction : directions) direction = randomUnitVector();
        expectKernelsFollowTheRule(positions, directions);
        EXPECT_TRUE(sameBytes(relief(positions, seed),
                              afterPasses(applyFaultsInOrder, positions, directions)));
    }
}

TEST(Relief, DrawsTwoNumbersPerCutAndExtremeDrawsGiveThePoles) {
    relief({}, 77);  // an empty list still draws every direction
    const int next = std::rand();
    std::srand(77);
    for (int draw = 0; draw < 2 * faultCount; ++draw) std::rand();
    EXPECT_EQ(next, std::rand());
    EXPECT_EQ(unitVectorFromDraws(0, 12345), glm::vec3(0, 0, -1));
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX, RAND_MAX / 3), glm::vec3(0, 0, 1));
}

TEST(Relief, ShapesTheGlobeAndRepeatsForASeed) {
    const std::vector<glm::vec3> globe = sphere(), shaped = relief(globe, 5);
    EXPECT_TRUE(sameBytes(shaped, relief(globe, 5)));
    EXPECT_FALSE(sameBytes(shaped, relief(globe, 6)));
    // Every cut moves a point one step of faultScale, so after an even number of cuts each
    // length is faultScale to an even power (to within 1e-4).
    for (std::size_t i = 0; i < shaped.size(); ++i) {
        const double steps =
            std::log(glm::length(glm::dvec3(shaped[i]))) / std::log(1.0 * faultScale);
        ASSERT_NEAR(steps, 2 * std::round(steps / 2), 0.08) << "position " << i;
    }
    // Row 0 is one point, the pole, and stays one point.
    for (int j = 1; j < gridSize; ++j) EXPECT_EQ(shaped[j], shaped[0]) << "column " << j;
}

TEST(Relief, DivisionFreeScalingRoundsAsTheDivision) {
    if (!avx2Available()) GTEST_SKIP() << "no AVX2 on this machine";
    // Every float of either sign the fast path may meet, a chunk at a time.
    std::uint32_t first, last;
    std::memcpy(&first, &divisionFreeSmallest, sizeof first);
    std::memcpy(&last, &divisionFreeLargest, sizeof last);
    std::vector<std::uint32_t> bits(1 << 17);
    std::vector<float> in(bits.size()), out(bits.size());
    std::size_t mismatches = 0;
    for (std::uint32_t start = first; start <= last; start += bits.size() / 2) {
        for (std::uint32_t i = 0; i < bits.size(); ++i)
            bits[i] = std::min(start + i / 2, last) | (i % 2) << 31;
        std::memcpy(in.data(), bits.data(), bits.size() * sizeof bits[0]);
        divideByFaultScaleAvx2(in.data(), out.data(), in.size());
        for (std::size_t i = 0; i < in.size(); ++i) mismatches += out[i] != in[i] / faultScale;
    }
    EXPECT_EQ(mismatches, 0u);
}

// Written down once from the relief as it first shipped, so that any change to what a seed
// gives (the fault count or scale, the full-turn constant, the order of the terms, sine for
// cosine) fails here even where the fast paths and the yardstick change together. The
// globes follow glibc's rand(); the directions from given draws follow no library.
TEST(Relief, GivesTheSameGlobeForASeedAsEver) {
    EXPECT_EQ(unitVectorFromDraws(12345, 678901),
              glm::vec3(0x1.3a593ep-8f, 0x1.3fb26cp-17f, -0x1.fffe7ep-1f));
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX / 3, RAND_MAX / 5 * 4),
              glm::vec3(0x1.2a561ep-2f, -0x1.cb17a2p-1f, -0x1.555554p-2f));
    const std::vector<glm::vec3> globe = sphere();
    const std::vector<glm::vec3> first = relief(globe, 1), second = relief(globe, 20240607);
    EXPECT_EQ(digest(first), 0xbb5651faa66fccd7u);
    EXPECT_EQ(digest(second), 0x86fd11c8b7a13da6u);
    EXPECT_EQ(first[128 * gridSize + 3], glm::vec3(0x1.0bc12ap+0f, 0x1.6421a6p-20f, 0x1.3b955p-5f));
    EXPECT_EQ(first[100000], glm::vec3(-0x1.0ca196p-2f, -0x1.79d3cp-1f, 0x1.44449cp-1f));
    EXPECT_EQ(second[0], glm::vec3(0, 0x1.06d81p+0f, 0));
    EXPECT_EQ(second[gridSize * gridSize - 1],
              glm::vec3(-0x1.990fb4p-7f, 0x1.045092p+0f, 0x1.416cfep-13f));
}

// Points so near the plane of the cut d that the float sum of their products, taken as
// floatSum takes it, has the other sign from the rule's side, and is off zero by more than
// a twentieth of what the kernels allow for (five float units of the length): a kernel
// trusting a bound much tighter than its own takes the wrong side for them.
template <typename FloatSum>
std::vector<glm::vec3> wrongInFloat(const glm::vec3& d, FloatSum floatSum) {
    const glm::vec3 across = glm::normalize(glm::cross(d, glm::vec3(0.3f, 0.5f, 0.7f)));
    const glm::vec3 along = glm::cross(d, across);
    std::mt19937 generator(7);
    std::vector<glm::vec3> found;
    while (found.size() < faultBlockSize) {
        const float angle = generator() * 0x1p-32f * 6.2831855f;
        const float offset = (generator() * 0x1p-32f - 0.5f) * 0x1p-22f;
        const glm::vec3 p = across * std::cos(angle) + along * std::sin(angle) + d * offset;
        const float sum = floatSum(p);
        if ((sum > 0) != (sideOfCut(p, d) > 0) && std::fabs(sum) > 0.3f * 0x1p-24f) {
            found.push_back(p);
        }
    }
    return found;
}

TEST(Relief, KernelsTrustAFloatSumOnlyBeyondItsErrorBound) {
    for (const glm::vec3 d : {glm::normalize(glm::vec3(0.48f, -0.6f, 0.64f)),
                              glm::normalize(glm::vec3(-0.7f, 0.5f, 0.51f))}) {
        SCOPED_TRACE(d.x);
        // Every coordinate is sizeable, so that the rounding of each product weighs. The portable
        // kernel sums the rounded products in the rule's order, the AVX2 one fuses the last two.
        std::vector<glm::vec3> positions = wrongInFloat(
            d, [&](const glm::vec3& p) { return (p.y * d.y + p.x * d.x) + p.z * d.z; });
        const std::vector<glm::vec3> fused = wrongInFloat(d, [&](const glm::vec3& p) {
            return std::fma(p.z, d.z, std::fma(p.x, d.x, p.y * d.y));
        });
        positions.insert(positions.end(), fused.begin(), fused.end());
        expectKernelsFollowTheRule(positions, {d});
        expectKernelsFollowTheRule(positions, {d, -d, d});
    }
    // Products among the denormals round by half a step each whatever the lengths are:
    // 1.5, 1.5 and -2.5 steps of 2^-149 round to 2, 2 and -2, so the float sum is two
    // steps above zero where the rule's 0.5 steps round to a zero side, which shrinks.
    const glm::vec3 denormal = glm::vec3(3, 3, 5) * 0x1p-149f;
    expectKernelsFollowTheRule(std::vector<glm::vec3>(faultBlockSize, {0.5f, 0.5f, -0.5f}),
                               {denormal});
}

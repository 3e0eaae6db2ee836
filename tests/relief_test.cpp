#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <glm/geometric.hpp>
#include <random>
#include <vector>

#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

namespace {

using Positions = std::vector<glm::vec3>;

Positions sphere() {
    Positions positions;
    std::vector<std::uint32_t> indices;
    generateSphere(indices, positions);
    return positions;
}

Positions relief(Positions positions, unsigned seed) {
    std::srand(seed);
    applyFaults(positions);
    return positions;
}

Positions byTheRule(Positions positions, const Positions& directions) {
    applyCutsInOrder(positions.data(), positions.size(), directions.data(), directions.size());
    return positions;
}

Positions byKernel(BlockKernel kernel, Positions positions, const Positions& directions) {
    applyCutsInBlocks(kernel, positions.data(), positions.size(), directions.data(),
                      directions.size());
    return positions;
}

// The portable kernel, and the AVX2 one where the processor has it, against the rule.
void expectKernelsFollowTheRule(const Positions& positions, const Positions& directions) {
    const Positions rule = byTheRule(positions, directions);
    EXPECT_TRUE(sameBytes(byKernel(runBlockPortably, positions, directions), rule));
    if (const BlockKernel avx2 = avx2Kernel()) {
        EXPECT_TRUE(sameBytes(byKernel(avx2, positions, directions), rule));
    }
}

}  // namespace

TEST(Relief, KernelsMatchTheRuleByteForByte) {
    const Positions globe = sphere();
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 11u, 12u, 20240607u}) {
        SCOPED_TRACE(seed);
        std::srand(seed);
        const Positions directions = randomDirections();
        // Exactly on the first cut's plane (the double sum is zero, so they shrink), and one
        // float step either way: in a block the kernels take, where the float sums cannot
        // tell the sides apart, and in one left to the rule for coordinates too small.
        const glm::vec3 d = directions[0];
        Positions onPlane;
        for (const glm::vec3& p : {glm::vec3(d.y, -d.x, 0), glm::vec3(d.z, 0, -d.x) * 2.0f,
                                   glm::vec3(d.y, -d.x, 0) * 0.5f}) {
            for (const float towards : {p.x, 2.0f, -2.0f})
                onPlane.push_back({std::nextafter(p.x, towards), p.y, p.z});
        }
        Positions positions = onPlane;
        positions.resize(blockSize, glm::vec3(0.6f, 0.0f, 0.8f));
        positions.insert(positions.end(), onPlane.begin(), onPlane.end());
        for (float i = 1; positions.size() < 2 * blockSize; ++i)
            positions.push_back(glm::vec3(i, i + 1, -i - 2) * 1e-37f);
        // Then a block of large coordinates, blocks at both ends of what the kernels take (the
        // coordinate range narrowed by the largest drift, 4), and a globe ending in a tail
        // short of a block.
        positions.resize(3 * blockSize, glm::vec3(3e4f, -2e4f, 1e4f));
        for (const float end : {smallestCoordinate * 4, largestCoordinate / 8}) {
            for (std::size_t i = 0; i < blockSize; ++i)
                positions.push_back(glm::vec3(i % 2 ? 1 : -1, i % 3 ? 1.5f : -1.5f, 1 + i / 32.0f) *
                                    end);
        }
        for (std::size_t i = 0; i < globe.size(); i += seed == 1 || seed > 20 ? 1 : 29)
            positions.push_back(globe[i]);
        expectKernelsFollowTheRule(positions, directions);
        EXPECT_TRUE(sameBytes(relief(positions, seed), byTheRule(positions, directions)));
    }
}

// The AVX2 kernel divides without a divide instruction. Every float of the lowest and the
// highest binade a coordinate can drift into, of either sign, and zeros of either sign.
TEST(Relief, AvxKernelDividesAsTheRuleAcrossTheCoordinateRange) {
    const BlockKernel avx2 = avx2Kernel();
    if (!avx2) GTEST_SKIP() << "no AVX2 on this machine";
    const glm::vec3 shrinking(-1, 0, 0);  // every position here is on its negative side
    for (const float binade : {smallestCoordinate, largestCoordinate / 2}) {
        SCOPED_TRACE(binade);
        std::size_t mismatchedBlocks = 0;
        for (float x = binade; x < 2 * binade;) {
            alignas(32) BlockCoordinates block, expected;
            for (std::size_t i = 0; i < blockSize; ++i) {
                block[0][i] = x;
                block[1][i] = -x;
                block[2][i] = i % 2 ? 0.0f : -0.0f;
                for (int axis = 0; axis < 3; ++axis)
                    expected[axis][i] = block[axis][i] / faultScale;
                x = std::nextafter(x, INFINITY);
            }
            avx2(block, &shrinking, 1, 0);  // a bound of zero: the kernel sees every float sum
            mismatchedBlocks += std::memcmp(block, expected, sizeof(block)) != 0;
        }
        EXPECT_EQ(mismatchedBlocks, 0u);
    }
}

// The viewer draws the directions itself and hands them to a worker, so a list of any
// length must be cut in its own order, as the rule does.
TEST(Relief, CutsFollowTheDirectionsGiven) {
    const Positions globe = sphere();
    std::srand(5);
    const Positions directions = randomDirections();
    for (const std::size_t count : {std::size_t{0}, std::size_t{3}, directions.size()}) {
        const Positions some(directions.begin(), directions.begin() + count);
        // Spared cores change only how the positions are shared out among the threads.
        for (const unsigned sparedCores : {0u, 1u, 1000u}) {
            Positions cut = globe;
            applyCuts(cut, some, sparedCores);
            EXPECT_TRUE(sameBytes(cut, byTheRule(globe, some)))
                << count << " directions, " << sparedCores << " cores spared";
        }
    }
}

// Written down from the relief as it first shipped, so that any change to what a seed gives
// fails even where the fast paths and the rule change together. The globes follow glibc's rand().
TEST(Relief, GivesTheSameGlobeForASeedAsEver) {
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX / 3, RAND_MAX / 5 * 4),
              glm::vec3(0x1.2a561ep-2f, -0x1.cb17a2p-1f, -0x1.555554p-2f));
    EXPECT_EQ(unitVectorFromDraws(0, 12345), glm::vec3(0, 0, -1));  // the extreme draws: poles
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX, RAND_MAX / 3), glm::vec3(0, 0, 1));
    // The terms cancel so that only the rule's grouping, (y + x) + z, leaves a positive side.
    const glm::vec3 cancelling(-1, 1, 0x1p-30f);
    EXPECT_EQ(byTheRule({cancelling}, {{1, 1, 0x1p-30f}})[0], cancelling * faultScale);
    const Positions globe = sphere();
    const Positions first = relief(globe, 1), second = relief(globe, 20240607);
    const auto digest = [](const Positions& positions) {  // FNV-1a over the bytes
        std::uint64_t hash = 0xcbf29ce484222325u;
        const auto* bytes = reinterpret_cast<const unsigned char*>(positions.data());
        for (std::size_t i = 0; i < positions.size() * sizeof(glm::vec3); ++i)
            hash = (hash ^ bytes[i]) * 0x100000001b3u;
        return hash;
    };
    EXPECT_EQ(digest(first), 0xbb5651faa66fccd7u);
    EXPECT_EQ(digest(second), 0x86fd11c8b7a13da6u);
    EXPECT_EQ(first[128 * gridSize + 3], glm::vec3(0x1.0bc12ap+0f, 0x1.6421a6p-20f, 0x1.3b955p-5f));
    EXPECT_EQ(second[0], glm::vec3(0, 0x1.06d81p+0f, 0));
    EXPECT_EQ(second[gridSize * gridSize - 1],
              glm::vec3(-0x1.990fb4p-7f, 0x1.045092p+0f, 0x1.416cfep-13f));
}

// Points so near the cut d's plane that the float sum (the rule's order for the portable
// kernel, fused for AVX2) has the wrong sign yet is off zero by over a twentieth of the bound
// the kernels allow: a kernel trusting a much tighter bound takes the wrong side for them.
TEST(Relief, KernelsTrustAFloatSumOnlyBeyondItsErrorBound) {
    for (const glm::vec3 d : {glm::normalize(glm::vec3(0.48f, -0.6f, 0.64f)),
                              glm::normalize(glm::vec3(-0.7f, 0.5f, 0.51f))}) {
        SCOPED_TRACE(d.x);
        const glm::vec3 across = glm::normalize(glm::cross(d, glm::vec3(0.3f, 0.5f, 0.7f)));
        const glm::vec3 along = glm::cross(d, across);
        std::mt19937 generator(7);
        Positions positions;
        int found[2] = {0, 0};
        for (int tries = 0; tries < 1000000 && found[0] + found[1] < 2 * int(blockSize); ++tries) {
            const float angle = generator() * 0x1p-32f * 6.2831855f;
            const float offset = (generator() * 0x1p-32f - 0.5f) * 0x1p-22f;
            const glm::vec3 p = across * std::cos(angle) + along * std::sin(angle) + d * offset;
            const float sums[2] = {(p.y * d.y + p.x * d.x) + p.z * d.z,
                                   std::fma(p.z, d.z, std::fma(p.x, d.x, p.y * d.y))};
            for (int kind = 0; kind < 2; ++kind) {
                if ((sums[kind] > 0) != (sideOfCut(p, d) > 0) && found[kind] < int(blockSize) &&
                    std::fabs(sums[kind]) > 0.3f * 0x1p-24f) {
                    positions.push_back(p);
                    ++found[kind];
                    break;
                }
            }
        }
        ASSERT_EQ(positions.size(), 2 * blockSize);
        expectKernelsFollowTheRule(positions, {d, -d, d});
    }
    // Among the subnormals a sum rounds by half a step whatever the lengths are. The first,
    // tiny cut shrinks the positions, so the rule's second side is 0.4994 steps of 2^-149 and
    // rounds to zero, which shrinks; the kernels' sums, taken before that cut scales, round
    // 1.5, 1.5 and -2.5 steps to two steps above zero, for both orders of summing.
    expectKernelsFollowTheRule(Positions(blockSize, {0.5f, 0.5f, -0.5f}),
                               {{-0x1p-140f, 0, 0}, glm::vec3(3, 3, 5) * 0x1p-149f});
}

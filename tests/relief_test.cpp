#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "globe/environment.h"
#include "globe/globe.h"
#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"
#include "tests/fixture.h"

namespace {

using Positions = std::vector<glm::vec3>;

// The rule and the block driver compute in their caller's environment: here in the globe's own,
// as from the entry points, even if the test program started with flush-to-zero set.
Positions byTheRule(Positions positions, const Positions& directions) {
    inGlobeEnvironment([&] {
        applyCutsInOrder(positions.data(), positions.size(), directions.data(), directions.size());
    });
    return positions;
}

Positions byKernel(BlockKernel kernel, Positions positions, const Positions& directions) {
    inGlobeEnvironment([&] {
        applyCutsInBlocks(kernel, positions.data(), positions.size(), directions.data(),
                          directions.size());
    });
    return positions;
}

// The portable kernel, and the AVX2 one where the processor has it, against the rule.
void expectKernelsFollowTheRule(const Positions& positions, const Positions& directions) {
    const Positions rule = byTheRule(positions, directions);
    EXPECT_EQ(firstDifference(byKernel(runBlockPortably, positions, directions), rule), "");
    if (const BlockKernel avx2 = avx2Kernel()) {
        EXPECT_EQ(firstDifference(byKernel(avx2, positions, directions), rule), "");
    }
}

// What seed 1 gives, as the relief first shipped.
constexpr std::uint64_t firstDigest = 0xbb5651faa66fccd7u;

}  // namespace

TEST(Relief, KernelsMatchTheRuleByteForByte) {
    const Positions globe = sphere().positions;
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
        // Then large coordinates, a block at either end of the range the kernels take (narrowed
        // by the largest drift, 4), and a globe ending in a tail short of a block.
        positions.resize(3 * blockSize, glm::vec3(3e4f, -2e4f, 1e4f));
        for (const float end : {smallestCoordinate * 4, largestCoordinate / 8}) {
            for (std::size_t i = 0; i < blockSize; ++i)
                positions.push_back(glm::vec3(i % 2 ? 1 : -1, i % 3 ? 1.5f : -1.5f, 1 + i / 32.0f) *
                                    end);
        }
        for (std::size_t i = 0; i < globe.size(); i += seed == 1 || seed > 20 ? 1 : 29)
            positions.push_back(globe[i]);
        expectKernelsFollowTheRule(positions, directions);
        EXPECT_EQ(firstDifference(relief(positions, seed), byTheRule(positions, directions)), "");
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

// Directions handed to the worker, however many, are cut in their own order, as by the rule.
TEST(Relief, CutsFollowTheDirectionsGiven) {
    const Positions globe = sphere().positions;
    std::srand(5);
    const Positions directions = randomDirections();
    for (const std::size_t count : {std::size_t{0}, std::size_t{3}, directions.size()}) {
        const Positions some(directions.begin(), directions.begin() + count);
        // Spared cores change only how the positions are shared out among the threads.
        for (const unsigned sparedCores : {0u, 1u, 1000u}) {
            Positions cut = globe;
            applyCuts(cut, some, sparedCores);
            EXPECT_EQ(firstDifference(cut, byTheRule(globe, some)), "")
                << count << " directions, " << sparedCores << " cores spared";
        }
    }
}

// Written down from the relief as it first shipped, so that any change to what a seed gives
// fails even where the kernels and the rule change together. The globes follow glibc's rand().
TEST(Relief, GivesTheSameGlobeForASeedAsEver) {
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX / 3, RAND_MAX / 5 * 4),
              glm::vec3(0x1.2a561ep-2f, -0x1.cb17a2p-1f, -0x1.555554p-2f));
    EXPECT_EQ(unitVectorFromDraws(0, 12345), glm::vec3(0, 0, -1));  // the extreme draws: poles
    EXPECT_EQ(unitVectorFromDraws(RAND_MAX, RAND_MAX / 3), glm::vec3(0, 0, 1));
    // The terms cancel so that only the rule's grouping, (y + x) + z, leaves a positive side.
    const glm::vec3 cancelling(-1, 1, 0x1p-30f);
    EXPECT_EQ(byTheRule({cancelling}, {{1, 1, 0x1p-30f}})[0], cancelling * faultScale);
    const Positions globe = sphere().positions;
    EXPECT_EQ(digest(relief(globe, 1)), firstDigest);
    EXPECT_EQ(digest(relief(globe, 20240607)), 0x86fd11c8b7a13da6u);
}

// Sums of the wrong sign as far from zero as searches found them, beyond 1.99u |p| G D in the
// rule's order (the portable kernel's) and 1.72u |p| G D fused (the AVX2 kernel's), after a
// first cut along p: a kernel trusting a bound much below its own takes the wrong side here.
TEST(Relief, KernelsTrustAFloatSumOnlyBeyondItsErrorBound) {
    const glm::vec3 farthestInOrder(-0x1.1ba416p-9f, 0x1.28ee76p-1f, 0x1.282c98p-1f);
    expectKernelsFollowTheRule(
        Positions(blockSize, farthestInOrder),
        {farthestInOrder, {0x1.32db08p-10f, 0x1.ba3b86p-1f, -0x1.bb5c6ap-1f}});
    const glm::vec3 farthestFused(0x1.b34452p-10f, 0x1.0489ccp-1f, 0x1.1c92e4p-1f);
    expectKernelsFollowTheRule(Positions(blockSize, farthestFused),
                               {farthestFused, {-0x1.c9216p-5f, 0x1.0e31c8p+0f, -0x1.eea956p-1f}});
    // Among the subnormals a sum rounds by half a step whatever the lengths are. The first,
    // tiny cut shrinks the positions, so the rule's second side is 0.4994 steps of 2^-149 and
    // rounds to zero, which shrinks; the kernels' sums, taken before that cut scales, round
    // 1.5, 1.5 and -2.5 steps to two steps above zero, for both orders of summing.
    expectKernelsFollowTheRule(Positions(blockSize, {0.5f, 0.5f, -0.5f}),
                               {{-0x1p-140f, 0, 0}, glm::vec3(3, 3, 5) * 0x1p-149f});
}

// The AVX2 kernel divides by fma(x, reciprocalHigh, x * reciprocalLow). Every float of a binade
// through std::fma, so that the split is checked on every machine; the proof carries it to
// every binade where x * reciprocalLow is normal. A split a little off must fail the check.
TEST(Relief, ReciprocalSplitDividesAsTheRule) {
    const auto mismatches = [](float high, float low) {
        std::size_t count = 0;
        for (float x = 1; x < 2; x = std::nextafter(x, 2.0f))
            count += std::fma(x, high, x * low) != x / faultScale;
        return count;
    };
    EXPECT_EQ(mismatches(reciprocalHigh, reciprocalLow), 0u);
    EXPECT_GT(mismatches(reciprocalHigh, 0), 0u);  // the reciprocal rounded to a float
    EXPECT_GT(mismatches(std::nextafter(reciprocalHigh, 1.0f), reciprocalLow), 0u);
}

// A caller's flush-to-zero or denormals-are-zero (a library built with -ffast-math sets them)
// or rounding leaves the bytes alone, and the caller gets its environment back.
TEST(Relief, GivesTheSameBytesWhateverEnvironmentTheCallerSet) {
    // A whole block, for a kernel, and a tail, for the rule, on another thread where there are
    // two cores. Cut along a tiny direction and back, the first positions' second side rounds
    // to a subnormal float; the others' third side is a product with a subnormal term.
    const glm::vec3 first(0x1p-10f, 1, 1), second(1, 1, 1);
    Positions positions(blockSize, first);
    positions.resize(2 * blockSize, second);
    positions.insert(positions.end(), {first, second});
    const Positions directions = {{-0x1p-116f, 0, 0}, {0x1p-116f, 0, 0}, {0x1p-149f, 0, 0}};
    const Positions rule = byTheRule(positions, directions);

    const std::uint32_t callerControl = controlRegister();
    const int callerRounding = std::fegetround();
    for (const CallerSetting& setting : callerSettings) {
        SCOPED_TRACE(setting.name);
        setControlRegister(callerControl | setting.controlBits);
        std::fesetround(setting.rounding);
        const std::uint32_t setControl = controlRegister();
        Positions cut = positions;
        applyCuts(cut, directions);
        const std::string difference = firstDifference(cut, rule);
        const std::uint64_t firstGlobe = digest(relief(sphere().positions, 1));
        const std::uint32_t control = controlRegister();
        const int rounding = std::fegetround();
        setControlRegister(callerControl);
        std::fesetround(callerRounding);
        EXPECT_EQ(difference, "");
        EXPECT_EQ(firstGlobe, firstDigest);
        EXPECT_EQ(control, setControl);  // the caller's, given back
        EXPECT_EQ(rounding, setting.rounding);
    }
}

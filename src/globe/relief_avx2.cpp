#include <algorithm>

#include "globe/relief_kernels.h"
#include "globe/relief_rule.h"

#ifdef __x86_64__

#include <immintrin.h>

namespace {

constexpr int lanes = 8, groupCount = blockSize / lanes;
static_assert(blockSize % lanes == 0);

// Only the kernel uses AVX2 and FMA, so the program still starts on older processors.
#pragma GCC push_options
#pragma GCC target("avx2,fma")

// All cuts over one block in registers: the groups keep both vector units busy while each
// waits on its own results.
void runBlockWithAvx2(BlockCoordinates& block, const glm::vec3* directions,
                      std::size_t directionCount, float bound) {
    __m256 groups[groupCount][3];  // eight positions each, a coordinate to a register
    for (int g = 0; g < groupCount; ++g) {
        for (int axis = 0; axis < 3; ++axis)
            groups[g][axis] = _mm256_load_ps(&block[axis][g * lanes]);
    }
    const auto store = [&] {
        for (int g = 0; g < groupCount; ++g) {
            for (int axis = 0; axis < 3; ++axis)
                _mm256_store_ps(&block[axis][g * lanes], groups[g][axis]);
        }
    };
    // This cut's side of each position, negative where it shrinks; zeros ask the rule at first.
    __m256 sides[groupCount] = {};
    const __m256 grow = _mm256_set1_ps(faultScale), zero = _mm256_setzero_ps();
    const __m256 shrinkHigh = _mm256_set1_ps(reciprocalHigh), signBit = _mm256_set1_ps(-0.0f);
    const __m256 shrinkLow = _mm256_set1_ps(reciprocalLow), bounds = _mm256_set1_ps(bound);
    for (std::size_t cut = 0; cut < directionCount; ++cut) {
        __m256 unsure = zero;  // all bits set where a side's magnitude is within the bound
        for (const __m256 groupSides : sides)
            unsure = _mm256_or_ps(
                unsure, _mm256_cmp_ps(_mm256_andnot_ps(signBit, groupSides), bounds, _CMP_LE_OQ));
        // Near the cutting plane the float sum may have the wrong sign: ask the rule.
        if (!_mm256_testz_ps(unsure, unsure)) {
            alignas(32) float rule[blockSize];
            store();
            ruleSides(block, directions[cut], rule);
            for (int g = 0; g < groupCount; ++g) {
                // A side of zero shrinks, so it gets the sign bit that a negative side has.
                const __m256 side = _mm256_load_ps(&rule[g * lanes]);
                const __m256 notPositive = _mm256_cmp_ps(side, zero, _CMP_LE_OQ);
                sides[g] = _mm256_or_ps(side, _mm256_and_ps(notPositive, signBit));
            }
        }
        // The next cut's sums are taken before this cut scales, so both run side by side. The
        // last cut has no next one: its own direction stands in, and those sums go unused.
        const glm::vec3& next = directions[std::min(cut + 1, directionCount - 1)];
        for (int g = 0; g < groupCount; ++g) {
            const __m256 yTerms = _mm256_mul_ps(groups[g][1], _mm256_set1_ps(next.y));
            const __m256 nextSides =
                _mm256_fmadd_ps(groups[g][2], _mm256_set1_ps(next.z),
                                _mm256_fmadd_ps(groups[g][0], _mm256_set1_ps(next.x), yTerms));
            // The blends read only the sign bit of the side. Growing is fma(x, faultScale, x * 0),
            // shrinking the reciprocal split: one instruction for both, each rounding as the rule.
            const __m256 high = _mm256_blendv_ps(grow, shrinkHigh, sides[g]);
            const __m256 low = _mm256_blendv_ps(zero, shrinkLow, sides[g]);
            for (__m256& coordinates : groups[g])
                coordinates = _mm256_fmadd_ps(coordinates, high, _mm256_mul_ps(coordinates, low));
            sides[g] = nextSides;
        }
    }
    store();
}

#pragma GCC pop_options

}  // namespace
#endif

BlockKernel avx2Kernel() {
#ifdef __x86_64__
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return runBlockWithAvx2;
#endif
    return nullptr;  // elsewhere the portable kernel is the only one
}

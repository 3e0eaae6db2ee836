#include <algorithm>
#include <cmath>

#include "globe/globe.h"
#include "globe/relief_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// Only these functions use AVX2 and FMA, so the program still starts on older processors.
#define AVX2_FMA __attribute__((target("avx2,fma")))

namespace {

constexpr int lanes = 8;
static_assert(faultBlockSize == 3 * lanes, "runBlock holds three vectors of positions");

// 1 / faultScale split into a float and the float nearest what it leaves over:
// x * high + (x * low rounded), fused, rounds exactly as x / faultScale does over the
// admitted range. The low part is positive so that a zero keeps its sign.
constexpr double reciprocal = 1.0 / static_cast<double>(faultScale);
constexpr float reciprocalHigh = static_cast<float>(reciprocal);
constexpr float reciprocalLow = static_cast<float>(reciprocal - reciprocalHigh);
static_assert(reciprocalLow > 0);

// Each pass decides its sides from a float dot product of the positions as they were
// one pass earlier, so that it runs alongside that pass's scaling. That sum is off from
// the exact one by at most about 3 * 2^-24 of S = sum |p_i d_i| <= |p| |d|; the scaling
// in between moves each coordinate by one more rounding (2^-24 of S, the positive factor
// leaves the sign alone); the double sum of the rule adds 2 * 2^-53 of S. Five float
// units cover all three.
constexpr double dotErrorPerLength = 5 * 0x1p-24;
// Steps that land among the denormals lose up to 2^-150 each whatever the lengths are.
// Beyond this floor a trusted sign also means the double sum cannot round to a zero float.
constexpr double dotErrorFloor = 0x1p-140;
// A pass scales each coordinate by faultScale one way or the other, plus one rounding.
constexpr double growthPerPass = static_cast<double>(faultScale) * (1 + 0x1p-23);
// Coordinates may drift this far over all passes from where a block starts; the admitted
// range is the exactly divided range narrowed by it.
constexpr double largestDrift = 4;
constexpr double smallestAdmitted = divisionFreeSmallest * largestDrift;
constexpr double largestAdmitted = divisionFreeLargest / largestDrift;

double lengthBound(const glm::vec3& v) {
    const double squared = static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                           static_cast<double>(v.z) * v.z;
    return std::sqrt(squared) * (1 + 0x1p-50);
}

// Whether every coordinate of the block is zero or of a size the fast path was proven
// for, and the largest length in it.
bool admitted(const glm::vec3* block, double& largestLength) {
    largestLength = 0;
    for (std::size_t i = 0; i < faultBlockSize; ++i) {
        for (const float coordinate : {block[i].x, block[i].y, block[i].z}) {
            const double size = std::fabs(static_cast<double>(coordinate));
            // Written so that NaN and infinity fail too.
            if (size != 0 && !(size >= smallestAdmitted && size <= largestAdmitted)) return false;
        }
        largestLength = std::fmax(largestLength, lengthBound(block[i]));
    }
    return true;
}

// A float strictly above value, so that a float sum equal to it is still trusted.
float strictlyAbove(double value) {
    float above = static_cast<float>(value);
    while (static_cast<double>(above) <= value) above = std::nextafter(above, INFINITY);
    return above;
}

// Eight positions, one coordinate per vector.
struct EightPositions {
    __m256 x, y, z;
};

struct Scales {
    __m256 grow, shrinkLow, growXorShrinkHigh;
};

AVX2_FMA inline __m256 divideByFaultScale(__m256 x, __m256 high, __m256 low) {
    return _mm256_fmadd_ps(x, high, _mm256_mul_ps(x, low));
}

AVX2_FMA inline __m256 floatDots(const EightPositions& p, const glm::vec3& d) {
    const __m256 products = _mm256_mul_ps(p.y, _mm256_set1_ps(d.y));
    return _mm256_fmadd_ps(p.z, _mm256_set1_ps(d.z),
                           _mm256_fmadd_ps(p.x, _mm256_set1_ps(d.x), products));
}

// The sign bit is set where the float sum lies too near zero to trust its sign.
AVX2_FMA inline __m256 unsureLanes(__m256 dots, __m256 bound) {
    const __m256 magnitudeBits = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    return _mm256_sub_ps(_mm256_and_ps(dots, magnitudeBits), bound);
}

AVX2_FMA inline __m256d exactDots(__m128 x, __m128 y, __m128 z, const glm::vec3& d) {
    // The rule's own order, no fused steps.
    const __m256d yTerm = _mm256_mul_pd(_mm256_cvtps_pd(y), _mm256_set1_pd(d.y));
    const __m256d xTerm = _mm256_mul_pd(_mm256_cvtps_pd(x), _mm256_set1_pd(d.x));
    const __m256d zTerm = _mm256_mul_pd(_mm256_cvtps_pd(z), _mm256_set1_pd(d.z));
    return _mm256_add_pd(_mm256_add_pd(yTerm, xTerm), zTerm);
}

// The rule itself for eight positions: the sign bit is set where the position shrinks.
AVX2_FMA __m256 exactShrinkSigns(const EightPositions& p, const glm::vec3& d) {
    const __m128 lowHalf = _mm256_cvtpd_ps(exactDots(
        _mm256_castps256_ps128(p.x), _mm256_castps256_ps128(p.y), _mm256_castps256_ps128(p.z), d));
    const __m128 highHalf =
        _mm256_cvtpd_ps(exactDots(_mm256_extractf128_ps(p.x, 1), _mm256_extractf128_ps(p.y, 1),
                                  _mm256_extractf128_ps(p.z, 1), d));
    const __m256 grows =
        _mm256_cmp_ps(_mm256_set_m128(highHalf, lowHalf), _mm256_setzero_ps(), _CMP_GT_OQ);
    return _mm256_andnot_ps(grows, _mm256_castsi256_ps(_mm256_set1_epi32(-1)));
}

// Grows the lanes whose sign bit is clear in shrinkSigns and shrinks the others.
AVX2_FMA inline void scale(EightPositions& p, __m256 shrinkSigns, const Scales& scales) {
    const __m256 shrinks =
        _mm256_castsi256_ps(_mm256_srai_epi32(_mm256_castps_si256(shrinkSigns), 31));
    // A growing lane adds x * 0, which leaves x * faultScale as it is (zeros too).
    const __m256 high =
        _mm256_xor_ps(scales.grow, _mm256_and_ps(shrinks, scales.growXorShrinkHigh));
    const __m256 low = _mm256_and_ps(shrinks, scales.shrinkLow);
    p.x = divideByFaultScale(p.x, high, low);
    p.y = divideByFaultScale(p.y, high, low);
    p.z = divideByFaultScale(p.z, high, low);
}

using BlockCoordinates = float[3][faultBlockSize];

AVX2_FMA inline EightPositions loadGroup(const BlockCoordinates& coordinates, int first) {
    return {_mm256_load_ps(&coordinates[0][first]), _mm256_load_ps(&coordinates[1][first]),
            _mm256_load_ps(&coordinates[2][first])};
}

AVX2_FMA inline void storeGroup(BlockCoordinates& coordinates, int first, const EightPositions& p) {
    _mm256_store_ps(&coordinates[0][first], p.x);
    _mm256_store_ps(&coordinates[1][first], p.y);
    _mm256_store_ps(&coordinates[2][first], p.z);
}

// All passes over one block, its coordinates held in registers throughout: three groups
// of eight keep both vector units busy while each group waits on its own results.
AVX2_FMA void runBlock(glm::vec3* block, const glm::vec3* directions, std::size_t directionCount,
                       float dotErrorBound) {
    alignas(32) BlockCoordinates coordinates;
    for (std::size_t i = 0; i < faultBlockSize; ++i) {
        coordinates[0][i] = block[i].x;
        coordinates[1][i] = block[i].y;
        coordinates[2][i] = block[i].z;
    }
    EightPositions a = loadGroup(coordinates, 0);
    EightPositions b = loadGroup(coordinates, lanes);
    EightPositions c = loadGroup(coordinates, 2 * lanes);

    const Scales scales = {
        _mm256_set1_ps(faultScale), _mm256_set1_ps(reciprocalLow),
        _mm256_xor_ps(_mm256_set1_ps(faultScale), _mm256_set1_ps(reciprocalHigh))};
    const __m256 bound = _mm256_set1_ps(dotErrorBound);

    __m256 dotsA = floatDots(a, directions[0]);
    __m256 dotsB = floatDots(b, directions[0]);
    __m256 dotsC = floatDots(c, directions[0]);
    for (std::size_t pass = 0; pass < directionCount; ++pass) {
        const glm::vec3& d = directions[pass];
        const __m256 unsure =
            _mm256_or_ps(_mm256_or_ps(unsureLanes(dotsA, bound), unsureLanes(dotsB, bound)),
                         unsureLanes(dotsC, bound));
        // Near the cutting plane the float sum may have the wrong sign: ask the rule.
        if (!_mm256_testz_ps(unsure, unsure)) {
            dotsA = exactShrinkSigns(a, d);
            dotsB = exactShrinkSigns(b, d);
            dotsC = exactShrinkSigns(c, d);
        }
        // The next pass's sums are taken before this pass scales, so both run side by side.
        const glm::vec3& next = directions[std::min(pass + 1, directionCount - 1)];
        const __m256 nextA = floatDots(a, next);
        const __m256 nextB = floatDots(b, next);
        const __m256 nextC = floatDots(c, next);
        scale(a, dotsA, scales);
        scale(b, dotsB, scales);
        scale(c, dotsC, scales);
        dotsA = nextA;
        dotsB = nextB;
        dotsC = nextC;
    }

    storeGroup(coordinates, 0, a);
    storeGroup(coordinates, lanes, b);
    storeGroup(coordinates, 2 * lanes, c);
    for (std::size_t i = 0; i < faultBlockSize; ++i) {
        block[i] = {coordinates[0][i], coordinates[1][i], coordinates[2][i]};
    }
}

}  // namespace

bool avx2Available() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

void applyFaultsAvx2(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                     std::size_t directionCount) {
    double largestDirection = 0;
    double growth = 1;
    for (std::size_t pass = 0; pass < directionCount; ++pass) {
        largestDirection = std::fmax(largestDirection, lengthBound(directions[pass]));
        growth *= growthPerPass;
    }
    if (directionCount == 0 || !avx2Available() || !(growth <= largestDrift) ||
        !(largestDirection <= 2)) {
        applyFaultsPortable(positions, count, directions, directionCount);
        return;
    }

    std::size_t start = 0;
    for (; start + faultBlockSize <= count; start += faultBlockSize) {
        glm::vec3* block = positions + start;
        double largestLength = 0;
        if (admitted(block, largestLength)) {
            const double bound =
                dotErrorPerLength * largestLength * growth * largestDirection + dotErrorFloor;
            runBlock(block, directions, directionCount, strictlyAbove(bound));
        } else {
            applyFaultsPortable(block, faultBlockSize, directions, directionCount);
        }
    }
    applyFaultsPortable(positions + start, count - start, directions, directionCount);
}

AVX2_FMA void divideByFaultScaleAvx2(const float* in, float* out, std::size_t count) {
    const __m256 high = _mm256_set1_ps(reciprocalHigh);
    const __m256 low = _mm256_set1_ps(reciprocalLow);
    std::size_t i = 0;
    for (; i + lanes <= count; i += lanes) {
        _mm256_storeu_ps(out + i, divideByFaultScale(_mm256_loadu_ps(in + i), high, low));
    }
    alignas(32) float rest[lanes] = {};
    for (std::size_t k = i; k < count; ++k) rest[k - i] = in[k];
    _mm256_store_ps(rest, divideByFaultScale(_mm256_load_ps(rest), high, low));
    for (std::size_t k = i; k < count; ++k) out[k] = rest[k - i];
}

#else

bool avx2Available() {
    return false;
}

void applyFaultsAvx2(glm::vec3* positions, std::size_t count, const glm::vec3* directions,
                     std::size_t directionCount) {
    applyFaultsPortable(positions, count, directions, directionCount);
}

void divideByFaultScaleAvx2(const float* in, float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i] / faultScale;
}

#endif

#pragma once

// What the C++ tests and the cross-built globe driver share: the seed they pin, the globe it
// gives, a digest of bytes, and a comparison that says where two lists part.

#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "globe/globe.h"

// The globe of 2026-03-01 12:00 UTC, whose point facing the eye and its antipode differ.
inline constexpr std::uint32_t testSeed = 1772366400;

inline Globe sphere() {
    Globe globe;
    generateSphere(globe.indices, globe.positions);
    return globe;
}

// The positions pushed in and out by the cuts a start with the seed draws.
inline std::vector<glm::vec3> relief(std::vector<glm::vec3> positions, unsigned seed) {
    std::srand(seed);
    applyFaults(positions);
    return positions;
}

inline const Globe& testGlobe() {
    static const Globe globe = [] {
        Globe built = sphere();
        built.positions = relief(std::move(built.positions), testSeed);
        return built;
    }();
    return globe;
}

template <typename T>
std::uint64_t digest(const std::vector<T>& values) {  // FNV-1a over the bytes
    std::uint64_t hash = 0xcbf29ce484222325u;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    for (std::size_t i = 0; i < values.size() * sizeof(T); ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3u;
    return hash;
}

// Empty where both lists hold the same bytes; else the first point that differs with both
// values written exactly, or both lengths. Compared as EXPECT_EQ(firstDifference(a, b), "").
inline std::string firstDifference(const std::vector<glm::vec3>& a,
                                   const std::vector<glm::vec3>& b) {
    if (a.size() != b.size())
        return std::to_string(a.size()) + " points against " + std::to_string(b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof a[i]) == 0) continue;
        char text[256];
        std::snprintf(text, sizeof text, "point %zu is (%a, %a, %a) against (%a, %a, %a)", i,
                      a[i].x, a[i].y, a[i].z, b[i].x, b[i].y, b[i].z);
        return text;
    }
    return "";
}

// The register holding flush-to-zero, and what a caller (or a library built with -ffast-math)
// may set in it and the rounding; read and written by instructions that need no compiler flag.
struct CallerSetting {
    const char* name;
    std::uint32_t controlBits;
    int rounding;
};
#if defined(__x86_64__) || defined(__i386__)
inline std::uint32_t controlRegister() {
    std::uint32_t value;
    asm volatile("stmxcsr %0" : "=m"(value));
    return value;
}
inline void setControlRegister(std::uint32_t value) {
    asm volatile("ldmxcsr %0" : : "m"(value));
}
inline constexpr CallerSetting callerSettings[] = {{"flush-to-zero", 0x8000, FE_TONEAREST},
                                                   {"denormals-are-zero", 0x40, FE_TONEAREST},
                                                   {"upward rounding", 0, FE_UPWARD}};
#elif defined(__aarch64__)
inline std::uint32_t controlRegister() {
    std::uint64_t value;
    asm volatile("mrs %0, fpcr" : "=r"(value));
    return static_cast<std::uint32_t>(value);
}
inline void setControlRegister(std::uint32_t value) {
    asm volatile("msr fpcr, %0" : : "r"(std::uint64_t{value}));
}
inline constexpr CallerSetting callerSettings[] = {{"flush-to-zero", 1u << 24, FE_TONEAREST},
                                                   {"upward rounding", 0, FE_UPWARD}};
#else
inline std::uint32_t controlRegister() {
    return 0;
}
inline void setControlRegister(std::uint32_t) {}
inline constexpr CallerSetting callerSettings[] = {{"upward rounding", 0, FE_UPWARD}};
#endif

#pragma once

#include <cfenv>
#include <cstdint>
#include <type_traits>

// The globe's arithmetic rounds to nearest and keeps subnormal numbers, whatever the caller
// set: a library linked with -ffast-math turns on flush-to-zero when it loads, and threads
// inherit it. Every entry point of the globe library computes in this environment and gives
// the caller's back when it returns.

// The caller's environment while the globe computes.
struct CallerEnvironment {
    std::fenv_t standard;   // rounding direction, exception masks and flags (x87 too)
    std::uint64_t control;  // x86 MXCSR or arm64 FPCR, which hold flush-to-zero
};

CallerEnvironment enterGlobeEnvironment();
void leaveGlobeEnvironment(const CallerEnvironment& caller);

template <typename Work>
auto inGlobeEnvironment(Work work) {
    const CallerEnvironment caller = enterGlobeEnvironment();
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            leaveGlobeEnvironment(caller);
        } else {
            auto result = work();
            leaveGlobeEnvironment(caller);
            return result;
        }
    } catch (...) {
        leaveGlobeEnvironment(caller);
        throw;
    }
}

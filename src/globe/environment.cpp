#include "globe/environment.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)
// MXCSR as a processor starts: round to nearest, every exception masked, neither flush-to-zero
// (bit 15) nor denormals-are-zero (bit 6). Set directly, as C leaves those two bits to each C
// library's <cfenv>.
constexpr std::uint64_t globeControl = 0x1f80;
std::uint64_t readControl() {
    return _mm_getcsr();
}
void writeControl(std::uint64_t value) {
    _mm_setcsr(static_cast<unsigned>(value));
}
#elif defined(__aarch64__)
// FPCR as a processor starts: round to nearest, no flush-to-zero (bit 24), no default NaN, no
// traps.
constexpr std::uint64_t globeControl = 0;
std::uint64_t readControl() {
    std::uint64_t value;
    asm volatile("mrs %0, fpcr" : "=r"(value));
    return value;
}
void writeControl(std::uint64_t value) {
    asm volatile("msr fpcr, %0" : : "r"(value));
}
#else
// Elsewhere <cfenv>'s default environment is the whole of it.
constexpr std::uint64_t globeControl = 0;
std::uint64_t readControl() {
    return globeControl;
}
void writeControl(std::uint64_t) {}
#endif

}  // namespace

CallerEnvironment enterGlobeEnvironment() {
    CallerEnvironment caller;
    caller.control = readControl();
    std::fegetenv(&caller.standard);
    std::fesetenv(FE_DFL_ENV);
    writeControl(globeControl);
    return caller;
}

void leaveGlobeEnvironment(const CallerEnvironment& caller) {
    std::fesetenv(&caller.standard);
    writeControl(caller.control);
}

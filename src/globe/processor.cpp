#include "globe/globe.h"

bool globeArithmeticAvailable() {
#ifdef __i386__
    // This file holds no floating-point code, so it runs on any processor and can ask.
    return __builtin_cpu_supports("sse2");
#else
    return true;
#endif
}

#include "common/FloatEnvironment.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__)
#define SELVANE_GUARD_SSE 1
#include <xmmintrin.h>
#endif

// Only the Windows builds run x87 code of their own: mingw-w64's log and
// exp. Hosts there often leave 53-bit precision in force, which changes exp.
#if defined(_WIN32) && defined(__GNUC__) && \
    (defined(__i386__) || defined(__x86_64__))
#define SELVANE_GUARD_X87 1
#endif

namespace selvane {

namespace {

#ifdef SELVANE_GUARD_SSE
// Every exception masked (bits 7-12), round to nearest (bits 13-14 zero),
// no flush-to-zero (bit 15), no denormals-are-zero (bit 6), no flags.
constexpr unsigned int kSseRegister = 0x1F80u;
#endif

#ifdef SELVANE_GUARD_X87
// Every exception masked (bits 0-5), bit 6 as the processor sets it,
// 64-bit precision (bits 8-9 = 11), round to nearest (bits 10-11 = 00).
constexpr unsigned short kX87ControlWord = 0x037F;
#endif

}  // namespace

FloatEnvironmentGuard::FloatEnvironmentGuard() {
#ifdef SELVANE_GUARD_SSE
    savedSseRegister_ = _mm_getcsr();
    _mm_setcsr(kSseRegister);
#endif
#ifdef SELVANE_GUARD_X87
    // fnstenv also masks every x87 exception, so nothing the host left
    // pending can fire before the new control word is in force.
    __asm__ __volatile__("fnstenv %0" : "=m"(savedX87Environment_));
    const unsigned short controlWord = kX87ControlWord;
    __asm__ __volatile__("fldcw %0" : : "m"(controlWord));
#endif
}

FloatEnvironmentGuard::~FloatEnvironmentGuard() {
#ifdef SELVANE_GUARD_X87
    // Restores the status word too: flags our arithmetic raised must not
    // meet an exception the host unmasked.
    __asm__ __volatile__("fldenv %0" : : "m"(savedX87Environment_));
#endif
#ifdef SELVANE_GUARD_SSE
    _mm_setcsr(savedSseRegister_);
#endif
}

}  // namespace selvane

#include "common/FloatControls.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__)
#define SELVANE_CARRY_SSE 1
#include <xmmintrin.h>
#endif

// The Windows builds run x87 code of their own (mingw-w64's log and exp).
#if defined(_WIN32) && defined(__GNUC__) && \
    (defined(__i386__) || defined(__x86_64__))
#define SELVANE_CARRY_X87 1
#endif

namespace selvane {

namespace {

#ifdef SELVANE_CARRY_SSE
constexpr unsigned int kSseFlags = 0x3Fu;  // bits 0-5: the sticky flags
#endif

}  // namespace

FloatControls CaptureFloatControls() {
    FloatControls controls{0, 0};
#ifdef SELVANE_CARRY_SSE
    controls.sseRegister = _mm_getcsr() & ~kSseFlags;
#endif
#ifdef SELVANE_CARRY_X87
    unsigned short word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    controls.x87Control = word;
#endif
    return controls;
}

void ApplyFloatControls(const FloatControls& controls) {
#ifdef SELVANE_CARRY_SSE
    _mm_setcsr(controls.sseRegister);
#endif
#ifdef SELVANE_CARRY_X87
    const unsigned short word = controls.x87Control;
    __asm__ __volatile__("fldcw %0" : : "m"(word));
#endif
    (void)controls;
}

}  // namespace selvane

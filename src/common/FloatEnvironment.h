// The floating-point environment the library computes in, whatever the host
// left in force. Internal.
#ifndef SELVANE_COMMON_FLOAT_ENVIRONMENT_H
#define SELVANE_COMMON_FLOAT_ENVIRONMENT_H

namespace selvane {

// Results must be bit-identical whatever the calling thread's settings: a
// host may have chosen another rounding mode, flush-to-zero,
// denormals-are-zero or unmasked exceptions (some Windows hosts do), and on
// Windows the x87 unit that mingw-w64's log and exp run on may be set to
// 53- or 24-bit precision.
//
// On construction: saves the SSE control/status register (every x86 and
// x86-64 build) and, in the Windows builds, the x87 environment; then sets
// round to nearest, no flush-to-zero, no denormals-are-zero, every exception
// masked, and the x87 control word 0x037F (64-bit precision, round to
// nearest, every exception masked). The destructor puts back exactly what
// was saved, status flags included, so the host sees neither our settings
// nor the flags our arithmetic raised. Elsewhere it does nothing.
class FloatEnvironmentGuard {
public:
    FloatEnvironmentGuard();
    ~FloatEnvironmentGuard();
    FloatEnvironmentGuard(const FloatEnvironmentGuard&) = delete;
    FloatEnvironmentGuard& operator=(const FloatEnvironmentGuard&) = delete;

private:
    unsigned int savedSseRegister_ = 0;
#if defined(_WIN32)
    // The 28-byte image that fnstenv writes: control, status and tag words.
    unsigned char savedX87Environment_[28] = {};
#endif
};

}  // namespace selvane

#endif  // SELVANE_COMMON_FLOAT_ENVIRONMENT_H

// The floating-point controls of the calling thread, carried to the threads
// that run its passes: a new thread starts with the system's defaults (on
// Windows it inherits nothing), and every pass must round exactly as it
// would on the caller's thread. Internal.
#ifndef SELVANE_COMMON_FLOAT_CONTROLS_H
#define SELVANE_COMMON_FLOAT_CONTROLS_H

namespace selvane {

struct FloatControls {
    unsigned int sseRegister;   // MXCSR, flags cleared
    unsigned short x87Control;  // x87 control word (Windows builds)
};

FloatControls CaptureFloatControls();
void ApplyFloatControls(const FloatControls& controls);

}  // namespace selvane

#endif  // SELVANE_COMMON_FLOAT_CONTROLS_H

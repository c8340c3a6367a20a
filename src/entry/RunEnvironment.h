// What the environment asks of a job's run: read here alone, at every call
// that enters a library without settings of its own (Selvane(), and engine
// library jobs that leave the thread count to it). Internal.
#ifndef SELVANE_ENTRY_RUN_ENVIRONMENT_H
#define SELVANE_ENTRY_RUN_ENVIRONMENT_H

#include "engine/RunSettings.h"

namespace selvane {

// SELVANE_THREADS: a positive integer is the most threads the passes use (1
// keeps them on the calling thread); any other value, or none, leaves the
// count at 0 (every processor). SELVANE_SWEEP: the name of a sweep
// ("literal", "sse2", "avx2", "avx512") this processor has runs that one;
// any other value, or none, keeps the fastest.
RunSettings SettingsFromEnvironment();

// The positive integer that text spells in decimal digits alone (values
// beyond an int saturate), or 0 when it spells none.
int ParseThreadCount(const char* text);

}  // namespace selvane

#endif  // SELVANE_ENTRY_RUN_ENVIRONMENT_H

#include "entry/RunEnvironment.h"

#include <climits>
#include <cstdlib>

#include "engine/sweep/SweepDispatch.h"

namespace selvane {

int ParseThreadCount(const char* text) {
    if (!text || *text == '\0') return 0;
    long long value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return 0;
        value = value * 10 + (*c - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return static_cast<int>(value);
}

RunSettings SettingsFromEnvironment() {
    RunSettings run;
    run.threadCount = ParseThreadCount(std::getenv("SELVANE_THREADS"));
    run.sweepWidth = SweepWidthNamed(std::getenv("SELVANE_SWEEP"));
    return run;
}

}  // namespace selvane

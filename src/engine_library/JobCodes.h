// The C interface's int codes as the engine's values. Internal.
#ifndef SELVANE_ENGINE_LIBRARY_JOB_CODES_H
#define SELVANE_ENGINE_LIBRARY_JOB_CODES_H

#include "engine/JobView.h"
#include "engine/StartMethod.h"
#include "selvane_engine.h"

namespace selvane {

// What a job's layout, centres, metric and start codes choose.
struct JobChoices {
    int itemsAsColumns;
    Centres centres;
    Metric metric;
    StartMethod start;
};

// False when any of the four codes is one the interface does not define:
// the job is refused, never run with another choice.
bool ChoicesOf(const selvane_engine_job& job, JobChoices* choices);

}  // namespace selvane

#endif  // SELVANE_ENGINE_LIBRARY_JOB_CODES_H

// The engine library's job and result structs, sized and otherwise at
// their defaults, for tests that fill in the rest by name.
#ifndef SELVANE_TESTS_SUPPORT_ENGINE_STRUCTS_H
#define SELVANE_TESTS_SUPPORT_ENGINE_STRUCTS_H

#include "selvane_engine.h"

namespace selvane {
namespace test_support {

inline selvane_engine_job NewJob(int kind, int n, int d, const double* values,
                                 int k) {
    selvane_engine_job job = {};
    job.size = sizeof job;
    job.kind = kind;
    job.item_count = n;
    job.value_count = d;
    job.values = values;
    job.cluster_count = k;
    return job;
}

inline selvane_engine_result NewResult() {
    selvane_engine_result result = {};
    result.size = sizeof result;
    return result;
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_ENGINE_STRUCTS_H

// The engine library's clustering job: its argument checks and its run,
// callable in-process by tests. Internal; the exported C functions in
// EngineExports.cpp only forward here.
#ifndef SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H
#define SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H

#include <cstdint>

#include "engine_library/ItemCells.h"

namespace selvane {

struct EngineRequest {
    ItemCells items;
    int clusterCount;
    int passCount;
    int centres;
    int metric;
    const std::uint64_t* seed;  // null: the process-wide stream
    int threadCount;
};

struct EngineOutputs {
    int* clusterIds;
    double* errorValue;  // each of the rest may be null
    int* foundCount;
    double* centres;
    unsigned char* centrePresent;
};

// A SELVANE_ENGINE_* code; writes nothing unless it returns OK.
int RunEngineJob(const EngineRequest& request, const EngineOutputs& outputs);

struct AssignRequest {
    ItemCells items;
    int clusterCount;
    const double* centres;               // clusterCount rows of valueCount
    const unsigned char* centrePresent;  // null: NaN means missing
    int metric;
    const int* givenIds;  // null: each item's nearest centre
};

struct AssignOutputs {
    int* clusterIds;  // each may be null
    double* distances;
    double* total;
};

// Items measured against given centres; a SELVANE_ENGINE_* code, and
// nothing written unless it returns OK.
int RunAssignJob(const AssignRequest& request, const AssignOutputs& outputs);

// The exported function's job with a seed (null: the process-wide stream)
// and a thread count; errorValue and foundCount may be null.
int RunSeededSelvaneJob(int itemCount, int dimensionCount,
                        const double* inputValues, int clusterCount,
                        const std::uint64_t* seed, int threadCount,
                        double* result, double* errorValue, int* foundCount);

const char* EngineErrorText(int code);

}  // namespace selvane

#endif  // SELVANE_ENGINE_LIBRARY_ENGINE_JOB_H

#include "engine_library/EngineJob.h"
#include "selvane_engine.h"

namespace selvane {

const char* EngineErrorText(int code) {
    switch (code) {
        case SELVANE_ENGINE_OK: return "success";
        case SELVANE_ENGINE_ERROR_NULL_POINTER:
            return "a required pointer argument is null";
        case SELVANE_ENGINE_ERROR_SHAPE:
            return "the item count and the value count must each be at "
                   "least 1, and the values must fit in memory";
        case SELVANE_ENGINE_ERROR_CLUSTER_COUNT:
            return "the cluster count must be at least 1 and at most the "
                   "item count";
        case SELVANE_ENGINE_ERROR_PASS_COUNT:
            return "the pass count must be at least 1";
        case SELVANE_ENGINE_ERROR_OPTION:
            return "unknown layout, centres, metric or start";
        case SELVANE_ENGINE_ERROR_VALUE:
            return "a present value is not a finite number";
        case SELVANE_ENGINE_ERROR_WEIGHT:
            return "a weight is negative or not a finite number";
        case SELVANE_ENGINE_ERROR_THREAD_COUNT:
            return "the thread count must not be negative";
        case SELVANE_ENGINE_ERROR_NO_MEMORY: return "out of memory";
        case SELVANE_ENGINE_ERROR_UNMEASURABLE:
            return "no item has every value a finite number greater than "
                   "zero";
        case SELVANE_ENGINE_ERROR_NOTHING_PRESENT:
            return "no item has a present value with a non-zero weight";
        case SELVANE_ENGINE_ERROR_CLUSTER_ID:
            return "a given cluster number is not from 0 to the cluster "
                   "count minus 1";
        case SELVANE_ENGINE_ERROR_CANCELLED: return "the job was cancelled";
        case SELVANE_ENGINE_ERROR_STRUCT_SIZE:
            return "a job or result struct is smaller than this library "
                   "accepts: set its size field to its sizeof";
        case SELVANE_ENGINE_ERROR_START_ITEMS:
            return "a start from items needs at least as many items with a "
                   "present value of non-zero weight as clusters";
        case SELVANE_ENGINE_ERROR_MISMATCH:
            return "pass words, pass records or a partition that this job "
                   "cannot have";
        default: return "unknown error code";
    }
}

}  // namespace selvane

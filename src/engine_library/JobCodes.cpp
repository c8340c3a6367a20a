#include "engine_library/JobCodes.h"

namespace selvane {

namespace {

// Each switch has no default: a code not listed falls through to false.

bool LayoutOf(int code, int* itemsAsColumns) {
    switch (code) {
        case SELVANE_ENGINE_ITEMS_AS_ROWS: *itemsAsColumns = 0; return true;
        case SELVANE_ENGINE_ITEMS_AS_COLUMNS: *itemsAsColumns = 1; return true;
    }
    return false;
}

bool CentresOf(int code, Centres* centres) {
    switch (code) {
        case SELVANE_ENGINE_MEANS: *centres = Centres::kMeans; return true;
        case SELVANE_ENGINE_MEDIANS: *centres = Centres::kMedians; return true;
    }
    return false;
}

bool MetricOf(int code, Metric* metric) {
    switch (code) {
        case SELVANE_ENGINE_CORRELATION:
            *metric = Metric::kCorrelation;
            return true;
        case SELVANE_ENGINE_EUCLIDEAN:
            *metric = Metric::kEuclidean;
            return true;
    }
    return false;
}

bool StartOf(int code, StartMethod* start) {
    switch (code) {
        case SELVANE_ENGINE_START_PARTITION:
            *start = StartMethod::kPartition;
            return true;
        case SELVANE_ENGINE_START_ITEMS:
            *start = StartMethod::kItems;
            return true;
        case SELVANE_ENGINE_START_KMEANS_PLUS_PLUS:
            *start = StartMethod::kKMeansPlusPlus;
            return true;
    }
    return false;
}

}  // namespace

bool ChoicesOf(const selvane_engine_job& job, JobChoices* choices) {
    return LayoutOf(job.layout, &choices->itemsAsColumns) &&
           CentresOf(job.centres, &choices->centres) &&
           MetricOf(job.metric, &choices->metric) &&
           StartOf(job.start, &choices->start);
}

}  // namespace selvane

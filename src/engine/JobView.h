// A job's items as every part of the engine reads them, and the two choices
// that decide how they are clustered. Internal.
//
// Switches over Metric and Centres have no default, so a new value fails to
// compile wherever it is not handled.
#ifndef SELVANE_ENGINE_JOB_VIEW_H
#define SELVANE_ENGINE_JOB_VIEW_H

namespace selvane {

// N items of D values; with itemsAsColumns == 0 each row of data is an
// item, else each column. weights: D doubles; a value takes part exactly
// when its mask entry is non-zero.
struct JobView {
    int itemCount;   // N
    int valueCount;  // D
    int itemsAsColumns;
    const double* const* data;
    const int* const* mask;
    const double* weights;
};

enum class Metric { kEuclidean, kCorrelation };

enum class Centres { kMeans, kMedians };

// The engine operations' one-character codes. They are total: 'u' is the
// uncentered correlation and every other code Euclidean; 'm' is medians
// and every other code means.
inline Metric MetricOfCode(char code) {
    return code == 'u' ? Metric::kCorrelation : Metric::kEuclidean;
}

inline Centres CentresOfCode(char code) {
    return code == 'm' ? Centres::kMedians : Centres::kMeans;
}

// The codes that give back each value, for callers of those operations.
inline char CodeOf(Metric metric) {
    switch (metric) {
        case Metric::kEuclidean: return 'e';
        case Metric::kCorrelation: return 'u';
    }
    __builtin_unreachable();
}

inline char CodeOf(Centres centres) {
    switch (centres) {
        case Centres::kMeans: return 'a';
        case Centres::kMedians: return 'm';
    }
    __builtin_unreachable();
}

}  // namespace selvane

#endif  // SELVANE_ENGINE_JOB_VIEW_H

// The rule that keeps a job's best partition, replayed on the records of
// its passes, which may have run apart. Internal.
#ifndef SELVANE_ENGINE_PASS_MERGE_H
#define SELVANE_ENGINE_PASS_MERGE_H

#include <cstdint>

#include "engine/PassPiece.h"

namespace selvane {

struct MergedPasses {
    int bestPass;  // the pass whose partition the job returns
    int foundCount;
    double errorValue;
    int bestIterations;
    std::int64_t totalIterations;
};

// The outcome of a job whose passes left `records` (passCount >= 1, in
// pass order). It decides "same partition" by equal fingerprints, which is
// exact only when every record has all of the job's clusters non-empty and
// every equal pair is confirmed: matched (null, or passCount ints)
// receives, for each pass judged to reach the best partition so far, that
// best pass; -1 for every other pass.
MergedPasses MergePassRecords(const PassRecord* records, int passCount,
                              int* matched);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_MERGE_H

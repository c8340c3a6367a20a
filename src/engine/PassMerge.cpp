// Why the replay gives the whole call's outcome.
//
// The whole call takes its passes in pass order into a best so far
// (TakePass): pass 0 is the best; a later pass p that SamePartition finds
// equal to the best adds one to the found count; otherwise, if its total
// is smaller than the best's, it becomes the best with found count 1. The
// state after pass p is (best pass b, found count), the error value and
// best iterations being b's record; the total iterations add up every
// record.
//
// 1. A piece's pass p is the whole call's pass p. The whole call draws its
//    starts in pass order on one generator, and a pass draws nothing else
//    (the starts are drawn by DrawPassStart alone, also in the threaded
//    passes). The plan draws the same starts with the same code in the same
//    order, so the words it records for pass p are those the whole call
//    draws pass p's start from; a piece restores them and draws the same
//    start. A pass is a function of its start and the job alone (the
//    threads and sweep widths give the same bits), so partition, total and
//    iterations agree bit for bit.
// 2. SamePartition(best, current) asks whether every cluster of best lies
//    inside one cluster of current. When both have all K clusters
//    non-empty, the map from best's clusters to current's is onto K
//    clusters from K, hence one to one: the test is equality up to
//    renumbering, which is equality of the partitions renumbered in order
//    of first appearance. A fingerprint is a function of that renumbering,
//    so different fingerprints prove the test false. Equal fingerprints
//    are only a claim: the caller confirms each pair reported in matched
//    against the real partitions, with the same one-way test.
// 3. By induction on p, if every record has K clusters and every matched
//    pair is confirmed, each decision below is the whole call's decision
//    from the same state, so the states agree after every pass, and so do
//    the outcomes. The comparison of totals is the same `<` on the same
//    doubles, NaN included.
#include "engine/PassMerge.h"

namespace selvane {

MergedPasses MergePassRecords(const PassRecord* records, int passCount,
                              int* matched) {
    MergedPasses merged{0, 1, records[0].total, records[0].iterations, 0};
    for (int p = 0; p < passCount; ++p) {
        const PassRecord& record = records[p];
        merged.totalIterations += record.iterations;
        if (matched) matched[p] = -1;
        if (p == 0) continue;
        if (record.fingerprint == records[merged.bestPass].fingerprint) {
            ++merged.foundCount;
            if (matched) matched[p] = merged.bestPass;
        } else if (record.total < merged.errorValue) {
            merged = {p, 1, record.total, record.iterations,
                      merged.totalIterations};
        }
    }
    return merged;
}

}  // namespace selvane

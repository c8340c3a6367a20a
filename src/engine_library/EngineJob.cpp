#include "engine_library/EngineJob.h"

#include <cstddef>
#include <limits>

#include "common/Allocate.h"
#include "engine/ClusterEngine.h"
#include "engine/PassThreads.h"
#include "engine_library/ItemCells.h"
#include "entry/FloatEnvironment.h"
#include "random/CallGenerator.h"
#include "selvane_engine.h"

namespace selvane {

namespace {

// Everything is checked before anything is taken or written.
int CheckRequest(const EngineRequest& r, const EngineOutputs& o) {
    if (!r.items.values || !o.clusterIds)
        return SELVANE_ENGINE_ERROR_NULL_POINTER;
    int status = CheckCellCounts(r.items.itemCount, r.items.valueCount);
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.clusterCount < 1 || r.clusterCount > r.items.itemCount) {
        return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    }
    if (r.passCount < 1) return SELVANE_ENGINE_ERROR_PASS_COUNT;
    if ((r.items.layout != SELVANE_ENGINE_ITEMS_AS_ROWS &&
         r.items.layout != SELVANE_ENGINE_ITEMS_AS_COLUMNS) ||
        (r.centres != SELVANE_ENGINE_MEANS &&
         r.centres != SELVANE_ENGINE_MEDIANS) ||
        (r.metric != SELVANE_ENGINE_CORRELATION &&
         r.metric != SELVANE_ENGINE_EUCLIDEAN)) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    if (r.threadCount < 0) return SELVANE_ENGINE_ERROR_THREAD_COUNT;
    status = CheckWeights(r.items.valueCount, r.items.weights);
    if (status != SELVANE_ENGINE_OK) return status;
    return CheckCellValues(r.items);
}

// The engine's view of the caller's cells, and every buffer the outputs are
// computed in, so that nothing reaches the caller unless the whole job
// succeeded.
struct JobStorage {
    CellView view;
    int* ids = nullptr;
    DataMatrix centreData = nullptr;
    MaskMatrix centreMask = nullptr;
    double* workValues = nullptr;
};

void ReleaseStorage(ClusterEngine& engine, JobStorage& s, int centreRows) {
    if (s.centreData) {
        engine.FreeCentroidMatrices(centreRows, s.centreData, s.centreMask);
    }
    Release(s.workValues);
    Release(s.ids);
    ReleaseCellView(s.view);
}

}  // namespace

int RunEngineJob(const EngineRequest& r, const EngineOutputs& o) {
    const int status = CheckRequest(r, o);
    if (status != SELVANE_ENGINE_OK) return status;

    const FloatEnvironmentGuard floatEnvironment;
    const int itemsAsColumns = r.items.layout ==
                               SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    const int rowCount = itemsAsColumns ? r.items.valueCount
                                        : r.items.itemCount;
    const int columnCount = itemsAsColumns ? r.items.itemCount
                                           : r.items.valueCount;
    const int centreRows = itemsAsColumns ? r.items.valueCount : r.clusterCount;
    const int centreColumns = itemsAsColumns ? r.clusterCount
                                             : r.items.valueCount;
    const bool medians = r.centres == SELVANE_ENGINE_MEDIANS;
    const bool wantCentres = o.centres || o.centrePresent;

    ClusterEngine engine;
    JobStorage s;
    bool ok = TakeCellView(r.items, s.view);
    s.ids = AllocateArray<int>(r.items.itemCount);
    if (wantCentres && medians)
        s.workValues = AllocateArray<double>(r.items.itemCount);
    ok = ok && s.ids && (!wantCentres || !medians || s.workValues);
    if (ok && wantCentres) {
        ok = engine.AllocCentroidMatrices(centreRows, centreColumns,
                                          &s.centreData, &s.centreMask) == 1;
    }
    if (!ok) {
        ReleaseStorage(engine, s, centreRows);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }

    double errorValue = 0.0;
    int foundCount = 0;
    {
        // The call's own generator and thread count, for this thread only.
        SeedWords own = r.seed ? SeedWordsFromSeed(*r.seed) : SeedWords{};
        const BoundGenerator generator(r.seed ? &own : BoundSeedWords());
        const BoundThreadCount threads(r.threadCount);
        engine.PartitionClusters(
            r.clusterCount, rowCount, columnCount, s.view.rows, s.view.maskRows,
            s.view.weights, itemsAsColumns, r.passCount, medians ? 'm' : 'a',
            r.metric == SELVANE_ENGINE_EUCLIDEAN ? 'e' : 'u', s.ids,
            &errorValue, &foundCount);
    }
    if (foundCount < 1) {
        ReleaseStorage(engine, s, centreRows);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }

    if (wantCentres) {
        // The centres of the partition returned, by the job's own rule.
        if (medians) {
            engine.ComputeClusterMedians(r.clusterCount, rowCount, columnCount,
                                         s.view.rows, s.view.maskRows, s.ids,
                                         s.centreData, s.centreMask,
                                         itemsAsColumns, s.workValues);
        } else {
            engine.ComputeClusterMeans(r.clusterCount, rowCount, columnCount,
                                       s.view.rows, s.view.maskRows, s.ids,
                                       s.centreData, s.centreMask,
                                       itemsAsColumns);
        }
        for (int k = 0; k < r.clusterCount; ++k) {
            for (int j = 0; j < r.items.valueCount; ++j) {
                const int row = itemsAsColumns ? j : k;
                const int column = itemsAsColumns ? k : j;
                const bool has = s.centreMask[row][column] != 0;
                const std::size_t at =
                    static_cast<std::size_t>(k) * r.items.valueCount + j;
                if (o.centres) {
                    o.centres[at] =
                        has ? s.centreData[row][column]
                            : std::numeric_limits<double>::quiet_NaN();
                }
                if (o.centrePresent) o.centrePresent[at] = has ? 1 : 0;
            }
        }
    }
    for (int i = 0; i < r.items.itemCount; ++i) o.clusterIds[i] = s.ids[i];
    if (o.errorValue) *o.errorValue = errorValue;
    if (o.foundCount) *o.foundCount = foundCount;
    ReleaseStorage(engine, s, centreRows);
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane

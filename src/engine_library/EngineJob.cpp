#include "engine_library/EngineJob.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "common/Allocate.h"
#include "engine/ClusterEngine.h"
#include "engine/PassThreads.h"
#include "entry/FloatEnvironment.h"
#include "random/CallGenerator.h"
#include "selvane_engine.h"

namespace selvane {

namespace {

bool IsPresent(const EngineRequest& r, std::size_t index) {
    return r.present ? r.present[index] != 0 : !std::isnan(r.values[index]);
}

std::size_t CellCount(const EngineRequest& r) {
    return static_cast<std::size_t>(r.itemCount) *
           static_cast<std::size_t>(r.valueCount);
}

// Everything is checked before anything is taken or written.
int CheckRequest(const EngineRequest& r, const EngineOutputs& o) {
    if (!r.values || !o.clusterIds) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    if (r.itemCount < 1 || r.valueCount < 1) return SELVANE_ENGINE_ERROR_SHAPE;
    // The cells, as doubles, must be addressable on a 32-bit build too.
    if (static_cast<std::uint64_t>(r.itemCount) *
            static_cast<std::uint64_t>(r.valueCount) >
        std::numeric_limits<std::size_t>::max() / sizeof(double)) {
        return SELVANE_ENGINE_ERROR_SHAPE;
    }
    if (r.clusterCount < 1 || r.clusterCount > r.itemCount) {
        return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    }
    if (r.passCount < 1) return SELVANE_ENGINE_ERROR_PASS_COUNT;
    if ((r.layout != SELVANE_ENGINE_ITEMS_AS_ROWS &&
         r.layout != SELVANE_ENGINE_ITEMS_AS_COLUMNS) ||
        (r.centres != SELVANE_ENGINE_MEANS &&
         r.centres != SELVANE_ENGINE_MEDIANS) ||
        (r.metric != SELVANE_ENGINE_CORRELATION &&
         r.metric != SELVANE_ENGINE_EUCLIDEAN)) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    if (r.threadCount < 0) return SELVANE_ENGINE_ERROR_THREAD_COUNT;
    if (r.weights) {
        for (int j = 0; j < r.valueCount; ++j) {
            if (!std::isfinite(r.weights[j]) || r.weights[j] < 0.0) {
                return SELVANE_ENGINE_ERROR_WEIGHT;
            }
        }
    }
    // A missing cell may hold anything; a present one must be a number
    // the distances can use.
    const std::size_t cells = CellCount(r);
    for (std::size_t i = 0; i < cells; ++i) {
        if (IsPresent(r, i) && !std::isfinite(r.values[i])) {
            return SELVANE_ENGINE_ERROR_VALUE;
        }
    }
    return SELVANE_ENGINE_OK;
}

// The engine's row-pointer view of the caller's values (no copy), the
// mask as ints, and every buffer the outputs are computed in, so that
// nothing reaches the caller unless the whole job succeeded.
struct JobStorage {
    const double** rows = nullptr;
    int** maskRows = nullptr;
    int* maskCells = nullptr;
    double* ones = nullptr;
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
    Release(s.ones);
    Release(s.maskCells);
    Release(s.maskRows);
    Release(s.rows);
}

}  // namespace

int RunEngineJob(const EngineRequest& r, const EngineOutputs& o) {
    const int status = CheckRequest(r, o);
    if (status != SELVANE_ENGINE_OK) return status;

    const FloatEnvironmentGuard floatEnvironment;
    const int itemsAsColumns = r.layout == SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    const int rowCount = itemsAsColumns ? r.valueCount : r.itemCount;
    const int columnCount = itemsAsColumns ? r.itemCount : r.valueCount;
    const int centreRows = itemsAsColumns ? r.valueCount : r.clusterCount;
    const int centreColumns = itemsAsColumns ? r.clusterCount : r.valueCount;
    const bool medians = r.centres == SELVANE_ENGINE_MEDIANS;
    const bool wantCentres = o.centres || o.centrePresent;

    ClusterEngine engine;
    JobStorage s;
    s.rows = AllocateArray<const double*>(rowCount);
    s.maskRows = AllocateArray<int*>(rowCount);
    s.maskCells = AllocateArray<int>(static_cast<std::int64_t>(CellCount(r)));
    s.ids = AllocateArray<int>(r.itemCount);
    if (!r.weights) s.ones = AllocateArray<double>(r.valueCount);
    if (wantCentres && medians)
        s.workValues = AllocateArray<double>(r.itemCount);
    bool ok = s.rows && s.maskRows && s.maskCells && s.ids &&
              (r.weights || s.ones) &&
              (!wantCentres || !medians || s.workValues);
    if (ok && wantCentres) {
        ok = engine.AllocCentroidMatrices(centreRows, centreColumns,
                                          &s.centreData, &s.centreMask) == 1;
    }
    if (!ok) {
        ReleaseStorage(engine, s, centreRows);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }

    for (int row = 0; row < rowCount; ++row) {
        const std::size_t start = static_cast<std::size_t>(row) * columnCount;
        s.rows[row] = r.values + start;
        s.maskRows[row] = s.maskCells + start;
        for (int c = 0; c < columnCount; ++c) {
            s.maskRows[row][c] = IsPresent(r, start + c) ? 1 : 0;
        }
    }
    if (s.ones) {
        for (int j = 0; j < r.valueCount; ++j) s.ones[j] = 1.0;
    }
    const double* weights = r.weights ? r.weights : s.ones;

    double errorValue = 0.0;
    int foundCount = 0;
    {
        // The call's own generator and thread count, for this thread only.
        SeedWords own = r.seed ? SeedWordsFromSeed(*r.seed) : SeedWords{};
        const BoundGenerator generator(r.seed ? &own : BoundSeedWords());
        const BoundThreadCount threads(r.threadCount);
        engine.PartitionClusters(
            r.clusterCount, rowCount, columnCount, s.rows, s.maskRows, weights,
            itemsAsColumns, r.passCount, medians ? 'm' : 'a',
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
                                         s.rows, s.maskRows, s.ids,
                                         s.centreData, s.centreMask,
                                         itemsAsColumns, s.workValues);
        } else {
            engine.ComputeClusterMeans(r.clusterCount, rowCount, columnCount,
                                       s.rows, s.maskRows, s.ids, s.centreData,
                                       s.centreMask, itemsAsColumns);
        }
        for (int k = 0; k < r.clusterCount; ++k) {
            for (int j = 0; j < r.valueCount; ++j) {
                const int row = itemsAsColumns ? j : k;
                const int column = itemsAsColumns ? k : j;
                const bool has = s.centreMask[row][column] != 0;
                const std::size_t at =
                    static_cast<std::size_t>(k) * r.valueCount + j;
                if (o.centres) {
                    o.centres[at] =
                        has ? s.centreData[row][column]
                            : std::numeric_limits<double>::quiet_NaN();
                }
                if (o.centrePresent) o.centrePresent[at] = has ? 1 : 0;
            }
        }
    }
    for (int i = 0; i < r.itemCount; ++i) o.clusterIds[i] = s.ids[i];
    if (o.errorValue) *o.errorValue = errorValue;
    if (o.foundCount) *o.foundCount = foundCount;
    ReleaseStorage(engine, s, centreRows);
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane

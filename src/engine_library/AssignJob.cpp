// Items measured against given centres by the engine's own distance
// functions, so that a prediction or a total has the clustering's bits.
#include <cstddef>

#include "engine/ClusterEngine.h"
#include "engine/Distance.h"
#include "engine_library/EngineJob.h"
#include "engine_library/ItemCells.h"
#include "entry/FloatEnvironment.h"
#include "selvane_engine.h"

namespace selvane {

namespace {

ItemCells CentreCells(const AssignRequest& r) {
    return {r.clusterCount,  r.items.valueCount,
            r.centres,       SELVANE_ENGINE_ITEMS_AS_ROWS,
            r.centrePresent, r.items.weights};
}

// Everything is checked before anything is taken or written.
int CheckAssign(const AssignRequest& r) {
    const ItemCells& items = r.items;
    if (!items.values || !r.centres) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    int status = CheckCellCounts(items.itemCount, items.valueCount);
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.clusterCount < 1) return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    status = CheckCellCounts(r.clusterCount, items.valueCount);
    if (status != SELVANE_ENGINE_OK) return status;
    if ((items.layout != SELVANE_ENGINE_ITEMS_AS_ROWS &&
         items.layout != SELVANE_ENGINE_ITEMS_AS_COLUMNS) ||
        (r.metric != SELVANE_ENGINE_CORRELATION &&
         r.metric != SELVANE_ENGINE_EUCLIDEAN)) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    status = CheckWeights(items.valueCount, items.weights);
    if (status == SELVANE_ENGINE_OK) status = CheckCellValues(items);
    if (status == SELVANE_ENGINE_OK) status = CheckCellValues(CentreCells(r));
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.givenIds) {
        for (int i = 0; i < items.itemCount; ++i) {
            if (r.givenIds[i] < 0 || r.givenIds[i] >= r.clusterCount) {
                return SELVANE_ENGINE_ERROR_CLUSTER_ID;
            }
        }
    }
    return SELVANE_ENGINE_OK;
}

}  // namespace

int RunAssignJob(const AssignRequest& r, const AssignOutputs& o) {
    const int status = CheckAssign(r);
    if (status != SELVANE_ENGINE_OK) return status;

    const FloatEnvironmentGuard floatEnvironment;
    const int valueCount = r.items.valueCount;
    ClusterEngine engine;
    CellView items;
    DataMatrix centreData = nullptr;
    MaskMatrix centreMask = nullptr;
    bool ok = TakeCellView(r.items, items);
    // The centres lie as the items do, as the distance functions take them.
    const int centreRows = items.itemsAsColumns ? valueCount : r.clusterCount;
    const int centreColumns = items.itemsAsColumns ? r.clusterCount
                                                   : valueCount;
    ok = ok && engine.AllocCentroidMatrices(centreRows, centreColumns,
                                            &centreData, &centreMask) == 1;
    if (!ok) {
        ReleaseCellView(items);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
    const ItemCells centres = CentreCells(r);
    for (int k = 0; k < r.clusterCount; ++k) {
        for (int j = 0; j < valueCount; ++j) {
            const std::size_t at = static_cast<std::size_t>(k) * valueCount + j;
            const int row = items.itemsAsColumns ? j : k;
            const int column = items.itemsAsColumns ? k : j;
            const bool has = CellPresent(centres, at);
            centreData[row][column] = has ? r.centres[at] : 0.0;
            centreMask[row][column] = has ? 1 : 0;
        }
    }

    const DistanceFunction distance = r.metric == SELVANE_ENGINE_EUCLIDEAN
                                          ? EuclideanDistance
                                          : UncenteredCorrelationDistance;
    double total = 0.0;
    for (int i = 0; i < r.items.itemCount; ++i) {
        int cluster = r.givenIds ? r.givenIds[i] : 0;
        double d = distance(valueCount, items.rows, centreData, items.maskRows,
                            centreMask, items.weights, i, cluster,
                            items.itemsAsColumns);
        for (int k = 1; !r.givenIds && k < r.clusterCount; ++k) {
            const double e = distance(valueCount, items.rows, centreData,
                                      items.maskRows, centreMask, items.weights,
                                      i, k, items.itemsAsColumns);
            // Only a strictly nearer centre takes the item, as in a sweep.
            if (d > e) {
                d = e;
                cluster = k;
            }
        }
        if (o.clusterIds) o.clusterIds[i] = cluster;
        if (o.distances) o.distances[i] = d;
        total += d;
    }
    if (o.total) *o.total = total;
    engine.FreeCentroidMatrices(centreRows, centreData, centreMask);
    ReleaseCellView(items);
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane

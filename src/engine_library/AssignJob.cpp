// Items measured against given centres by the engine's own distance
// functions, so that a prediction or a total has the clustering's bits.
#include <cstddef>

#include "common/FloatEnvironment.h"
#include "engine/ClusterEngine.h"
#include "engine/Distance.h"
#include "engine_library/EngineJob.h"
#include "engine_library/ItemCells.h"
#include "engine_library/JobCodes.h"

namespace selvane {

namespace {

ItemCells CentreCells(const selvane_engine_job& r) {
    return {r.cluster_count,        r.value_count,
            r.given_centres,        SELVANE_ENGINE_ITEMS_AS_ROWS,
            r.given_centre_present, r.weights};
}

// Everything is checked before anything is taken or written.
int CheckAssign(const selvane_engine_job& r) {
    const ItemCells items = CellsOf(r);
    if (!items.values || !r.given_centres) {
        return SELVANE_ENGINE_ERROR_NULL_POINTER;
    }
    int status = CheckCellCounts(items.itemCount, items.valueCount);
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.cluster_count < 1) return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    status = CheckCellCounts(r.cluster_count, items.valueCount);
    if (status != SELVANE_ENGINE_OK) return status;
    JobChoices choices;
    if (!ChoicesOf(r, &choices) || r.kind != SELVANE_ENGINE_JOB_CLUSTER ||
        r.pass_count != 0 || r.centres != 0 || r.seed || r.thread_count != 0 ||
        r.progress || r.cancel || r.start != 0) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    status = CheckWeights(items.valueCount, items.weights);
    if (status == SELVANE_ENGINE_OK) status = CheckCellValues(items);
    if (status == SELVANE_ENGINE_OK) status = CheckCellValues(CentreCells(r));
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.given_ids) {
        for (int i = 0; i < items.itemCount; ++i) {
            if (r.given_ids[i] < 0 || r.given_ids[i] >= r.cluster_count) {
                return SELVANE_ENGINE_ERROR_CLUSTER_ID;
            }
        }
    }
    return SELVANE_ENGINE_OK;
}

}  // namespace

int RunAssignJob(const selvane_engine_job& r, selvane_engine_result& o) {
    const int status = CheckAssign(r);
    if (status != SELVANE_ENGINE_OK) return status;

    const FloatEnvironmentGuard floatEnvironment;
    const int valueCount = r.value_count;
    ClusterEngine engine;
    CellView items;
    DataMatrix centreData = nullptr;
    MaskMatrix centreMask = nullptr;
    bool ok = TakeCellView(CellsOf(r), items);
    // The centres lie as the items do, as the distance functions take them.
    const int centreRows = items.itemsAsColumns ? valueCount : r.cluster_count;
    const int centreColumns = items.itemsAsColumns ? r.cluster_count
                                                   : valueCount;
    ok = ok && engine.AllocCentroidMatrices(centreRows, centreColumns,
                                            &centreData, &centreMask) == 1;
    if (!ok) {
        ReleaseCellView(items);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
    const ItemCells centres = CentreCells(r);
    for (int k = 0; k < r.cluster_count; ++k) {
        for (int j = 0; j < valueCount; ++j) {
            const std::size_t at = static_cast<std::size_t>(k) * valueCount + j;
            const int row = items.itemsAsColumns ? j : k;
            const int column = items.itemsAsColumns ? k : j;
            const bool has = CellPresent(centres, at);
            centreData[row][column] = has ? r.given_centres[at] : 0.0;
            centreMask[row][column] = has ? 1 : 0;
        }
    }

    JobChoices choices;
    ChoicesOf(r, &choices);  // checked above
    const DistanceFunction distance = DistanceOf(choices.metric);
    double total = 0.0;
    for (int i = 0; i < r.item_count; ++i) {
        int cluster = r.given_ids ? r.given_ids[i] : 0;
        double d = distance(valueCount, items.rows, centreData, items.maskRows,
                            centreMask, items.weights, i, cluster,
                            items.itemsAsColumns);
        for (int k = 1; !r.given_ids && k < r.cluster_count; ++k) {
            const double e = distance(valueCount, items.rows, centreData,
                                      items.maskRows, centreMask, items.weights,
                                      i, k, items.itemsAsColumns);
            // Only a strictly nearer centre takes the item, as in a sweep.
            if (d > e) {
                d = e;
                cluster = k;
            }
        }
        if (o.cluster_ids) o.cluster_ids[i] = cluster;
        if (o.distances) o.distances[i] = d;
        total += d;
    }
    o.error_value = total;
    engine.FreeCentroidMatrices(centreRows, centreData, centreMask);
    ReleaseCellView(items);
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane

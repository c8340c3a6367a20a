#include "engine_library/EngineJob.h"

#include <cstddef>
#include <limits>

#include "common/Allocate.h"
#include "common/FloatEnvironment.h"
#include "engine/ClusterEngine.h"
#include "engine/ItemStarts.h"
#include "engine_library/ItemCells.h"
#include "engine_library/JobCodes.h"

namespace selvane {

// Everything is checked before anything is taken or written.
int CheckClusterJob(const selvane_engine_job& r) {
    if (!r.values) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    int status = CheckCellCounts(r.item_count, r.value_count);
    if (status != SELVANE_ENGINE_OK) return status;
    if (r.cluster_count < 1 || r.cluster_count > r.item_count) {
        return SELVANE_ENGINE_ERROR_CLUSTER_COUNT;
    }
    if (r.pass_count < 1) return SELVANE_ENGINE_ERROR_PASS_COUNT;
    JobChoices choices;
    if (!ChoicesOf(r, &choices) || r.given_centres || r.given_centre_present ||
        r.given_ids) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    if (r.thread_count < 0) return SELVANE_ENGINE_ERROR_THREAD_COUNT;
    status = CheckWeights(r.value_count, r.weights);
    if (status != SELVANE_ENGINE_OK) return status;
    return CheckCellValues(CellsOf(r));
}

namespace {

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

int RunClusterJob(const selvane_engine_job& r, selvane_engine_result& o,
                  const JobPasses& passes) {
    const int status = CheckClusterJob(r);
    if (status != SELVANE_ENGINE_OK) return status;

    const FloatEnvironmentGuard floatEnvironment;
    JobChoices choices;
    ChoicesOf(r, &choices);  // checked above
    const int itemsAsColumns = choices.itemsAsColumns;
    const int rowCount = itemsAsColumns ? r.value_count : r.item_count;
    const int columnCount = itemsAsColumns ? r.item_count : r.value_count;
    const int centreRows = itemsAsColumns ? r.value_count : r.cluster_count;
    const int centreColumns = itemsAsColumns ? r.cluster_count : r.value_count;
    const bool medians = choices.centres == Centres::kMedians;
    const bool wantCentres = o.centres || o.centre_present;

    ClusterEngine engine;
    JobStorage s;
    bool ok = TakeCellView(CellsOf(r), s.view);
    s.ids = AllocateArray<int>(r.item_count);
    if (wantCentres && medians)
        s.workValues = AllocateArray<double>(r.item_count);
    ok = ok && s.ids && (!wantCentres || !medians || s.workValues);
    if (ok && wantCentres) {
        ok = engine.AllocCentroidMatrices(centreRows, centreColumns,
                                          &s.centreData, &s.centreMask) == 1;
    }
    if (!ok) {
        ReleaseStorage(engine, s, centreRows);
        return SELVANE_ENGINE_ERROR_NO_MEMORY;
    }
    const StartMethod start = choices.start;
    if (start != StartMethod::kPartition &&
        !EnoughStartItems({start,
                           r.cluster_count,
                           {{r.item_count, r.value_count, itemsAsColumns,
                             s.view.rows, s.view.maskRows, s.view.weights},
                            DistanceOf(choices.metric)}})) {
        ReleaseStorage(engine, s, centreRows);
        return SELVANE_ENGINE_ERROR_START_ITEMS;
    }

    double errorValue = 0.0;
    int foundCount = 1;
    RunReport report;
    if (passes.givenIds) {
        for (int i = 0; i < r.item_count; ++i) s.ids[i] = passes.givenIds[i];
    } else {
        Generator own(SeedWordsFromSeed(r.seed ? *r.seed : 0));
        RunSettings settings = SettingsOf(r);
        settings.piece = passes.piece;
        engine.PartitionClusters(
            r.cluster_count, rowCount, columnCount, s.view.rows,
            s.view.maskRows, s.view.weights, itemsAsColumns,
            passes.piece ? passes.passCount : r.pass_count,
            CodeOf(choices.centres), CodeOf(choices.metric), s.ids, &errorValue,
            &foundCount,
            passes.generator ? *passes.generator
            : r.seed         ? own
                             : ProcessGenerator(),
            settings, &report, start);
    }
    if (foundCount < 1) {
        ReleaseStorage(engine, s, centreRows);
        return report.cancelled ? SELVANE_ENGINE_ERROR_CANCELLED
                                : SELVANE_ENGINE_ERROR_NO_MEMORY;
    }

    if (wantCentres) {
        // The centres of the partition returned, by the job's own rule.
        switch (choices.centres) {
            case Centres::kMedians:
                engine.ComputeClusterMedians(
                    r.cluster_count, rowCount, columnCount, s.view.rows,
                    s.view.maskRows, s.ids, s.centreData, s.centreMask,
                    itemsAsColumns, s.workValues);
                break;
            case Centres::kMeans:
                engine.ComputeClusterMeans(r.cluster_count, rowCount,
                                           columnCount, s.view.rows,
                                           s.view.maskRows, s.ids, s.centreData,
                                           s.centreMask, itemsAsColumns);
                break;
        }
        for (int k = 0; k < r.cluster_count; ++k) {
            for (int j = 0; j < r.value_count; ++j) {
                const int row = itemsAsColumns ? j : k;
                const int column = itemsAsColumns ? k : j;
                const bool has = s.centreMask[row][column] != 0;
                const std::size_t at =
                    static_cast<std::size_t>(k) * r.value_count + j;
                if (o.centres) {
                    o.centres[at] =
                        has ? s.centreData[row][column]
                            : std::numeric_limits<double>::quiet_NaN();
                }
                if (o.centre_present) o.centre_present[at] = has ? 1 : 0;
            }
        }
    }
    for (int i = 0; o.cluster_ids && i < r.item_count; ++i) {
        o.cluster_ids[i] = s.ids[i];
    }
    o.error_value = errorValue;
    o.found_count = foundCount;
    o.best_pass_iterations = report.bestPassIterations;
    o.total_iterations = report.totalIterations;
    ReleaseStorage(engine, s, centreRows);
    return SELVANE_ENGINE_OK;
}

}  // namespace selvane

// One call of the engine entry on a job held in row-pointer matrices, and
// partitions compared up to renumbering.
#ifndef SELVANE_TESTS_SUPPORT_ENGINE_RUN_H
#define SELVANE_TESTS_SUPPORT_ENGINE_RUN_H

#include <map>
#include <utility>
#include <vector>

#include "engine/ClusterEngine.h"
#include "support/Matrix.h"

namespace selvane {
namespace test_support {

struct Outcome {
    std::vector<int> ids;
    double error;
    int found;
};

struct EngineJob {
    Data data;
    Mask mask;
    std::vector<double> weights;

    EngineJob Transposed() const {
        return {data.Transposed(), mask.Transposed(), weights};
    }

    // PartitionClusters on the matrices as they stand: itemsAsColumns says
    // whether their rows or their columns are the items. The ids start as
    // `start` (the assignment that passes == 0 refines; all 0 when empty),
    // the error value as -3.0 and the found count as -9. The process-wide
    // stream, and the given run settings.
    Outcome Run(int k, int passes, char method = 'a', char metric = 'e',
                int itemsAsColumns = 0, std::vector<int> start = {},
                const RunSettings& run = RunSettings()) {
        if (start.empty()) {
            start.assign(itemsAsColumns ? data.columns() : data.rows(), 0);
        }
        Outcome out{std::move(start), -3.0, -9};
        ClusterEngine engine;
        engine.PartitionClusters(k, data.rows(), data.columns(), data.get(),
                                 mask.get(), weights.data(), itemsAsColumns,
                                 passes, method, metric, out.ids.data(),
                                 &out.error, &out.found, ProcessGenerator(),
                                 run, nullptr);
        return out;
    }
};

// True when a and b group the items the same way, whatever the numbers.
inline bool SamePartition(const std::vector<int>& a,
                          const std::vector<int>& b) {
    if (a.size() != b.size()) return false;
    std::map<int, int> forward, backward;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto f = forward.emplace(a[i], b[i]).first;
        auto r = backward.emplace(b[i], a[i]).first;
        if (f->second != b[i] || r->second != a[i]) return false;
    }
    return true;
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_ENGINE_RUN_H

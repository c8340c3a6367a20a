#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/ItemDistances.h"
#include "support/EngineJobs.h"

namespace selvane {
namespace {

using test_support::Bits;

// Random jobs, gaps with junk in them, ties and signed values, some items
// scaled beyond the plain correlation's range: every distance of a run has
// the bits of the job's own function, from any first item, either layout.
TEST(ItemDistancesTest, BitsOfOneCallPerItem) {
    std::mt19937_64 rng(2207);
    for (int trial = 0; trial < 120 && !HasFailure(); ++trial) {
        test_support::SweepCase job = test_support::RandomJob(rng, trial % 2);
        for (int i = 0; trial % 3 == 0 && i < job.n; i += 3) {
            for (int j = 0; j < job.d; ++j) job.data[i][j] *= 1e200;
        }
        const int columns = trial % 4 < 2;
        test_support::EngineJob held = columns ? job.Transposed() : job;
        for (DistanceFunction distance :
             {EuclideanDistance, UncenteredCorrelationDistance}) {
            const ItemSet items{job.n,           job.d,
                                columns,         held.data.get(),
                                held.mask.get(), held.weights.data(),
                                distance};
            const int first = trial % 5 == 0 ? job.n / 2 : 0;
            std::vector<double> out(job.n - first);
            for (int to = 0; to < job.n; ++to) {
                DistancesToItem(items, first, job.n - first, to, out.data());
                for (int i = first; i < job.n; ++i) {
                    SCOPED_TRACE(test_support::Describe(job, columns, 0));
                    ASSERT_EQ(
                        Bits(out[i - first]),
                        Bits(distance(job.d, held.data.get(), held.data.get(),
                                      held.mask.get(), held.mask.get(),
                                      held.weights.data(), i, to, columns)))
                        << "item " << i << " to " << to;
                }
            }
        }
    }
}

}  // namespace
}  // namespace selvane

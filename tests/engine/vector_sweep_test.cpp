// The vector sweep against the literal one (one distance call per item and
// cluster), bit for bit, on many random jobs and on every register width
// this processor has. The literal sweep is the reference: each job runs
// twice from the same generator state, and cluster numbers, error value
// bits and found count must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/ClusterEngine.h"
#include "engine/Distance.h"
#include "engine/sweep/SweepDispatch.h"
#include "engine/sweep/VectorSweep.h"
#include "entry/RunEnvironment.h"
#include "entry/RunJob.h"
#include "random/SeedWords.h"
#include "support/Bits.h"
#include "support/EngineJobs.h"
#include "support/ThreadsVariable.h"

namespace selvane {
namespace {

using test_support::Bits;
using test_support::Data;
using test_support::Describe;
using test_support::EnvironmentVariable;
using test_support::ForcedWidth;
using test_support::Mask;
using test_support::Outcome;
using test_support::RandomJob;
using test_support::Run;
using test_support::SweepCase;
using test_support::SweepWidths;
using test_support::VectorWidths;

void ExpectSameOnEveryWidth(const SweepCase& job, int columns,
                            std::int32_t seed) {
    Outcome literal;
    {
        ForcedWidth force(kLiteralSweep);
        literal = Run(job, columns, seed);
    }
    for (int lanes : VectorWidths()) {
        ForcedWidth force(lanes);
        ASSERT_TRUE(force.ok);
        const Outcome vector = Run(job, columns, seed);
        SCOPED_TRACE(Describe(job, columns, lanes));
        EXPECT_EQ(vector.ids, literal.ids);
        EXPECT_EQ(Bits(vector.error), Bits(literal.error));
        EXPECT_EQ(vector.found, literal.found);
    }
}

TEST(VectorSweepTest, WidthsCanBeForcedAndReset) {
    EXPECT_TRUE(SweepWidthSupported(kLiteralSweep));
    EXPECT_FALSE(ForceSweepWidth(3));
    {
        ForcedWidth force(kLiteralSweep);
        EXPECT_EQ(SweepWidthFor(5, 0), kLiteralSweep);
    }
    for (int lanes : VectorWidths()) {
        ForcedWidth force(lanes);
        EXPECT_EQ(SweepWidthFor(1, 0), lanes);
    }
    // Left to itself, a job runs the fastest width: AVX2 where there is,
    // AVX-512 beyond two AVX2 registers of clusters where there is that.
    const int chosen = SweepWidthFor(8, 0);
    EXPECT_TRUE(SweepWidthSupported(chosen));
    if (SweepWidthSupported(kAvx2Lanes)) {
        EXPECT_EQ(chosen, kAvx2Lanes);
        EXPECT_EQ(SweepWidthFor(9, 0), SweepWidthSupported(kAvx512Lanes)
                                           ? kAvx512Lanes
                                           : kAvx2Lanes);
    }
    // SELVANE_SWEEP asks, through the run's settings, for a width by name;
    // a name of no width, or of one this processor lacks, keeps the
    // default, and so does a width asked for directly that it lacks.
    auto asked = [] { return SettingsFromEnvironment().sweepWidth; };
    for (int lanes : SweepWidths()) {
        EnvironmentVariable sweep("SELVANE_SWEEP", SweepWidthName(lanes));
        EXPECT_EQ(SweepWidthFor(8, asked()), lanes) << SweepWidthName(lanes);
    }
    for (const char* name : {"", "AVX2", "avx", "8", "avx512"}) {
        EnvironmentVariable sweep("SELVANE_SWEEP", name);
        if (std::string(name) != "avx512" ||
            !SweepWidthSupported(kAvx512Lanes)) {
            EXPECT_EQ(SweepWidthFor(8, asked()), chosen) << name;
        }
    }
    EXPECT_EQ(SweepWidthFor(8, 3), chosen);
}

TEST(VectorSweepTest, CompleteJobsMatchTheLiteralSweep) {
    std::mt19937_64 rng(20240611);
    for (int trial = 0; trial < 150; ++trial) {
        const SweepCase job = RandomJob(rng, false);
        ExpectSameOnEveryWidth(job, trial % 3 == 0 ? 5 : 0, 100 + trial);
        if (HasFailure()) return;
    }
}

TEST(VectorSweepTest, JobsWithGapsAndOddWeightsMatchTheLiteralSweep) {
    std::mt19937_64 rng(77);
    for (int trial = 0; trial < 150; ++trial) {
        const SweepCase job = RandomJob(rng, true);
        ExpectSameOnEveryWidth(job, trial % 2, 900 + trial);
        if (HasFailure()) return;
    }
}

TEST(VectorSweepTest, UnusualValuesAndWeightsGiveTheSameBits) {
    // Present infinities make default NaNs (inf - inf, 0 * inf); negative
    // weights make negative products under the square root, which the
    // library's sqrt, not the instruction, must answer. Items scaled by
    // 2^600 or 2^-600 overflow or underflow the correlation's sums, which
    // the scaled form must then answer for the same lanes.
    std::mt19937_64 rng(5);
    for (int trial = 0; trial < 120; ++trial) {
        SweepCase job = RandomJob(rng, trial % 8 >= 4);
        std::uniform_int_distribution<int> item(0, job.n - 1);
        std::uniform_int_distribution<int> value(0, job.d - 1);
        if (trial % 4 == 0) {
            job.data[item(rng)][value(rng)] =
                std::numeric_limits<double>::infinity();
        } else if (trial % 4 == 1) {
            for (double& w : job.weights) w = -w;
            job.weights[0] = 1.0;
        } else {
            const double scale = trial % 4 == 2 ? 0x1p+600 : 0x1p-600;
            for (int i = 0; i < job.n; i += 3) {
                for (int j = 0; j < job.d; ++j) job.data[i][j] *= scale;
            }
        }
        ExpectSameOnEveryWidth(job, trial % 3 == 0, trial);
        if (HasFailure()) return;
    }
}

TEST(VectorSweepTest, EveryClusterCountUpToTheItemCount) {
    std::mt19937_64 rng(99);
    std::uint64_t seed = rng();
    for (;; seed = rng()) {
        std::mt19937_64 probe(seed);
        if (RandomJob(probe, false).n >= 21) break;
    }
    std::mt19937_64 chosen(seed);
    SweepCase job = RandomJob(chosen, false);
    for (int k = 1; k <= job.n; ++k) {
        job.k = k;
        for (int& s : job.start) s %= k;
        job.passes = 3;
        job.metric = k % 2 ? 'u' : 'e';
        ExpectSameOnEveryWidth(job, k % 3 == 0, k);
        if (HasFailure()) return;
    }
}

// Overlapping clusters take many iterations, most items screened out and
// a few moving in each; cluster counts either side of 64 take both ways of
// gathering the screening's rival bits.
TEST(VectorSweepTest, OverlappingJobsOverManyIterationsMatchTheLiteralSweep) {
    std::mt19937_64 rng(4711);
    std::normal_distribution<double> noise(0.0, 1.0);
    const int n = 400, d = 5;
    for (int k : {8, 57, 64, 65, 72}) {
        Data centres(k, d);
        for (int c = 0; c < k; ++c) {
            for (int j = 0; j < d; ++j) centres[c][j] = 20.0 + 3.0 * noise(rng);
        }
        SweepCase job{{Data(n, d), Mask(n, d, 1), std::vector<double>(d, 1.0)},
                      n,
                      d,
                      k,
                      2,
                      'a',
                      k % 2 ? 'u' : 'e',
                      {}};
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < d; ++j) {
                job.data[i][j] = centres[i % k][j] + noise(rng);
            }
        }
        ExpectSameOnEveryWidth(job, 0, k);
        job.metric = k % 2 ? 'e' : 'u';
        job.weights[1] = 2.75;
        ExpectSameOnEveryWidth(job, 1, k + 1);
        if (HasFailure()) return;
    }
}

TEST(VectorSweepTest, MeansMatchComputeClusterMeans) {
    std::mt19937_64 rng(31);
    for (int trial = 0; trial < 40; ++trial) {
        SweepCase job = RandomJob(rng, trial % 2 == 1);
        const int columns = trial % 4 >= 2;
        Data t = job.data.Transposed();
        Mask tm = job.mask.Transposed();
        const int rows = columns ? job.d : job.n;
        const int cols = columns ? job.n : job.d;
        double** data = columns ? t.get() : job.data.get();
        int** mask = columns ? tm.get() : job.mask.get();
        const int centreRows = columns ? job.d : job.k;
        const int centreCols = columns ? job.k : job.d;
        Data expected(centreRows, centreCols), actual(centreRows, centreCols);
        Mask expectedMask(centreRows, centreCols),
            actualMask(centreRows, centreCols, 9);
        ClusterEngine engine;
        engine.ComputeClusterMeans(job.k, rows, cols, data, mask,
                                   job.start.data(), expected.get(),
                                   expectedMask.get(), columns);
        ForcedWidth force(VectorWidths().front());
        const SweepRequest request{job.k,
                                   job.n,
                                   job.d,
                                   columns,
                                   data,
                                   mask,
                                   job.weights.data(),
                                   Metric::kEuclidean,
                                   Centres::kMeans};
        SweepJob* sweepJob = nullptr;
        SweepWorkspace* workspace = nullptr;
        ASSERT_TRUE(OpenSweepJob(request, 0, &sweepJob));
        ASSERT_NE(sweepJob, nullptr);
        ASSERT_TRUE(OpenSweepWorkspace(*sweepJob, actual.get(),
                                       actualMask.get(), &workspace));
        StartSweepPass(*workspace);
        EXPECT_TRUE(NextSweepCentres(*sweepJob, *workspace, job.start.data()));
        CloseSweepWorkspace(workspace);
        CloseSweepJob(sweepJob);
        for (int r = 0; r < centreRows; ++r) {
            for (int c = 0; c < centreCols; ++c) {
                EXPECT_EQ(Bits(actual[r][c]), Bits(expected[r][c]));
                EXPECT_EQ(actualMask[r][c], expectedMask[r][c]);
            }
        }
    }
}

// Sweep by sweep, the totals of the vector sweep and of the literal one
// from the same start. The second sweep moves item 0 (at 50 degrees) from
// cluster 0, left with item 16 (at 0 degrees) alone, to cluster 1, which the
// items at 65 degrees joined in the first; item 16 then sits in a block of
// items at 200 degrees whose bounds all hold. A lone item adds nothing to
// the total, though its block is spared whole: only the totals show it.
TEST(VectorSweepTest, ALoneItemInABlockSparedWholeAddsNothing) {
    std::vector<double> angles = {50, 100, 100, 65, 65, 65, 65, 65, 65};
    std::vector<int> start = {0, 1, 1, 2, 2, 2, 2, 2, 2};
    for (int i = 9; i < 24; ++i) {
        angles.push_back(i == 16 ? 0 : 200);
        start.push_back(i == 16 ? 0 : 2);
    }
    const int n = 24, d = 2, k = 3;
    const double degree = 3.14159265358979323846 / 180.0;
    Data data(n, d);
    for (int i = 0; i < n; ++i) {
        data[i][0] = std::cos(angles[i] * degree);
        data[i][1] = std::sin(angles[i] * degree);
    }
    Mask mask(n, d, 1);
    const std::vector<double> weights(d, 1.0);
    ClusterEngine engine;
    std::vector<double> literal;
    {
        Data centres(k, d);
        Mask present(k, d);
        std::vector<int> ids = start;
        std::vector<int> sizes = {2, 2, 20};
        for (int sweep = 0; sweep < 3; ++sweep) {
            engine.ComputeClusterMeans(k, n, d, data.get(), mask.get(),
                                       ids.data(), centres.get(), present.get(),
                                       0);
            double total = 0.0;
            for (int i = 0; i < n; ++i) {
                const int home = ids[i];
                if (sizes[home] == 1) continue;
                auto distance = [&](int j) {
                    return UncenteredCorrelationDistance(
                        d, data.get(), centres.get(), mask.get(), present.get(),
                        weights.data(), i, j, 0);
                };
                double nearest = distance(home);
                for (int j = 0; j < k; ++j) {
                    if (j != home && nearest > distance(j)) {
                        sizes[ids[i]] -= 1;
                        ids[i] = j;
                        sizes[j] += 1;
                        nearest = distance(j);
                    }
                }
                total += nearest;
            }
            literal.push_back(total);
        }
    }
    for (int lanes : VectorWidths()) {
        ForcedWidth force(lanes);
        const SweepRequest request{k,
                                   n,
                                   d,
                                   0,
                                   data.get(),
                                   mask.get(),
                                   weights.data(),
                                   Metric::kCorrelation,
                                   Centres::kMeans};
        Data centres(k, d);
        Mask present(k, d);
        SweepJob* job = nullptr;
        SweepWorkspace* workspace = nullptr;
        ASSERT_TRUE(OpenSweepJob(request, 0, &job));
        ASSERT_TRUE(
            OpenSweepWorkspace(*job, centres.get(), present.get(), &workspace));
        StartSweepPass(*workspace);
        std::vector<int> ids = start;
        std::vector<int> sizes = {2, 2, 20};
        for (int sweep = 0; sweep < 3; ++sweep) {
            NextSweepCentres(*job, *workspace, ids.data());
            LayOutCentres(*job, *workspace);
            const double total =
                ReassignItems(*job, *workspace, ids.data(), sizes.data());
            EXPECT_EQ(Bits(total), Bits(literal[sweep]))
                << "lanes " << lanes << ", sweep " << sweep;
        }
        CloseSweepWorkspace(workspace);
        CloseSweepJob(job);
    }
}

TEST(VectorSweepTest, ExportedJobsMatchTheLiteralSweep) {
    std::mt19937_64 rng(2718);
    for (int trial = 0; trial < 24; ++trial) {
        const int n = std::uniform_int_distribution<int>(1, 80)(rng);
        const int d = std::uniform_int_distribution<int>(1, 9)(rng);
        const int k =
            std::uniform_int_distribution<int>(1, n < 12 ? n : 12)(rng);
        std::vector<double> input(static_cast<std::size_t>(n) * d);
        std::uniform_real_distribution<double> value(0.05, 10.0);
        for (double& x : input) x = value(rng);
        // Items with a value that is not positive are masked out whole.
        if (trial % 3 == 0) input[0] = 0.0;
        if (trial % 4 == 0) input[input.size() - 1] = -1.0;
        std::vector<double> literal(n), vector(n);
        {
            ForcedWidth force(kLiteralSweep);
            StoreSeedWords({trial + 1, 99});
            RunJob(n, d, input.data(), k, literal.data());
        }
        for (int lanes : VectorWidths()) {
            ForcedWidth force(lanes);
            StoreSeedWords({trial + 1, 99});
            RunJob(n, d, input.data(), k, vector.data());
            EXPECT_EQ(vector, literal)
                << "n=" << n << " d=" << d << " k=" << k << " lanes=" << lanes;
        }
    }
}

}  // namespace
}  // namespace selvane

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine/ClusterEngine.h"
#include "engine/ItemStarts.h"
#include "random/RandomDraws.h"
#include "support/Matrix.h"

namespace selvane {
namespace {

using test_support::Data;
using test_support::Mask;

const double kAbsent = std::nan("");

struct StartCase {
    const char* name;
    StartMethod method;
    char metric;
    int k;
    std::vector<double> weights;
    std::vector<std::vector<double>> items;  // kAbsent: not present
    std::vector<int> ids;
    int draws;
};

// Every case draws from words {1, 1}, whose uniforms are u0 = 0.99999968,
// u1 = 0.97451963, u2 = 0.64748391, u3 = 0.33308559, u4 = 0.03694454,
// u5 = 0.16171187, u6 = 0.66464503. An equal choice among R takes place
// floor(u * R) of the candidates not yet chosen; a weighted one walks
// running sums of max(d, 0) past u * T. k-means++ takes, of 2 + floor(ln K)
// weighted trials, the one whose taking leaves the least total weight (the
// first among equals).
const StartCase kCases[] = {
    // 0..5, Euclidean, 3 trials. u0: place floor(6 u0) = 5, item 5.
    // Distances to it 25 16 9 4 1, T = 55. Trials: u1 T = 53.6, sums
    // 25 41 50 54: item 3, leaving 9 4 1 - 1 = 15; u2 T = 35.6: item 1,
    // leaving 1 - 1 4 1 = 7; u3 T = 18.3: item 0, leaving - 1 4 4 1 = 10.
    // Item 1 (item 3 is as near it as item 5: stays in cluster 0). Now
    // T = 7: u4 T = 0.26: item 0, leaving - 1 4 1 = 6; u5 T = 1.13, sums
    // 1 2: item 2, leaving 1 - 1 1 = 3; u6 T = 4.65, sums 1 2 6: item 3,
    // leaving 1 1 - 1 = 3, no less: item 2. Item 3 moves to it; items 0
    // and 4 are as near it as to their centres and stay.
    {"k-means++ by hand",
     StartMethod::kKMeansPlusPlus,
     'e',
     3,
     {1.0},
     {{0}, {1}, {2}, {3}, {4}, {5}},
     {1, 1, 2, 2, 0, 0},
     7},
    // The same items as equal choices: places 5 of 6 (item 5), floor(5 u1)
    // = 4 of 0..4 (item 4), floor(4 u2) = 2 of 0..3 (item 2). Item 3 is 1
    // from items 4 and 2: the lower cluster keeps it.
    {"items by hand",
     StartMethod::kItems,
     'e',
     3,
     {1.0},
     {{0}, {1}, {2}, {3}, {4}, {5}},
     {2, 2, 2, 1, 1, 0},
     3},
    // Weights (1, 3), values missing: A (0,0), B (2,-), C (0,2), D (4,4),
    // E (-,-). E has no value and is never chosen: candidates A B C D,
    // place floor(4 u0) = 3, D. Distances to D: A (16 + 3*16) / 4 = 16,
    // B 4 / 1 = 4, C (16 + 3*4) / 4 = 7, E 0; T = 27. Trials: u1 T = 26.3,
    // sums 16 20 27: C, leaving A 3*4 / 4 = 3 and B 4 (to C 4 / 1 = 4, a
    // tie: it stays), 7; u2 T = 17.5: B, leaving A 4 / 1 = 4, C 4, 8;
    // u3 T = 9.0: A, leaving B 4, C 3, 7, no less: C. Now A 3, B 4, T = 7:
    // u4 T = 0.26: A, leaving B 4; u5 T = 1.13: A again; u6 T = 4.65, sums
    // 3 7: B, leaving A 3 (to B 4 / 1 = 4), less: B.
    {"weights and gaps",
     StartMethod::kKMeansPlusPlus,
     'e',
     3,
     {1.0, 3.0},
     {{0, 0}, {2, kAbsent}, {0, 2}, {4, 4}, {kAbsent, kAbsent}},
     {1, 2, 1, 0, 0},
     7},
    // Duplicates: after item 3 every total is 0, so the trials are equal
    // choices and the first wins: floor(3 u1) = 2 (item 2), then
    // floor(2 u4) = 0 (item 0).
    {"zero total",
     StartMethod::kKMeansPlusPlus,
     'e',
     3,
     {1.0},
     {{5}, {5}, {5}, {5}},
     {2, 0, 1, 0},
     7},
    // Parallel vectors: to C = (0.1, 0.5), the correlation distance of
    // B = (1.1, 5.5) rounds to 2^-53 and that of A = (0.3, 1.5) to -2^-52.
    // C is place floor(3 u0) = 2; A weighs max(d, 0) = 0, so both trials
    // (2 + floor(ln 2)) take B, the only weight; A is 0 from B and stays.
    // Adding A's -2^-52 would leave T below 0 and equal choices: A.
    {"correlation below zero",
     StartMethod::kKMeansPlusPlus,
     'u',
     2,
     {1.0, 1.0},
     {{1.1, 5.5}, {0.3, 1.5}, {0.1, 0.5}},
     {1, 0, 0},
     3},
};

class ItemStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(ItemStartTest, DrawsTheHandWorkedStart) {
    const StartCase& c = GetParam();
    const int n = static_cast<int>(c.items.size());
    const int d = static_cast<int>(c.weights.size());
    Data data(n, d);
    Mask mask(n, d, 1);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < d; ++j) {
            data[i][j] = c.items[i][j];
            mask[i][j] = std::isnan(c.items[i][j]) ? 0 : 1;
        }
    }
    const ItemStartRequest request{
        c.method,
        c.k,
        {n, d, 0, data.get(), mask.get(), c.weights.data(),
         SelectDistance(c.metric)}};
    ASSERT_TRUE(EnoughStartItems(request));
    const auto draw = [&](ItemStarts* starts, SeedWords words) {
        StoreSeedWords(words);
        std::vector<int> ids(n, -1);
        DrawItemStart(*starts, ids.data(), ProcessGenerator());
        return ids;
    };
    ItemStarts* reused = nullptr;
    ASSERT_TRUE(OpenItemStarts(request, &reused));
    EXPECT_EQ(draw(reused, {1, 1}), c.ids);
    const SeedWords after = LoadSeedWords();
    StoreSeedWords({1, 1});
    for (int u = 0; u < c.draws; ++u) UniformRandom(ProcessGenerator());
    EXPECT_EQ(after.s1, LoadSeedWords().s1) << "draws";
    EXPECT_EQ(after.s2, LoadSeedWords().s2);
    // Scratch that drew before draws what fresh scratch draws.
    for (std::int32_t seed = 2; seed < 30; ++seed) {
        ItemStarts* fresh = nullptr;
        ASSERT_TRUE(OpenItemStarts(request, &fresh));
        EXPECT_EQ(draw(reused, {seed, 3}), draw(fresh, {seed, 3}));
        CloseItemStarts(fresh);
    }
    CloseItemStarts(reused);
}

// Cases print as their names.
void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Cases, ItemStartTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StartCase>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(
                                         static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

// Item 1 has no present value, item 2 only one of weight 0: one candidate,
// so the engine refuses two clusters from items (found count 0) before
// drawing, and clusters them from a random partition.
TEST(ItemStartTest, NeedsACandidatePerCluster) {
    Data data{{1.0, 2.0}, {0.0, 0.0}, {3.0, 4.0}};
    Mask mask{{1, 0}, {0, 0}, {0, 1}};
    const double weights[] = {1.0, 0.0};
    for (StartMethod start : {StartMethod::kPartition, StartMethod::kItems,
                              StartMethod::kKMeansPlusPlus}) {
        StoreSeedWords({5, 6});
        std::vector<int> ids(3, 0);
        double error = 0.0;
        int found = -9;
        ClusterEngine().PartitionClusters(2, 3, 2, data.get(), mask.get(),
                                          weights, 0, 4, 'a', 'e', ids.data(),
                                          &error, &found, ProcessGenerator(),
                                          RunSettings(), nullptr, start);
        const bool partition = start == StartMethod::kPartition;
        EXPECT_EQ(found > 0, partition);
        EXPECT_EQ(LoadSeedWords().s1 != 5, partition);
    }
}

}  // namespace
}  // namespace selvane

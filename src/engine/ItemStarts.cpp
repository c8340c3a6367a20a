#include "engine/ItemStarts.h"

#include <cfloat>
#include <limits>

#include "common/Allocate.h"
#include "random/RandomDraws.h"
#include "random/ShuffleIndex.h"

namespace selvane {

struct ItemStarts {
    ItemStartRequest job;
    int* candidates;  // the candidates' item numbers, ascending
    int candidateCount;
    double* nearest;   // N: each item's distance to its nearest centre
    double* measured;  // N: each item's distance to the item measured last
    double* kept;      // N, k-means++ only: to the best trial so far
    int trials;        // k-means++: draws per centre after the first
};

namespace {

// Marks a chosen item in `nearest`: no engine distance is -infinity, so no
// distance is ever nearer, and its weight, max(d, 0), is 0.
constexpr double kChosen = -std::numeric_limits<double>::infinity();

constexpr double kE = 2.718281828459045;

bool IsCandidate(const ItemSet& items, int item) {
    for (int k = 0; k < items.valueCount; ++k) {
        const int present = items.itemsAsColumns ? items.mask[k][item]
                                                 : items.mask[item][k];
        if (present != 0 && items.weights[k] != 0.0) return true;
    }
    return false;
}

inline double Weight(double distance) {
    return distance > 0.0 ? distance : 0.0;
}

// The candidate at place ShuffleIndex(u, R, 0) among the R not yet chosen.
int EqualChoice(const ItemStarts& s, double u, int chosenCount) {
    const int remaining = s.candidateCount - chosenCount;
    int place = ShuffleIndex(u, remaining, 0);
    // The marks of the last start are still in `nearest`.
    if (chosenCount == 0) return s.candidates[place];
    int item = -1;
    for (int c = 0; c < s.candidateCount; ++c) {
        item = s.candidates[c];
        if (s.nearest[item] == kChosen) continue;
        if (place-- == 0) break;
    }
    return item;
}

// A candidate drawn with weight max(d, 0), d its distance to the nearest
// centre so far.
int WeightedChoice(const ItemStarts& s, double u, int chosenCount) {
    double total = 0.0;
    for (int c = 0; c < s.candidateCount; ++c) {
        total += Weight(s.nearest[s.candidates[c]]);
    }
    if (!(total > 0.0 && total <= DBL_MAX)) {
        return EqualChoice(s, u, chosenCount);
    }
    const double target = u * total;
    double sum = 0.0;
    int last = -1;
    for (int c = 0; c < s.candidateCount; ++c) {
        const int item = s.candidates[c];
        const double weight = Weight(s.nearest[item]);
        if (weight == 0.0) continue;
        sum += weight;
        last = item;
        if (target < sum) break;
    }
    return last;
}

// distances[i] = the distance of item i to item `to`, for every item.
void Measure(const ItemSet& items, int to, double* distances) {
    DistancesToItem(items, 0, items.itemCount, to, distances);
}

// The nearer of an item's nearest centre so far and a new one at distance
// d: the new one only when strictly nearer (never when d is not a number).
inline double Nearer(double d, double nearest) {
    return d < nearest ? d : nearest;
}

// Makes item `centre` the centre of cluster j and moves to it every item
// strictly nearer to it than to the centres before; distances: every
// item's distance to it.
void TakeCentre(ItemStarts& s, int j, int centre, const double* distances,
                int* clusterIds) {
    clusterIds[centre] = j;
    s.nearest[centre] = kChosen;
    for (int i = 0; i < s.job.items.itemCount; ++i) {
        if (i == centre || (j > 0 && s.nearest[i] == kChosen)) continue;
        if (j == 0 || distances[i] < s.nearest[i]) {
            s.nearest[i] = distances[i];
            clusterIds[i] = j;
        }
    }
}

// Greedy k-means++ (Arthur and Vassilvitskii's, as scikit-learn runs it):
// of s.trials items drawn by weight, the one that leaves the smallest total
// weight once taken. Totals are added in item order; among equal totals
// the first drawn wins. Leaves its distances in s.kept.
int GreedyChoice(ItemStarts& s, int chosenCount, Generator& generator) {
    int best = -1;
    double bestTotal = 0.0;
    for (int t = 0; t < s.trials; ++t) {
        const int trial =
            WeightedChoice(s, UniformRandom(generator), chosenCount);
        if (trial == best) continue;
        Measure(s.job.items, trial, s.measured);
        double total = 0.0;
        for (int c = 0; c < s.candidateCount; ++c) {
            const int item = s.candidates[c];
            total += Weight(Nearer(s.measured[item], s.nearest[item]));
        }
        if (best < 0 || total < bestTotal) {
            best = trial;
            bestTotal = total;
            double* swap = s.kept;
            s.kept = s.measured;
            s.measured = swap;
        }
    }
    return best;
}

}  // namespace

bool EnoughStartItems(const ItemStartRequest& request) {
    int found = 0;
    for (int i = 0; i < request.items.itemCount && found < request.clusterCount;
         ++i) {
        if (IsCandidate(request.items, i)) ++found;
    }
    return found >= request.clusterCount;
}

bool OpenItemStarts(const ItemStartRequest& request, ItemStarts** starts) {
    *starts = nullptr;
    ItemStarts* s = AllocateArray<ItemStarts>(1);
    const int n = request.items.itemCount;
    int* candidates = s ? AllocateArray<int>(n) : nullptr;
    const bool greedy = request.method == StartMethod::kKMeansPlusPlus;
    double* nearest = candidates ? AllocateArray<double>(n) : nullptr;
    double* measured = nearest ? AllocateArray<double>(n) : nullptr;
    double* kept = measured && greedy ? AllocateArray<double>(n) : nullptr;
    if (!measured || (greedy && !kept)) {
        Release(measured);
        Release(nearest);
        Release(candidates);
        Release(s);
        return false;
    }
    // 2 + floor(ln K) trials, by exact comparisons: e^m is never an integer.
    int trials = 2;
    for (double power = kE; power <= request.clusterCount; power *= kE) {
        ++trials;
    }
    *s = ItemStarts{request, candidates, 0, nearest, measured, kept, trials};
    for (int i = 0; i < n; ++i) {
        if (IsCandidate(request.items, i)) candidates[s->candidateCount++] = i;
    }
    *starts = s;
    return true;
}

void CloseItemStarts(ItemStarts* starts) {
    if (!starts) return;
    Release(starts->candidates);
    Release(starts->nearest);
    Release(starts->measured);
    Release(starts->kept);
    Release(starts);
}

int ItemStartDraws(const ItemStarts& starts) {
    const int k = starts.job.clusterCount;
    return starts.job.method == StartMethod::kKMeansPlusPlus
               ? 1 + (k - 1) * starts.trials
               : k;
}

void DrawItemStart(ItemStarts& starts, int* clusterIds, Generator& generator) {
    const bool greedy = starts.job.method == StartMethod::kKMeansPlusPlus;
    for (int j = 0; j < starts.job.clusterCount; ++j) {
        if (greedy && j > 0) {
            const int centre = GreedyChoice(starts, j, generator);
            TakeCentre(starts, j, centre, starts.kept, clusterIds);
        } else {
            const int centre = EqualChoice(starts, UniformRandom(generator), j);
            Measure(starts.job.items, centre, starts.measured);
            TakeCentre(starts, j, centre, starts.measured, clusterIds);
        }
    }
}

}  // namespace selvane

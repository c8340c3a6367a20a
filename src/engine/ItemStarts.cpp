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
    double* nearest;  // N: each item's distance to its nearest centre
};

namespace {

// Marks a chosen item in `nearest`: no engine distance is -infinity, so no
// distance is ever nearer, and its weight, max(d, 0), is 0.
constexpr double kChosen = -std::numeric_limits<double>::infinity();

// Items measured to a centre at a time: few enough for the stack.
constexpr int kBlock = 64;

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

// Makes item `centre` the centre of cluster j and moves to it every item
// strictly nearer to it than to the centres before.
void TakeCentre(ItemStarts& s, int j, int centre, int* clusterIds) {
    const ItemSet& items = s.job.items;
    clusterIds[centre] = j;
    s.nearest[centre] = kChosen;
    double distances[kBlock];
    for (int first = 0; first < items.itemCount; first += kBlock) {
        const int count =
            items.itemCount - first < kBlock ? items.itemCount - first : kBlock;
        DistancesToItem(items, first, count, centre, distances);
        for (int b = 0; b < count; ++b) {
            const int i = first + b;
            if (i == centre || (j > 0 && s.nearest[i] == kChosen)) continue;
            if (j == 0 || distances[b] < s.nearest[i]) {
                s.nearest[i] = distances[b];
                clusterIds[i] = j;
            }
        }
    }
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
    double* nearest = candidates ? AllocateArray<double>(n) : nullptr;
    if (!nearest) {
        Release(candidates);
        Release(s);
        return false;
    }
    *s = ItemStarts{request, candidates, 0, nearest};
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
    Release(starts);
}

void DrawItemStart(ItemStarts& starts, int* clusterIds, Generator& generator) {
    const bool weighted = starts.job.method == StartMethod::kKMeansPlusPlus;
    for (int j = 0; j < starts.job.clusterCount; ++j) {
        const double u = UniformRandom(generator);
        const int centre = weighted && j > 0 ? WeightedChoice(starts, u, j)
                                             : EqualChoice(starts, u, j);
        TakeCentre(starts, j, centre, clusterIds);
    }
}

}  // namespace selvane

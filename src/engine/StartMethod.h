// How each pass of a job chooses the assignment it starts from. Internal.
#ifndef SELVANE_ENGINE_START_METHOD_H
#define SELVANE_ENGINE_START_METHOD_H

namespace selvane {

enum class StartMethod {
    // Items dealt into the clusters at random (AssignRandomStart): the
    // start of Selvane() and of every job that does not choose another.
    kPartition,
    // K distinct items drawn with equal probability as the first centres
    // (ItemStarts.h).
    kItems,
    // Greedy k-means++: the first centre an item drawn with equal
    // probability, each next one the best of a few items drawn with
    // probability proportional to their distance to the nearest centre
    // chosen so far (ItemStarts.h).
    kKMeansPlusPlus,
};

}  // namespace selvane

#endif  // SELVANE_ENGINE_START_METHOD_H

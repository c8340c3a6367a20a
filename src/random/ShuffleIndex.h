// The exchange partner of one forward Fisher-Yates step. Internal; its own
// header so that tests can reach the large-count edge directly.
#ifndef SELVANE_RANDOM_SHUFFLE_INDEX_H
#define SELVANE_RANDOM_SHUFFLE_INDEX_H

namespace selvane {

// Index in position .. itemCount - 1 chosen by u in (0, 1). Caller guarantees
// 0 <= position < itemCount.
inline int ShuffleIndex(double u, int itemCount, int position) {
    const double target = u * static_cast<double>(itemCount - position) +
                          static_cast<double>(position);
    // Above 2^22 items the sum can round up to itemCount itself (u close to
    // 1, few places left), one past the last entry.
    if (target >= static_cast<double>(itemCount)) return itemCount - 1;
    return static_cast<int>(target);
}

}  // namespace selvane

#endif  // SELVANE_RANDOM_SHUFFLE_INDEX_H

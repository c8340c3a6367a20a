// Comparing partitions up to renumbering.
#ifndef SELVANE_TESTS_SUPPORT_PARTITION_H
#define SELVANE_TESTS_SUPPORT_PARTITION_H

#include <map>
#include <vector>

namespace selvane {
namespace test_support {

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

#endif  // SELVANE_TESTS_SUPPORT_PARTITION_H

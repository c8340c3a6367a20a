// A DataMatrix / MaskMatrix of row pointers over owned rows, for tests.
#ifndef SELVANE_TESTS_SUPPORT_GRID_H
#define SELVANE_TESTS_SUPPORT_GRID_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace selvane {
namespace test_support {

template <typename T>
class Grid {
public:
    Grid(int rows, int columns, T fill)
        : cells_(static_cast<size_t>(rows),
                 std::vector<T>(static_cast<size_t>(columns), fill)) {
        for (auto& row : cells_) pointers_.push_back(row.data());
    }
    Grid(const Grid&) = delete;
    Grid(Grid&&) = default;
    T** get() { return pointers_.data(); }
    T& at(int r, int c) { return cells_[r][c]; }
    int rows() const { return static_cast<int>(cells_.size()); }
    int columns() const { return static_cast<int>(cells_[0].size()); }
    Grid Transposed() {
        Grid t(columns(), rows(), T());
        for (int r = 0; r < rows(); ++r)
            for (int c = 0; c < columns(); ++c) t.at(c, r) = at(r, c);
        return t;
    }

private:
    std::vector<std::vector<T>> cells_;
    std::vector<T*> pointers_;
};

// The bit pattern of a double, so that tests compare results exactly
// (NaN and the sign of zero included).
inline std::uint64_t Bits(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_GRID_H

// Row-pointer matrices for tests, owning their storage. Each row is a
// separate allocation, as the library's are, so that the sanitizers catch a
// read past the end of any row.
#ifndef SELVANE_TESTS_SUPPORT_MATRIX_H
#define SELVANE_TESTS_SUPPORT_MATRIX_H

#include <cstddef>
#include <initializer_list>
#include <vector>

namespace selvane {
namespace test_support {

template <typename T>
class Matrix {
public:
    Matrix(int rows, int columns, T fill = T())
        : rows_(static_cast<std::size_t>(rows),
                std::vector<T>(static_cast<std::size_t>(columns), fill)) {
        Bind();
    }
    // values: row after row.
    Matrix(int rows, int columns, const std::vector<T>& values)
        : Matrix(rows, columns) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            rows_[i / columns][i % columns] = values[i];
        }
    }
    // One braced list per row.
    Matrix(std::initializer_list<std::initializer_list<T>> rows)
        : rows_(rows.begin(), rows.end()) {
        Bind();
    }
    Matrix(const Matrix& other) : rows_(other.rows_) { Bind(); }
    Matrix& operator=(const Matrix&) = delete;

    T** get() { return pointers_.data(); }
    T* operator[](int row) { return pointers_[row]; }
    T& at(int row, int column) { return rows_[row][column]; }
    int rows() const { return static_cast<int>(rows_.size()); }
    int columns() const {
        return rows_.empty() ? 0 : static_cast<int>(rows_[0].size());
    }

    Matrix Transposed() const {
        Matrix t(columns(), rows());
        for (int r = 0; r < rows(); ++r)
            for (int c = 0; c < columns(); ++c) t.rows_[c][r] = rows_[r][c];
        return t;
    }

private:
    void Bind() {
        for (auto& row : rows_) pointers_.push_back(row.data());
    }
    std::vector<std::vector<T>> rows_;
    std::vector<T*> pointers_;
};

using Data = Matrix<double>;
using Mask = Matrix<int>;

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_MATRIX_H

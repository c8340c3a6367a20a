// Row-pointer matrices for engine tests, owning their storage.
#ifndef SELVANE_TESTS_SUPPORT_MATRIX_H
#define SELVANE_TESTS_SUPPORT_MATRIX_H

#include <vector>

namespace selvane {
namespace test_support {

template <typename T>
class Matrix {
public:
    Matrix(int rows, int columns, T fill = T())
        : rows_(rows), columns_(columns),
          store_(static_cast<std::size_t>(rows) * columns, fill) {
        Bind();
    }
    // values: row after row.
    Matrix(int rows, int columns, const std::vector<T>& values)
        : rows_(rows), columns_(columns), store_(values) {
        Bind();
    }
    Matrix(const Matrix& other)
        : rows_(other.rows_), columns_(other.columns_), store_(other.store_) {
        Bind();
    }
    Matrix& operator=(const Matrix&) = delete;

    T** get() { return pointers_.data(); }
    T* operator[](int row) { return pointers_[row]; }
    int rows() const { return rows_; }
    int columns() const { return columns_; }

    Matrix Transposed() const {
        Matrix t(columns_, rows_);
        for (int r = 0; r < rows_; ++r)
            for (int c = 0; c < columns_; ++c)
                t.store_[static_cast<std::size_t>(c) * rows_ + r] =
                    store_[static_cast<std::size_t>(r) * columns_ + c];
        return t;
    }

private:
    void Bind() {
        pointers_.clear();
        for (int r = 0; r < rows_; ++r)
            pointers_.push_back(store_.data() +
                                static_cast<std::size_t>(r) * columns_);
    }
    int rows_;
    int columns_;
    std::vector<T> store_;
    std::vector<T*> pointers_;
};

using Data = Matrix<double>;
using Mask = Matrix<int>;

}  // namespace test_support
}  // namespace selvane

#endif  // SELVANE_TESTS_SUPPORT_MATRIX_H

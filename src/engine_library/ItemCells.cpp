#include "engine_library/ItemCells.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "common/Allocate.h"
#include "selvane_engine.h"

namespace selvane {

bool CellPresent(const ItemCells& cells, std::size_t index) {
    return cells.present ? cells.present[index] != 0
                         : !std::isnan(cells.values[index]);
}

int CheckCellCounts(int itemCount, int valueCount) {
    if (itemCount < 1 || valueCount < 1) return SELVANE_ENGINE_ERROR_SHAPE;
    if (static_cast<std::uint64_t>(itemCount) *
            static_cast<std::uint64_t>(valueCount) >
        std::numeric_limits<std::size_t>::max() / sizeof(double)) {
        return SELVANE_ENGINE_ERROR_SHAPE;
    }
    return SELVANE_ENGINE_OK;
}

int CheckWeights(int valueCount, const double* weights) {
    if (!weights) return SELVANE_ENGINE_OK;
    for (int j = 0; j < valueCount; ++j) {
        if (!std::isfinite(weights[j]) || weights[j] < 0.0) {
            return SELVANE_ENGINE_ERROR_WEIGHT;
        }
    }
    return SELVANE_ENGINE_OK;
}

int CheckCellValues(const ItemCells& cells) {
    // A missing cell may hold anything; a present one must be a number the
    // distances can use, and at least one must count in them, or every
    // distance is the same and any answer would be made up.
    const bool columns = cells.layout == SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    const int outer = columns ? cells.valueCount : cells.itemCount;
    const int inner = columns ? cells.itemCount : cells.valueCount;
    bool anyCounts = false;
    std::size_t index = 0;
    for (int a = 0; a < outer; ++a) {
        for (int b = 0; b < inner; ++b, ++index) {
            if (!CellPresent(cells, index)) continue;
            if (!std::isfinite(cells.values[index])) {
                return SELVANE_ENGINE_ERROR_VALUE;
            }
            if (!anyCounts) {
                const int j = columns ? a : b;
                anyCounts = !cells.weights || cells.weights[j] != 0.0;
            }
        }
    }
    return anyCounts ? SELVANE_ENGINE_OK : SELVANE_ENGINE_ERROR_NOTHING_PRESENT;
}

bool TakeCellView(const ItemCells& cells, CellView& view) {
    view.itemsAsColumns = cells.layout == SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    view.rowCount = view.itemsAsColumns ? cells.valueCount : cells.itemCount;
    view.columnCount = view.itemsAsColumns ? cells.itemCount : cells.valueCount;
    view.rows = AllocateArray<const double*>(view.rowCount);
    view.maskRows = AllocateArray<int*>(view.rowCount);
    view.maskCells = AllocateArray<int>(
        static_cast<std::int64_t>(cells.itemCount) * cells.valueCount);
    if (!cells.weights) view.ones = AllocateArray<double>(cells.valueCount);
    if (!view.rows || !view.maskRows || !view.maskCells ||
        (!cells.weights && !view.ones)) {
        ReleaseCellView(view);
        return false;
    }
    for (int row = 0; row < view.rowCount; ++row) {
        const std::size_t start =
            static_cast<std::size_t>(row) * view.columnCount;
        view.rows[row] = cells.values + start;
        view.maskRows[row] = view.maskCells + start;
        for (int c = 0; c < view.columnCount; ++c) {
            view.maskRows[row][c] = CellPresent(cells, start + c) ? 1 : 0;
        }
    }
    if (view.ones) {
        for (int j = 0; j < cells.valueCount; ++j) view.ones[j] = 1.0;
    }
    view.weights = cells.weights ? cells.weights : view.ones;
    return true;
}

void ReleaseCellView(CellView& view) {
    Release(view.ones);
    Release(view.maskCells);
    Release(view.maskRows);
    Release(view.rows);
    view = CellView{};
}

}  // namespace selvane

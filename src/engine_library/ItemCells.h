// Items as the engine library's callers lay them out, and the engine's
// row-pointer view of them, shared by the clustering job and the
// assignment to given centres. Internal.
#ifndef SELVANE_ENGINE_LIBRARY_ITEM_CELLS_H
#define SELVANE_ENGINE_LIBRARY_ITEM_CELLS_H

#include <cstddef>

namespace selvane {

// itemCount items of valueCount values, in `layout` order
// (SELVANE_ENGINE_ITEMS_AS_ROWS or _COLUMNS).
struct ItemCells {
    int itemCount;
    int valueCount;
    const double* values;
    int layout;
    const unsigned char* present;  // null: NaN means missing
    const double* weights;         // null: every weight 1
};

bool CellPresent(const ItemCells& cells, std::size_t index);

// SHAPE unless both counts are at least 1 and the cells, as doubles, can be
// addressed (on a 32-bit build too); else OK.
int CheckCellCounts(int itemCount, int valueCount);

// WEIGHT for a weight that is negative or not finite.
int CheckWeights(int valueCount, const double* weights);

// VALUE for a present cell that is not finite; NOTHING_PRESENT when no
// present cell has a non-zero weight. The counts and weights are checked.
int CheckCellValues(const ItemCells& cells);

// The engine's view of the cells: row pointers into the caller's values
// (no copy), the presence as an int mask, and the weights (ones when the
// caller gave none).
struct CellView {
    int rowCount = 0;
    int columnCount = 0;
    int itemsAsColumns = 0;
    const double** rows = nullptr;
    int** maskRows = nullptr;
    int* maskCells = nullptr;
    double* ones = nullptr;
    const double* weights = nullptr;
};

// False when memory ran out; the view is then empty. Either way the view
// must be released.
bool TakeCellView(const ItemCells& cells, CellView& view);
void ReleaseCellView(CellView& view);

}  // namespace selvane

#endif  // SELVANE_ENGINE_LIBRARY_ITEM_CELLS_H

#include "common/Allocate.h"
#include "engine/ClusterEngine.h"

namespace selvane {

int ClusterEngine::AllocCentroidMatrices(int rowCount, int columnCount,
                                         DataMatrix* centroidData,
                                         MaskMatrix* centroidMask) {
    double** data = AllocateArray<double*>(rowCount);
    if (!data) return 0;
    int** mask = AllocateArray<int*>(rowCount);
    if (!mask) {
        Release(data);
        return 0;
    }
    int complete = 0;
    while (complete < rowCount) {
        data[complete] = AllocateArray<double>(columnCount);
        if (!data[complete]) break;
        mask[complete] = AllocateArray<int>(columnCount);
        if (!mask[complete]) {
            Release(data[complete]);
            break;
        }
        ++complete;
    }
    if (complete == rowCount) {
        *centroidData = data;
        *centroidMask = mask;
        return 1;
    }
    *centroidData = nullptr;
    *centroidMask = nullptr;
    for (int i = 0; i < complete; ++i) {
        Release(data[i]);
        Release(mask[i]);
    }
    Release(data);
    Release(mask);
    return 0;
}

void ClusterEngine::FreeCentroidMatrices(int rowCount, DataMatrix centroidData,
                                         MaskMatrix centroidMask) {
    for (int i = 0; i < rowCount; ++i) {
        Release(centroidMask[i]);
        Release(centroidData[i]);
    }
    Release(centroidMask);
    Release(centroidData);
}

}  // namespace selvane

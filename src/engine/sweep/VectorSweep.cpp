#include "engine/sweep/VectorSweep.h"

#include "engine/sweep/SweepMeans.h"
#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

namespace selvane {

void StartSweepPass(SweepWorkspace& workspace) {
    workspace.meansPending = false;
    workspace.unitCentresReady = false;
    workspace.layoutReady = false;
    workspace.swept = false;
}

bool NextSweepCentres(const SweepJob& job, SweepWorkspace& workspace,
                      const int* ids) {
    if (!job.means) return false;
    if (workspace.meansPending) {
        FinishMeans(job, workspace, workspace.touched);
    } else {
        VectorClusterMeans(job, workspace, ids);
    }
    workspace.meansPending = false;
    return true;
}

const unsigned char* TouchedClusters(const SweepWorkspace& workspace) {
    return workspace.swept ? workspace.touched : nullptr;
}

double ReassignItems(const SweepJob& job, SweepWorkspace& workspace, int* ids,
                     int* clusterSizes) {
    return job.sweep(job, workspace, ids, clusterSizes);
}

}  // namespace selvane

/* Clusters six items of three values with the engine library: k-medians,
 * Euclidean distance, one value missing (NaN), seed 42. Prints the cluster
 * of every item, the found count and the centres (nan where no member has
 * the value). Build: cc examples/engine.c $(pkg-config --cflags --libs
 * selvane_engine) -o engine */
#include <math.h>
#include <stdint.h>
#include <stdio.h>

#include <selvane_engine.h>

int main(void)
{
    /* One item per row, as numpy's C order gives. */
    const double values[] = { 1.0, 1.1, NAN,
                              0.9, 1.2, 5.0,
                              1.1, 0.8, 5.2,
                              9.0, 9.5, NAN,
                              9.2, 9.1, NAN,
                              8.8, 9.3, NAN };
    const uint64_t seed = 42;
    int ids[6], i, code;
    double centres[2 * 3];
    /* Every field not set here keeps its default, 0 or NULL. */
    selvane_engine_job job = {0};
    selvane_engine_result result = {0};

    job.size = sizeof job;
    job.kind = SELVANE_ENGINE_JOB_CLUSTER;
    job.item_count = 6;
    job.value_count = 3;
    job.values = values;
    job.layout = SELVANE_ENGINE_ITEMS_AS_ROWS;
    job.cluster_count = 2;
    job.pass_count = 20;
    job.centres = SELVANE_ENGINE_MEDIANS;
    job.metric = SELVANE_ENGINE_EUCLIDEAN;
    job.seed = &seed;
    result.size = sizeof result;
    result.cluster_ids = ids;
    result.centres = centres;
    code = selvane_engine_run(&job, &result);
    if (code != SELVANE_ENGINE_OK) {
        fprintf(stderr, "engine: %s\n", selvane_engine_strerror(code));
        return 1;
    }
    printf("clusters:");
    for (i = 0; i < 6; ++i)
        printf(" %d", ids[i]);
    printf(", found by %d of 20 passes, centre of item 0:", result.found_count);
    for (i = 0; i < 3; ++i)
        printf(isnan(centres[ids[0] * 3 + i]) ? " nan" : " %g", centres[ids[0] * 3 + i]);
    printf(", centre of item 3:");
    for (i = 0; i < 3; ++i)
        printf(isnan(centres[ids[3] * 3 + i]) ? " nan" : " %g", centres[ids[3] * 3 + i]);
    printf("\n");
    return 0;
}

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
    int ids[6], found, i, code;
    double error, centres[2 * 3];

    code = selvane_engine_cluster(6, 3, values, SELVANE_ENGINE_ITEMS_AS_ROWS,
                                  NULL, NULL, 2, 20, SELVANE_ENGINE_MEDIANS,
                                  SELVANE_ENGINE_EUCLIDEAN, &seed, 0, ids,
                                  &error, &found, centres, NULL);
    if (code != SELVANE_ENGINE_OK) {
        fprintf(stderr, "engine: %s\n", selvane_engine_strerror(code));
        return 1;
    }
    printf("clusters:");
    for (i = 0; i < 6; ++i)
        printf(" %d", ids[i]);
    printf(", found by %d of 20 passes, centre of item 0:", found);
    for (i = 0; i < 3; ++i)
        printf(isnan(centres[ids[0] * 3 + i]) ? " nan" : " %g", centres[ids[0] * 3 + i]);
    printf(", centre of item 3:");
    for (i = 0; i < 3; ++i)
        printf(isnan(centres[ids[3] * 3 + i]) ? " nan" : " %g", centres[ids[3] * 3 + i]);
    printf("\n");
    return 0;
}

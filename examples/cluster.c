/* Clusters six items of two measurements into two clusters and prints the
 * cluster number of each: the three small items form cluster 0, the three
 * large ones cluster 1. How to build it: docs/integrators.md. */
#include <stdio.h>

#include <selvane.h>

int main(void)
{
    /* Dimension-major: the first measurement of every item, then the
       second of every item. */
    const double values[] = { 1.0, 1.2, 0.9, 100.0, 110.0, 95.0,
                              2.0, 2.1, 1.8, 210.0, 190.0, 205.0 };
    double result[6];
    int i;

    Selvane(6, 2, values, 2, result);
    if (result[0] < 0.0) {
        fprintf(stderr, "cluster: the library found no clustering\n");
        return 1;
    }
    printf("selvane %s:", SELVANE_VERSION_STRING);
    for (i = 0; i < 6; ++i)
        printf(" %d", (int)result[i]);
    printf("\n");
    return 0;
}

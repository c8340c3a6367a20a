/* Writes the expectations of the R package's fixture test: jobs run through
 * the engine library from C, as any C program would call it, on made-up
 * data. Doubles are written as the 16 hex digits of their bits, "NA" where
 * a centre has no value; cluster numbers as the library gives them, from
 * 0. Build and run with scripts/r-package --fixture. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "selvane_engine.h"

enum { kItems = 40, kValues = 3, kNew = 5, kMostClusters = 6 };

static void put_doubles(const char* name, int n, const double* x,
                        const unsigned char* present) {
    int i;
    printf("%s", name);
    for (i = 0; i < n; i++) {
        uint64_t bits;
        memcpy(&bits, &x[i], sizeof bits);
        if (present && !present[i])
            printf(" NA");
        else
            printf(" %016llx", (unsigned long long)bits);
    }
    printf("\n");
}

static void put_ints(const char* name, int n, const int* x) {
    int i;
    printf("%s", name);
    for (i = 0; i < n; i++) printf(" %d", x[i]);
    printf("\n");
}

/* Item i's values from rows (i * kValues + j) to R's order (j * n + i). */
static void columns(int n, const double* rows, double* out) {
    int i, j;
    for (i = 0; i < n; i++)
        for (j = 0; j < kValues; j++) out[j * n + i] = rows[i * kValues + j];
}

static int fail(int code) {
    fprintf(stderr, "write-fixture: %s\n", selvane_engine_strerror(code));
    return 1;
}

/* A cluster job's outputs, its centres transposed to R's cluster x value
 * matrix; kept: null, or room for the centres as the library writes them. */
static int cluster(const char* name, const double* values,
                   const double* weights, int k, int medians, int metric,
                   uint64_t seed, double* kept) {
    int ids[kItems], found, code, c, j;
    double error, centres[kMostClusters * kValues];
    double by_value[kMostClusters * kValues];
    unsigned char present[kMostClusters * kValues];
    unsigned char present_by_value[kMostClusters * kValues];
    char label[64];
    code = selvane_engine_cluster(
        kItems, kValues, values, SELVANE_ENGINE_ITEMS_AS_ROWS, NULL, weights, k,
        20, medians ? SELVANE_ENGINE_MEDIANS : SELVANE_ENGINE_MEANS, metric,
        &seed, 1, ids, &error, &found, centres, present);
    if (code != SELVANE_ENGINE_OK) return fail(code);
    if (kept) memcpy(kept, centres, sizeof(double) * (size_t)(k * kValues));
    for (c = 0; c < k; c++)
        for (j = 0; j < kValues; j++) {
            by_value[j * k + c] = centres[c * kValues + j];
            present_by_value[j * k + c] = present[c * kValues + j];
        }
    sprintf(label, "%s_cluster", name);
    put_ints(label, kItems, ids);
    sprintf(label, "%s_error", name);
    put_doubles(label, 1, &error, NULL);
    sprintf(label, "%s_found", name);
    put_ints(label, 1, &found);
    sprintf(label, "%s_centers", name);
    put_doubles(label, k * kValues, by_value, present_by_value);
    return 0;
}

int main(void) {
    double values[kItems * kValues], in_columns[kItems * kValues];
    double new_items[kNew * kValues], new_columns[kNew * kValues];
    double centres[3 * kValues], numbers[kItems];
    const double weights[kValues] = {1.0, 0.5, 2.0};
    const uint64_t selvane_seed = 7;
    uint64_t state = 0x2545F4914F6CDD1DULL;
    int i, j, ids[kNew], ranked[kItems], code;
    selvane_engine_job job = {0};
    selvane_engine_result out = {0};

    /* Three groups of positive values around 1, 4 and 9, from xorshift64. */
    for (i = 0; i < kItems * kValues; i++) {
        const int group = i / kValues % 3;
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        values[i] = (group == 0   ? 1.0
                     : group == 1 ? 4.0
                                  : 9.0) +
                    (double)(state >> 11) / 9007199254740992.0;
    }
    values[4 * kValues + 1] = NAN; /* missing values, never imputed */
    values[17 * kValues + 0] = NAN;
    values[17 * kValues + 2] = NAN;
    for (i = 0; i < kNew; i++)
        for (j = 0; j < kValues; j++)
            new_items[i * kValues + j] =
                values[(7 * i + 3) * kValues + j] * 1.1;
    new_items[2 * kValues + 1] = NAN;

    printf(
        "# written by r/dev/write-fixture.c (scripts/r-package --fixture)\n");
    columns(kItems, values, in_columns);
    put_doubles("values", kItems * kValues, in_columns, NULL);
    columns(kNew, new_items, new_columns);
    put_doubles("new_items", kNew * kValues, new_columns, NULL);

    /* Euclidean means, seed 42; correlation medians with weights and a
     * seed beyond R's whole numbers; six clusters, which the widest
     * vector sweep takes where the processor has it. */
    if (cluster("means", values, NULL, 3, 0, SELVANE_ENGINE_EUCLIDEAN, 42,
                centres) ||
        cluster("medians", values, weights, 4, 1, SELVANE_ENGINE_CORRELATION,
                18446744073709551557ULL, NULL) ||
        cluster("six", values, NULL, 6, 0, SELVANE_ENGINE_EUCLIDEAN, 3, NULL))
        return 1;

    /* The new items against the means job's centres. */
    job.size = sizeof job;
    job.item_count = kNew;
    job.value_count = kValues;
    job.values = new_items;
    job.cluster_count = 3;
    job.metric = SELVANE_ENGINE_EUCLIDEAN;
    job.given_centres = centres;
    out.size = sizeof out;
    out.cluster_ids = ids;
    code = selvane_engine_assign(&job, &out);
    if (code != SELVANE_ENGINE_OK) return fail(code);
    put_ints("predict", kNew, ids);

    /* Selvane's own job reads dimension-major values, R's order. */
    code = selvane_engine_selvane_job(kItems, kValues, in_columns, 3,
                                      &selvane_seed, 1, numbers, NULL, NULL);
    if (code != SELVANE_ENGINE_OK) return fail(code);
    for (i = 0; i < kItems; i++) ranked[i] = (int)numbers[i];
    put_ints("selvane", kItems, ranked);
    return 0;
}

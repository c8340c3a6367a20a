/* Prints the results of two seeded jobs through the engine library loaded
 * from argv[1] by its export names: a raw engine job and the exported
 * function's job. Two runs must print the same, on every build. */
#define __USE_MINGW_ANSI_STDIO 1
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "selvane_engine.h"

typedef int(SELVANE_ENGINE_CALL* cluster_fn)(
    int, int, const double*, int, const unsigned char*, const double*, int,
    int, int, int, const uint64_t*, int, int*, double*, int*, double*,
    unsigned char*);
typedef int(SELVANE_ENGINE_CALL* job_fn)(int, int, const double*, int,
                                         const uint64_t*, int, double*,
                                         double*, int*);

typedef void (*any_fn)(void);

/* Copied, not cast: ISO C has no conversion between object and function
   pointers. */
static any_fn find(const char* path, const char* name) {
    any_fn function = NULL;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path);
    FARPROC address = module ? GetProcAddress(module, name) : NULL;
#else
    void* module = dlopen(path, RTLD_NOW);
    void* address = module ? dlsym(module, name) : NULL;
#endif
    memcpy(&function, &address, sizeof function);
    return function;
}

static unsigned long long bits(double value) {
    unsigned long long out;
    memcpy(&out, &value, sizeof out);
    return out;
}

int main(int argc, char** argv) {
    enum { N = 90, D = 4, K = 5 };
    double values[N * D];
    double result[N];
    int ids[N];
    uint32_t state = 2024;
    uint64_t seed = 1234567890123ull;
    double error = 0.0;
    int found = 0, i, code;
    any_fn a;
    any_fn b;
    cluster_fn cluster;
    job_fn job;
    if (argc != 2) return 2;
    a = find(argv[1], "selvane_engine_cluster");
    b = find(argv[1], "selvane_engine_selvane_job");
    if (!a || !b) {
        fprintf(stderr, "cannot load the exports of %s\n", argv[1]);
        return 1;
    }
    cluster = (cluster_fn)a;
    job = (job_fn)b;
    for (i = 0; i < N * D; ++i) {
        state = state * 1664525u + 1013904223u;
        values[i] = 0.5 + 3 * ((i / D) % 3 + i % D) + (double)(state >> 8) / 16777216.0;
        if (state % 10 == 0) values[i] = NAN; /* missing */
    }
    code = cluster(N, D, values, SELVANE_ENGINE_ITEMS_AS_ROWS, NULL, NULL, K,
                   40, SELVANE_ENGINE_MEDIANS, SELVANE_ENGINE_CORRELATION,
                   &seed, 0, ids, &error, &found, NULL, NULL);
    printf("engine %d error %.17g %016llx found %d\n", code, error,
           bits(error), found);
    for (i = 0; i < N; ++i) printf("%d%c", ids[i], i % 30 == 29 ? '\n' : ' ');
    for (i = 0; i < N * D; ++i) {
        if (values[i] != values[i]) values[i] = 1.0; /* NaN */
    }
    code = job(N, D, values, K, &seed, 0, result, &error, &found);
    printf("selvane %d error %.17g %016llx found %d\n", code, error,
           bits(error), found);
    for (i = 0; i < N; ++i) {
        printf("%d%c", (int)result[i], i % 30 == 29 ? '\n' : ' ');
    }
    return 0;
}

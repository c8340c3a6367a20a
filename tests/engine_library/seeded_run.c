/* Prints the results of two seeded jobs through the engine library loaded
 * from argv[1] by its export names: a raw engine job (through
 * selvane_engine_run, its structs laid out by a C compiler) and the
 * exported function's job. Two runs must print the same, on every build. */
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

typedef int(SELVANE_ENGINE_CALL* run_fn)(const selvane_engine_job*,
                                         selvane_engine_result*);
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
    run_fn run;
    job_fn job;
    selvane_engine_job raw = {0};
    selvane_engine_result out = {0};
    if (argc != 2) return 2;
    a = find(argv[1], "selvane_engine_run");
    b = find(argv[1], "selvane_engine_selvane_job");
    if (!a || !b) {
        fprintf(stderr, "cannot load the exports of %s\n", argv[1]);
        return 1;
    }
    run = (run_fn)a;
    job = (job_fn)b;
    for (i = 0; i < N * D; ++i) {
        state = state * 1664525u + 1013904223u;
        values[i] = 0.5 + 3 * ((i / D) % 3 + i % D) + (double)(state >> 8) / 16777216.0;
        if (state % 10 == 0) values[i] = NAN; /* missing */
    }
    raw.size = sizeof raw;
    raw.item_count = N;
    raw.value_count = D;
    raw.values = values;
    raw.cluster_count = K;
    raw.pass_count = 40;
    raw.centres = SELVANE_ENGINE_MEDIANS;
    raw.seed = &seed;
    out.size = sizeof out;
    out.cluster_ids = ids;
    code = run(&raw, &out);
    printf("engine %d error %.17g %016llx found %d\n", code, out.error_value,
           bits(out.error_value), out.found_count);
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

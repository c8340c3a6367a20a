// A host program as integrators write one: loads the DLL by path, finds the
// export by its exact name and calls it through a pointer of the documented
// convention. Deliberately independent of include/selvane.h.
// Usage: load_library_test <path of selvane.dll>; exits 0 when all is well.
#include <windows.h>

#include <cstdio>

namespace {

#if defined(_WIN64)
const char* const kExportName = "Selvane";
const char* const kWrongNames[] = {"_Selvane@20", "Selvane@20"};
#else
const char* const kExportName = "_Selvane@20";
const char* const kWrongNames[] = {"Selvane", "Selvane@20"};
#endif

int failures = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

// Calls the export; returns the bytes of arguments the callee left on the
// stack (always 0 on x86-64, where the caller owns its argument area).
long CallSelvane(FARPROC function, int itemCount, int dimensionCount,
                 const double* inputValues, int clusterCount, double* result) {
#if defined(_WIN64)
    using Selvane = void (*)(int, int, const double*, int, double*);
    reinterpret_cast<Selvane>(reinterpret_cast<void*>(function))(
        itemCount, dimensionCount, inputValues, clusterCount, result);
    return 0;
#else
    // Pushes the five arguments last to first, as a stdcall caller does,
    // and pops nothing afterwards: a stdcall callee leaves esp where it was
    // before the pushes. edi keeps that position (the callee preserves it).
    struct Call {
        FARPROC function;
        int itemCount;
        int dimensionCount;
        const double* inputValues;
        int clusterCount;
        double* result;
    } call = {function,    itemCount,    dimensionCount,
              inputValues, clusterCount, result};
    const Call* frame = &call;
    long left = 0;
    __asm__ __volatile__(
        "movl %%esp, %%edi\n\t"
        "pushl 20(%%esi)\n\t"
        "pushl 16(%%esi)\n\t"
        "pushl 12(%%esi)\n\t"
        "pushl 8(%%esi)\n\t"
        "pushl 4(%%esi)\n\t"
        "call *(%%esi)\n\t"
        "movl %%edi, %%eax\n\t"
        "subl %%esp, %%eax\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(left), "+S"(frame)
        :
        : "edi", "ecx", "edx", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3",
          "xmm4", "xmm5", "xmm6", "xmm7");
    return left;
#endif
}

// Calls the export with a sentinel after the N result elements and checks
// that the callee removed its arguments and wrote nothing beyond them.
void Run(FARPROC function, int itemCount, int dimensionCount,
         const double* inputValues, int clusterCount, double* result,
         const char* job) {
    const double kSentinel = 12345.5;
    const int count = itemCount > 0 ? itemCount : 0;
    for (int i = 0; i <= count; ++i) result[i] = kSentinel;
    const long left = CallSelvane(function, itemCount, dimensionCount,
                                  inputValues, clusterCount, result);
    if (left != 0) {
        std::printf("FAILED: %s: callee left %ld bytes on the stack\n", job,
                    left);
        ++failures;
    }
    if (result[count] != kSentinel) {
        std::printf("FAILED: %s: wrote past the last item\n", job);
        ++failures;
    }
}

void CheckAllUnclustered(const double* result, int itemCount, const char* job) {
    for (int i = 0; i < itemCount; ++i) {
        if (result[i] != -1.0) {
            std::printf("FAILED: %s: result[%d] = %g, expected -1\n", job, i,
                        result[i]);
            ++failures;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: %s <selvane.dll>\n", argv[0]);
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        std::printf("FAILED: LoadLibraryA(%s): error %lu\n", argv[1],
                    GetLastError());
        return 1;
    }
    const FARPROC function = GetProcAddress(library, kExportName);
    if (!function) {
        std::printf("FAILED: GetProcAddress(%s) found nothing\n", kExportName);
        return 1;
    }
    for (const char* name : kWrongNames) {
        if (GetProcAddress(library, name)) {
            std::printf("FAILED: GetProcAddress(%s) found an export\n", name);
            ++failures;
        }
    }

    double result[16];

    // Two well-separated groups in two dimensions, dimension-major: every
    // element is a whole number in 0 .. K-1 (the draws come from the clock,
    // so only properties are checked here).
    {
        const double input[] = {1, 1.1, 0.9, 1.05, 9,   9.5, 10,   9.8,
                                1, 0.9, 1.1, 1.0,  9.5, 9,   10.2, 9.9};
        Run(function, 8, 2, input, 3, result, "two groups, K = 3");
        for (int i = 0; i < 8; ++i) {
            const double v = result[i];
            Check(v >= 0.0 && v <= 2.0 && static_cast<int>(v) == v,
                  "every number is a whole number in 0 .. K-1");
        }
    }

    // N = K: each item is alone, so the numbers order the items by norm.
    // Norms: item 0 (1, 2) sqrt 5, item 1 (4, 4) sqrt 32, item 2 (3, 1)
    // sqrt 10, all distinct.
    {
        const double input[] = {1, 4, 3, 2, 4, 1};
        Run(function, 3, 2, input, 3, result, "N = K");
        Check(result[0] == 0.0, "N = K: the smallest norm gets 0");
        Check(result[1] == 2.0, "N = K: the largest norm gets K-1");
        Check(result[2] == 1.0, "N = K: the middle norm gets 1");
    }

    // Jobs that cannot be clustered: -1.0 in every element.
    {
        const double input[] = {1, 2, 3, 4, 5, 6};
        Run(function, 3, 2, input, 0, result, "K = 0");
        CheckAllUnclustered(result, 3, "K = 0");
        Run(function, 2, 3, input, 3, result, "N < K");
        CheckAllUnclustered(result, 2, "N < K");
        Run(function, 3, 0, input, 2, result, "D = 0");
        CheckAllUnclustered(result, 3, "D = 0");
        const double unmeasurable[] = {0, -1, 2, 3, 0, -4};
        Run(function, 3, 2, unmeasurable, 2, result, "no measurable item");
        CheckAllUnclustered(result, 3, "no measurable item");
    }

    // N = 0: nothing to write; Run checks that element 0 kept its sentinel.
    {
        const double input[] = {1};
        Run(function, 0, 1, input, 1, result, "N = 0");
    }

    FreeLibrary(library);
    if (failures) return 1;
    std::printf("OK: %s\n", kExportName);
    return 0;
}

// The sweep kernels on SSE2 registers: two doubles per register. Every x86-64
// processor has them; the x86 build requires them anyway.
#include "engine/sweep/SweepPreamble.h"

#if SELVANE_SWEEP_X86

#include <emmintrin.h>

SELVANE_SWEEP_TARGET_BEGIN("sse2")

namespace selvane {
namespace {

struct Sse2 {
    using Vec = __m128d;
    using Mask = __m128d;  // every bit of a lane set, or none
    static constexpr int kLanes = 2;

    static Vec Zero() { return _mm_setzero_pd(); }
    static Vec Set(double x) { return _mm_set1_pd(x); }
    static Vec Load(const double* p) { return _mm_loadu_pd(p); }
    static void Store(double* p, Vec x) { _mm_storeu_pd(p, x); }
    static Vec Add(Vec a, Vec b) { return _mm_add_pd(a, b); }
    static Vec Sub(Vec a, Vec b) { return _mm_sub_pd(a, b); }
    static Vec Mul(Vec a, Vec b) { return _mm_mul_pd(a, b); }
    static Vec Div(Vec a, Vec b) { return _mm_div_pd(a, b); }
    static Vec Sqrt(Vec x) { return _mm_sqrt_pd(x); }
    static Vec Min(Vec a, Vec b) { return _mm_min_pd(a, b); }
    static Vec Max(Vec a, Vec b) { return _mm_max_pd(a, b); }
    // The least lane.
    static double Least(Vec v) {
        return _mm_cvtsd_f64(_mm_min_sd(v, _mm_unpackhi_pd(v, v)));
    }
    static Vec Strided(const double* p, int stride) {
        return _mm_set_pd(p[stride], p[0]);
    }
    static Vec Gather(const double* base, const int* index) {
        return _mm_set_pd(base[index[1]], base[index[0]]);
    }

    // No permutation by a register of indices: Gather picks centres.
    static constexpr int kPickRegisters = 0;
    using Picker = int;
    static Picker MakePicker(const int*) { return 0; }
    static Vec Pick(Vec low, Vec, const Picker&) { return low; }
    static Mask LoadMask(const std::int64_t* p) {
        return _mm_castsi128_pd(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static Mask NoLanes() { return _mm_setzero_pd(); }
    static Mask Either(Mask a, Mask b) { return _mm_or_pd(a, b); }
    static Vec Select(Mask m, Vec a, Vec b) {
        return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b));
    }
    static Vec AddWhere(Mask m, Vec acc, Vec term) {
        return Select(m, _mm_add_pd(acc, term), acc);
    }
    static Mask IsZero(Vec x) { return _mm_cmpeq_pd(x, _mm_setzero_pd()); }
    static bool AnyNegativeOrNan(Vec x) {
        return _mm_movemask_pd(_mm_cmpnge_pd(x, _mm_setzero_pd())) != 0;
    }
    static unsigned LessBits(Vec a, Vec b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmplt_pd(a, b)));
    }
    static unsigned AtLeastBits(Vec a, Vec b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpge_pd(a, b)));
    }
    static unsigned NotAboveBits(Vec a, Vec b) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpngt_pd(a, b)));
    }
};

}  // namespace
}  // namespace selvane

#include "engine/sweep/SweepKernels-inl.h"
#include "engine/sweep/SweepLoop-inl.h"

namespace selvane {
SweepFunction Sse2Sweep() { return Sweep<Sse2>; }
}  // namespace selvane

SELVANE_SWEEP_TARGET_END

#else

namespace selvane {
SweepFunction Sse2Sweep() { return nullptr; }
}  // namespace selvane

#endif

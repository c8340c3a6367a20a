// The sweep kernels on AVX registers: four doubles per register. Compiled for
// AVX2 (the instruction set this width is offered for) but without FMA: a
// fused multiply-add rounds once where the distance functions round twice.
#include "engine/sweep/SweepPreamble.h"

#if SELVANE_SWEEP_X86

#include <immintrin.h>

SELVANE_SWEEP_TARGET_BEGIN("avx2")

namespace selvane {
namespace {

struct Avx2 {
    using Vec = __m256d;
    using Mask = __m256d;  // every bit of a lane set, or none
    static constexpr int kLanes = 4;

    static Vec Zero() { return _mm256_setzero_pd(); }
    static Vec Set(double x) { return _mm256_set1_pd(x); }
    static Vec Load(const double* p) { return _mm256_loadu_pd(p); }
    static void Store(double* p, Vec x) { _mm256_storeu_pd(p, x); }
    static Vec Add(Vec a, Vec b) { return _mm256_add_pd(a, b); }
    static Vec Sub(Vec a, Vec b) { return _mm256_sub_pd(a, b); }
    static Vec Mul(Vec a, Vec b) { return _mm256_mul_pd(a, b); }
    static Vec Div(Vec a, Vec b) { return _mm256_div_pd(a, b); }
    static Vec Sqrt(Vec x) { return _mm256_sqrt_pd(x); }
    static Vec Min(Vec a, Vec b) { return _mm256_min_pd(a, b); }
    static Vec Max(Vec a, Vec b) { return _mm256_max_pd(a, b); }
    // The least lane.
    static double Least(Vec v) {
        const __m128d half =
            _mm_min_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
        return _mm_cvtsd_f64(_mm_min_sd(half, _mm_unpackhi_pd(half, half)));
    }
    static Vec Strided(const double* p, int stride) {
        const std::ptrdiff_t s = stride;
        return _mm256_set_pd(p[3 * s], p[2 * s], p[s], p[0]);
    }
    static Vec Gather(const double* base, const int* index) {
        return _mm256_set_pd(base[index[3]], base[index[2]], base[index[1]],
                             base[index[0]]);
    }

    // Centre values by cluster from the two registers that hold clusters
    // 0-7 at one position: a permutation within each register, then the
    // register chosen by bit 2 of the cluster.
    static constexpr int kPickRegisters = 2;
    struct Picker {
        __m256i within;  // float indices 2h, 2h + 1 of h mod 4, per lane
        __m256d upper;   // sign bit set where h >= 4
    };
    static Picker MakePicker(const int* clusters) {
        const __m256i h = _mm256_cvtepi32_epi64(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(clusters)));
        const __m256i even =
            _mm256_slli_epi64(_mm256_and_si256(h, _mm256_set1_epi64x(3)), 1);
        const __m256i odd = _mm256_add_epi64(even, _mm256_set1_epi64x(1));
        return {_mm256_or_si256(even, _mm256_slli_epi64(odd, 32)),
                _mm256_castsi256_pd(_mm256_slli_epi64(h, 61))};
    }
    static Vec Pick(Vec low, Vec high, const Picker& picker) {
        const Vec fromLow = _mm256_castps_pd(
            _mm256_permutevar8x32_ps(_mm256_castpd_ps(low), picker.within));
        const Vec fromHigh = _mm256_castps_pd(
            _mm256_permutevar8x32_ps(_mm256_castpd_ps(high), picker.within));
        return _mm256_blendv_pd(fromLow, fromHigh, picker.upper);
    }
    static Mask LoadMask(const std::int64_t* p) {
        return _mm256_castsi256_pd(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    static Mask NoLanes() { return _mm256_setzero_pd(); }
    static Mask Either(Mask a, Mask b) { return _mm256_or_pd(a, b); }
    static Vec Select(Mask m, Vec a, Vec b) {
        return _mm256_blendv_pd(b, a, m);
    }
    static Vec AddWhere(Mask m, Vec acc, Vec term) {
        return _mm256_blendv_pd(acc, _mm256_add_pd(acc, term), m);
    }
    static Mask IsZero(Vec x) {
        return _mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_EQ_OQ);
    }
    static bool AnyNegativeOrNan(Vec x) {
        return _mm256_movemask_pd(
                   _mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_NGE_UQ)) != 0;
    }
    static unsigned LessBits(Vec a, Vec b) {
        return static_cast<unsigned>(
            _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_LT_OQ)));
    }
    static unsigned AtLeastBits(Vec a, Vec b) {
        return static_cast<unsigned>(
            _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GE_OQ)));
    }
    static unsigned NotAboveBits(Vec a, Vec b) {
        return static_cast<unsigned>(
            _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_NGT_UQ)));
    }
};

}  // namespace
}  // namespace selvane

#include "engine/sweep/SweepKernels-inl.h"
#include "engine/sweep/SweepLoop-inl.h"

namespace selvane {
SweepFunction Avx2Sweep() { return Sweep<Avx2>; }
}  // namespace selvane

SELVANE_SWEEP_TARGET_END

#else

namespace selvane {
SweepFunction Avx2Sweep() { return nullptr; }
}  // namespace selvane

#endif

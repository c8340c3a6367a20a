// The sweep kernels on AVX-512 registers: eight doubles per register, with
// mask registers for the lanes whose position is present. AVX-512F only, and
// no FMA: a fused multiply-add rounds once where the distance functions
// round twice. x86-64 only: a block of items fills a whole register, and the
// 32-bit builds take blocks of four.
#include "engine/sweep/SweepPreamble.h"

#if SELVANE_SWEEP_X86 && defined(__x86_64__)

#include <immintrin.h>

SELVANE_SWEEP_TARGET_BEGIN("avx512f")

namespace selvane {
namespace {

struct Avx512 {
    using Vec = __m512d;
    using Mask = __mmask8;  // one bit per lane
    static constexpr int kLanes = 8;

    static Vec Zero() { return _mm512_setzero_pd(); }
    static Vec Set(double x) { return _mm512_set1_pd(x); }
    static Vec Load(const double* p) { return _mm512_loadu_pd(p); }
    static void Store(double* p, Vec x) { _mm512_storeu_pd(p, x); }
    static Vec Add(Vec a, Vec b) { return _mm512_add_pd(a, b); }
    static Vec Sub(Vec a, Vec b) { return _mm512_sub_pd(a, b); }
    static Vec Mul(Vec a, Vec b) { return _mm512_mul_pd(a, b); }
    static Vec Div(Vec a, Vec b) { return _mm512_div_pd(a, b); }
    // Zero-masked forms here and below: the plain ones read an undefined
    // source that GCC 12 warns about.
    static Vec Sqrt(Vec x) { return _mm512_maskz_sqrt_pd(0xFF, x); }
    static Vec Min(Vec a, Vec b) { return _mm512_maskz_min_pd(0xFF, a, b); }
    static Vec Max(Vec a, Vec b) { return _mm512_maskz_max_pd(0xFF, a, b); }
    // The least lane.
    static double Least(Vec v) {
        const __m256d four =
            _mm256_min_pd(_mm512_maskz_extractf64x4_pd(0xF, v, 0),
                          _mm512_maskz_extractf64x4_pd(0xF, v, 1));
        const __m128d half = _mm_min_pd(_mm256_castpd256_pd128(four),
                                        _mm256_extractf128_pd(four, 1));
        return _mm_cvtsd_f64(_mm_min_sd(half, _mm_unpackhi_pd(half, half)));
    }
    // Scalar loads: the gather instruction is slower on the processors
    // measured.
    static Vec Strided(const double* p, int stride) {
        const std::ptrdiff_t s = stride;
        return _mm512_set_pd(p[7 * s], p[6 * s], p[5 * s], p[4 * s], p[3 * s],
                             p[2 * s], p[s], p[0]);
    }
    static Vec Gather(const double* base, const int* index) {
        return _mm512_set_pd(base[index[7]], base[index[6]], base[index[5]],
                             base[index[4]], base[index[3]], base[index[2]],
                             base[index[1]], base[index[0]]);
    }

    // Centre values by cluster from the two registers that hold clusters
    // 0-15 at one position: one two-register permutation, whose index bit 3
    // chooses the register.
    static constexpr int kPickRegisters = 2;
    using Picker = __m512i;
    static Picker MakePicker(const int* clusters) {
        return _mm512_maskz_cvtepi32_epi64(
            0xFF,
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(clusters)));
    }
    static Vec Pick(Vec low, Vec high, const Picker& picker) {
        return _mm512_permutex2var_pd(low, picker, high);
    }

    static Mask LoadMask(const std::int64_t* p) {
        const __m512i bits = _mm512_loadu_si512(p);
        return _mm512_test_epi64_mask(bits, bits);
    }
    static Mask NoLanes() { return 0; }
    static Mask Either(Mask a, Mask b) { return static_cast<Mask>(a | b); }
    static Vec Select(Mask m, Vec a, Vec b) {
        return _mm512_mask_blend_pd(m, b, a);
    }
    static Vec AddWhere(Mask m, Vec acc, Vec term) {
        return _mm512_mask_add_pd(acc, m, acc, term);
    }
    static Mask IsZero(Vec x) {
        return _mm512_cmp_pd_mask(x, _mm512_setzero_pd(), _CMP_EQ_OQ);
    }
    static bool AnyNegativeOrNan(Vec x) {
        return _mm512_cmp_pd_mask(x, _mm512_setzero_pd(), _CMP_NGE_UQ) != 0;
    }
    static unsigned LessBits(Vec a, Vec b) {
        return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ);
    }
    static unsigned AtLeastBits(Vec a, Vec b) {
        return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ);
    }
    static unsigned NotAboveBits(Vec a, Vec b) {
        return _mm512_cmp_pd_mask(a, b, _CMP_NGT_UQ);
    }
};

}  // namespace
}  // namespace selvane

#include "engine/sweep/SweepKernels-inl.h"
#include "engine/sweep/SweepLoop-inl.h"

namespace selvane {
SweepFunction Avx512Sweep() { return Sweep<Avx512>; }
}  // namespace selvane

SELVANE_SWEEP_TARGET_END

#else

namespace selvane {
SweepFunction Avx512Sweep() { return nullptr; }
}  // namespace selvane

#endif

// Eight lanes, AVX-512F. Compiled with -mavx512f alone (integer logic on the
// bit patterns, since the floating-point logic instructions need AVX-512DQ):
// called only where the processor has it.
//
// The pack (avx512_pack) alone, for kernels_avx512.cpp and the benchmark; it lives in an
// anonymous namespace, so each file that includes it gets its own copy,
// compiled for its own instruction set.
#ifndef LUMIRUN_RENDER_FAST_PACK_AVX512_H
#define LUMIRUN_RENDER_FAST_PACK_AVX512_H

#include <immintrin.h>

#include "render/fast/kernel_body.h"

namespace {

struct avx512_pack {
    using vec = __m512d;
    using mask = __mmask8;
    static constexpr int lanes = 8;

    static vec broadcast(double v) { return _mm512_set1_pd(v); }
    static vec load(const double* p) { return _mm512_loadu_pd(p); }
    static vec add(vec a, vec b) { return _mm512_add_pd(a, b); }
    static vec sub(vec a, vec b) { return _mm512_sub_pd(a, b); }
    static vec mul(vec a, vec b) { return _mm512_mul_pd(a, b); }
    static vec div(vec a, vec b) { return _mm512_div_pd(a, b); }
    static vec sqrt(vec a) { return _mm512_sqrt_pd(a); }
    static mask less(vec a, vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    // An unordered comparison is false, so a NaN is kept like -0.0 is.
    static vec clamp_negative(vec d)
    {
        return _mm512_mask_mov_pd(d, less(d, _mm512_setzero_pd()), _mm512_setzero_pd());
    }
    static vec negate(vec a)
    {
        const __m512i sign = _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ULL));
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), sign));
    }
    static mask finite(vec a)
    {
        const __m512i magnitude_bits = _mm512_set1_epi64(0x7fffffffffffffffLL);
        const vec magnitude = _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(a), magnitude_bits));
        return less(magnitude, _mm512_set1_pd(__builtin_inf()));
    }
    static mask finite_both(vec a, vec b) { return static_cast<mask>(finite(a) & finite(b)); }
    static mask both(mask a, mask b) { return static_cast<mask>(a & b); }
    static bool all(mask m) { return m == 0xFF; }
    static mask all_true() { return 0xFF; }
    static mask nondecreasing(vec current, vec following)
    {
        const __m512i next = _mm512_alignr_epi64(_mm512_castpd_si512(following), _mm512_castpd_si512(current), 1);
        return _mm512_cmp_pd_mask(current, _mm512_castsi512_pd(next), _CMP_LE_OQ);
    }
    static void drop(mask m, vec* x, vec* y)
    {
        const vec nan = _mm512_set1_pd(__builtin_nan(""));
        *x = _mm512_mask_mov_pd(nan, m, *x);
        *y = _mm512_mask_mov_pd(nan, m, *y);
    }
    // vminpd and vmaxpd give their second operand unless the first is
    // strictly less (greater): the renderer's comparison, NaN included.
    static vec lesser(vec v, vec current) { return _mm512_min_pd(v, current); }
    static vec greater(vec v, vec current) { return _mm512_max_pd(v, current); }
    static void store(double* p, vec v) { _mm512_storeu_pd(p, v); }

    using keys = __m512i;
    static keys no_keys() { return _mm512_set1_epi64(-1); }
    static keys make_keys(vec x, vec y, mask finite)
    {
        const __m512i rows = _mm512_slli_epi64(_mm512_cvtepi32_epi64(_mm512_cvttpd_epi32(y)), 32);
        const __m512i columns = _mm512_cvtepu32_epi64(_mm512_cvttpd_epi32(x));
        return _mm512_mask_mov_epi64(no_keys(), finite, _mm512_or_si512(rows, columns));
    }
    static void store_keys(std::int64_t* out, keys k) { _mm512_storeu_si512(out, k); }
    // Sixteen samples at a time: compare each pixel with the next one, then
    // compress the wanted indices in a register (a compress straight to
    // memory is microcoded and many times slower on some processors).
    static std::int32_t list_writes(const std::int64_t* pixels, std::int32_t count, std::int32_t* writes_out)
    {
        const __m512i none = no_keys();
        const __m512i lane_index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        std::int32_t n = 0;
        for (std::int32_t j = 0; j < count; j += 16) {
            const __m512i low = _mm512_loadu_si512(pixels + j);
            const __m512i high = _mm512_loadu_si512(pixels + j + 8);
            const __mmask8 low_wanted = _mm512_cmpneq_epi64_mask(low, _mm512_loadu_si512(pixels + j + 1))
                                        & _mm512_cmpneq_epi64_mask(low, none);
            const __mmask8 high_wanted = _mm512_cmpneq_epi64_mask(high, _mm512_loadu_si512(pixels + j + 9))
                                         & _mm512_cmpneq_epi64_mask(high, none);
            unsigned wanted = low_wanted | (static_cast<unsigned>(high_wanted) << 8);
            if (count - j < 16)
                wanted &= (1u << (count - j)) - 1u;
            const __m512i indices = _mm512_add_epi32(_mm512_set1_epi32(j), lane_index);
            _mm512_storeu_si512(writes_out + n, _mm512_maskz_compress_epi32(static_cast<__mmask16>(wanted), indices));
            n += __builtin_popcount(wanted);
        }
        return n;
    }
};

}  // namespace

#endif

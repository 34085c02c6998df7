// Two lanes, SSE2: the vector width every x86-64 processor has.
//
// The pack (sse2_pack) alone, for kernels_sse2.cpp and the benchmark; it lives in an
// anonymous namespace, so each file that includes it gets its own copy,
// compiled for its own instruction set.
#ifndef LUMIRUN_RENDER_FAST_PACK_SSE2_H
#define LUMIRUN_RENDER_FAST_PACK_SSE2_H

#include <emmintrin.h>

#include "render/fast/kernel_body.h"

namespace {

struct sse2_pack : lane_keys<sse2_pack, 2> {
    using vec = __m128d;
    using mask = __m128d;  // all ones or all zeros per lane
    static constexpr int lanes = 2;

    static vec broadcast(double v) { return _mm_set1_pd(v); }
    static vec load(const double* p) { return _mm_loadu_pd(p); }
    static vec add(vec a, vec b) { return _mm_add_pd(a, b); }
    static vec sub(vec a, vec b) { return _mm_sub_pd(a, b); }
    static vec mul(vec a, vec b) { return _mm_mul_pd(a, b); }
    static vec div(vec a, vec b) { return _mm_div_pd(a, b); }
    static vec sqrt(vec a) { return _mm_sqrt_pd(a); }
    static vec select(mask m, vec a, vec b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
    // An unordered comparison is false, so a NaN is kept like -0.0 is.
    static vec clamp_negative(vec d) { return _mm_andnot_pd(_mm_cmplt_pd(d, _mm_setzero_pd()), d); }
    static vec negate(vec a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static mask finite(vec a)
    {
        const vec magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), a);
        return _mm_cmplt_pd(magnitude, _mm_set1_pd(__builtin_inf()));
    }
    static mask finite_both(vec a, vec b) { return _mm_and_pd(finite(a), finite(b)); }
    static mask both(mask a, mask b) { return _mm_and_pd(a, b); }
    static bool all(mask m) { return _mm_movemask_pd(m) == 0x3; }
    static mask all_true() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static mask nondecreasing(vec current, vec following)
    {
        return _mm_cmple_pd(current, _mm_shuffle_pd(current, following, 0x1));
    }
    // All ones is a NaN.
    static void drop(mask m, vec* x, vec* y)
    {
        const vec dropped = _mm_xor_pd(m, _mm_castsi128_pd(_mm_set1_epi32(-1)));
        *x = _mm_or_pd(*x, dropped);
        *y = _mm_or_pd(*y, dropped);
    }
    // minpd and maxpd give their second operand unless the first is strictly
    // less (greater): the renderer's comparison, NaN included.
    static vec lesser(vec v, vec current) { return _mm_min_pd(v, current); }
    static vec greater(vec v, vec current) { return _mm_max_pd(v, current); }
    static void store(double* p, vec v) { _mm_storeu_pd(p, v); }
    static void store_trunc(std::int32_t* p, vec v, mask m)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_cvttpd_epi32(select(m, v, _mm_set1_pd(-1.0))));
    }
};

}  // namespace

#endif

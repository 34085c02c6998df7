// Four lanes, AVX2. Compiled with -mavx2 alone: called only where the
// processor has it.
//
// The pack (avx2_pack) alone, for kernels_avx2.cpp and the benchmark; it lives in an
// anonymous namespace, so each file that includes it gets its own copy,
// compiled for its own instruction set.
#ifndef LUMIRUN_RENDER_FAST_PACK_AVX2_H
#define LUMIRUN_RENDER_FAST_PACK_AVX2_H

#include <immintrin.h>

#include "render/fast/kernel_body.h"

namespace {

// For each 4-bit mask, the byte shuffle that moves the 32-bit lanes whose
// bits are set to the front, in order (0x80 clears a byte).
struct lane_shuffles {
    unsigned char bytes[16][16];
};

constexpr lane_shuffles make_lane_shuffles()
{
    lane_shuffles t{};
    for (int mask = 0; mask < 16; ++mask) {
        int n = 0;
        for (int lane = 0; lane < 4; ++lane) {
            if ((mask >> lane) & 1) {
                for (int b = 0; b < 4; ++b)
                    t.bytes[mask][4 * n + b] = static_cast<unsigned char>(4 * lane + b);
                ++n;
            }
        }
        for (int b = 4 * n; b < 16; ++b)
            t.bytes[mask][b] = 0x80;
    }
    return t;
}

alignas(16) constexpr lane_shuffles compaction = make_lane_shuffles();

struct avx2_pack {
    using vec = __m256d;
    using mask = __m256d;  // all ones or all zeros per lane
    static constexpr int lanes = 4;

    static vec broadcast(double v) { return _mm256_set1_pd(v); }
    static vec load(const double* p) { return _mm256_loadu_pd(p); }
    static vec add(vec a, vec b) { return _mm256_add_pd(a, b); }
    static vec sub(vec a, vec b) { return _mm256_sub_pd(a, b); }
    static vec mul(vec a, vec b) { return _mm256_mul_pd(a, b); }
    static vec div(vec a, vec b) { return _mm256_div_pd(a, b); }
    static vec sqrt(vec a) { return _mm256_sqrt_pd(a); }
    static mask less(vec a, vec b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    // An unordered comparison is false, so a NaN is kept like -0.0 is.
    static vec clamp_negative(vec d) { return _mm256_andnot_pd(less(d, _mm256_setzero_pd()), d); }
    static vec negate(vec a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static mask finite(vec a)
    {
        return less(_mm256_andnot_pd(_mm256_set1_pd(-0.0), a), _mm256_set1_pd(__builtin_inf()));
    }
    static mask finite_both(vec a, vec b) { return _mm256_and_pd(finite(a), finite(b)); }
    static mask both(mask a, mask b) { return _mm256_and_pd(a, b); }
    static bool all(mask m) { return _mm256_movemask_pd(m) == 0xF; }
    static mask all_true() { return _mm256_castsi256_pd(_mm256_set1_epi64x(-1)); }
    static mask nondecreasing(vec current, vec following)
    {
        const vec shifted = _mm256_permute4x64_pd(current, _MM_SHUFFLE(0, 3, 2, 1));
        const vec next = _mm256_blend_pd(shifted, _mm256_permute4x64_pd(following, 0), 0x8);
        return _mm256_cmp_pd(current, next, _CMP_LE_OQ);
    }
    // All ones is a NaN.
    static void drop(mask m, vec* x, vec* y)
    {
        const vec dropped = _mm256_xor_pd(m, _mm256_castsi256_pd(_mm256_set1_epi64x(-1)));
        *x = _mm256_or_pd(*x, dropped);
        *y = _mm256_or_pd(*y, dropped);
    }
    // vminpd and vmaxpd give their second operand unless the first is
    // strictly less (greater): the renderer's comparison, NaN included.
    static vec lesser(vec v, vec current) { return _mm256_min_pd(v, current); }
    static vec greater(vec v, vec current) { return _mm256_max_pd(v, current); }
    static void store(double* p, vec v) { _mm256_storeu_pd(p, v); }

    using keys = __m256i;
    static keys make_keys(vec x, vec y, mask finite)
    {
        const __m256i rows = _mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm256_cvttpd_epi32(y)), 32);
        const __m256i columns = _mm256_cvtepu32_epi64(_mm256_cvttpd_epi32(x));
        // All ones (-1) where the mask is clear.
        const __m256i not_finite = _mm256_xor_si256(_mm256_castpd_si256(finite), _mm256_set1_epi64x(-1));
        return _mm256_or_si256(_mm256_or_si256(rows, columns), not_finite);
    }
    static void store_keys(std::int64_t* out, keys k) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), k); }
    // Four samples at a time: compare each pixel with the next one, then
    // move the wanted indices to the front with a shuffle from the table.
    static std::int32_t list_writes(const std::int64_t* pixels, std::int32_t count, std::int32_t* writes_out)
    {
        const __m256i none = _mm256_set1_epi64x(-1);
        const __m128i lane_index = _mm_setr_epi32(0, 1, 2, 3);
        std::int32_t n = 0;
        for (std::int32_t j = 0; j < count; j += 4) {
            const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + j));
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + j + 1));
            const __m256i skipped = _mm256_or_si256(_mm256_cmpeq_epi64(here, next), _mm256_cmpeq_epi64(here, none));
            unsigned wanted = ~static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(skipped))) & 0xFu;
            if (count - j < 4)
                wanted &= (1u << (count - j)) - 1u;
            const __m128i indices = _mm_add_epi32(_mm_set1_epi32(j), lane_index);
            const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(compaction.bytes[wanted]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(writes_out + n), _mm_shuffle_epi8(indices, shuffle));
            n += __builtin_popcount(wanted);
        }
        return n;
    }
};

}  // namespace

#endif

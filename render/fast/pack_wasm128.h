// Two lanes, WebAssembly's 128-bit vectors: the browser edition's kernels
// (built with -msimd128, which every browser that runs the page has).
//
// The pack (wasm128_pack) alone, for kernels_wasm128.cpp; it lives in an
// anonymous namespace, so each file that includes it gets its own copy.
#ifndef LUMIRUN_RENDER_FAST_PACK_WASM128_H
#define LUMIRUN_RENDER_FAST_PACK_WASM128_H

#include <wasm_simd128.h>

#include "render/fast/kernel_body.h"

namespace {

struct wasm128_pack {
    using vec = v128_t;   // two doubles
    using mask = v128_t;  // all ones or all zeros per lane
    static constexpr int lanes = 2;

    static vec broadcast(double v) { return wasm_f64x2_splat(v); }
    static vec load(const double* p) { return wasm_v128_load(p); }
    static vec add(vec a, vec b) { return wasm_f64x2_add(a, b); }
    static vec sub(vec a, vec b) { return wasm_f64x2_sub(a, b); }
    static vec mul(vec a, vec b) { return wasm_f64x2_mul(a, b); }
    static vec div(vec a, vec b) { return wasm_f64x2_div(a, b); }
    static vec sqrt(vec a) { return wasm_f64x2_sqrt(a); }
    // An unordered comparison is false, so a NaN is kept like -0.0 is.
    static vec clamp_negative(vec d) { return wasm_v128_andnot(d, wasm_f64x2_lt(d, wasm_f64x2_splat(0.0))); }
    static vec negate(vec a) { return wasm_f64x2_neg(a); }
    static mask finite(vec a) { return wasm_f64x2_lt(wasm_f64x2_abs(a), wasm_f64x2_splat(__builtin_inf())); }
    static mask finite_both(vec a, vec b) { return wasm_v128_and(finite(a), finite(b)); }
    static mask both(mask a, mask b) { return wasm_v128_and(a, b); }
    static bool all(mask m) { return wasm_i64x2_all_true(m); }
    static mask all_true() { return wasm_i64x2_splat(-1); }
    static mask nondecreasing(vec current, vec following)
    {
        return wasm_f64x2_le(current, wasm_i64x2_shuffle(current, following, 1, 2));
    }
    // All ones is a NaN.
    static void drop(mask m, vec* x, vec* y)
    {
        const vec dropped = wasm_v128_not(m);
        *x = wasm_v128_or(*x, dropped);
        *y = wasm_v128_or(*y, dropped);
    }
    // pmin(a, b) is b < a ? b : a and pmax(a, b) is a < b ? b : a: with
    // current first, v where it is strictly less (greater), NaN included.
    // (f64x2.min and max would hand a NaN on.)
    static vec lesser(vec v, vec current) { return wasm_f64x2_pmin(current, v); }
    static vec greater(vec v, vec current) { return wasm_f64x2_pmax(current, v); }
    static void store(double* p, vec v) { wasm_v128_store(p, v); }

    // Positions lie within the bounds, so their offsets truncate to int32
    // without saturating. Each key's column is its low half, its row the
    // high one.
    using keys = v128_t;
    static keys make_keys(vec x, vec y, mask finite)
    {
        const v128_t columns = wasm_i32x4_trunc_sat_f64x2_zero(x);
        const v128_t rows = wasm_i32x4_trunc_sat_f64x2_zero(y);
        // All ones (-1) where the mask is clear.
        return wasm_v128_or(wasm_i32x4_shuffle(columns, rows, 0, 4, 1, 5), wasm_v128_not(finite));
    }
    static void store_keys(std::int64_t* out, keys k) { wasm_v128_store(out, k); }
    static std::int32_t list_writes(const std::int64_t* pixels, std::int32_t count, std::int32_t* writes_out)
    {
        return list_writes_one_by_one(pixels, count, writes_out);
    }
};

}  // namespace

#endif

// One lane of plain C++: the kernels on processors without a vector version.
//
// The pack (scalar_pack) alone, for kernels_portable.cpp and the benchmark; it lives in an
// anonymous namespace, so each file that includes it gets its own copy,
// compiled for its own instruction set.
#ifndef LUMIRUN_RENDER_FAST_PACK_PORTABLE_H
#define LUMIRUN_RENDER_FAST_PACK_PORTABLE_H

#include <cmath>

#include "render/fast/kernel_body.h"

namespace {

struct scalar_pack : lane_keys<scalar_pack, 1> {
    using vec = double;
    using mask = bool;
    static constexpr int lanes = 1;

    static vec broadcast(double v) { return v; }
    static vec load(const double* p) { return *p; }
    static vec add(vec a, vec b) { return a + b; }
    static vec sub(vec a, vec b) { return a - b; }
    static vec mul(vec a, vec b) { return a * b; }
    static vec div(vec a, vec b) { return a / b; }
    static vec sqrt(vec a) { return std::sqrt(a); }
    static vec clamp_negative(vec d) { return d < 0.0 ? 0.0 : d; }
    static vec negate(vec a) { return -a; }
    static mask finite_both(vec a, vec b) { return std::isfinite(a) && std::isfinite(b); }
    static mask both(mask a, mask b) { return a && b; }
    static bool all(mask m) { return m; }
    static mask all_true() { return true; }
    static mask nondecreasing(vec current, vec following) { return current <= following; }
    static void drop(mask m, vec* x, vec* y)
    {
        if (!m)
            *x = *y = __builtin_nan("");
    }
    static vec lesser(vec v, vec current) { return v < current ? v : current; }
    static vec greater(vec v, vec current) { return v > current ? v : current; }
    static void store(double* p, vec v) { *p = v; }
    static void store_trunc(std::int32_t* p, vec v, mask m) { *p = m ? static_cast<std::int32_t>(v) : -1; }
};

}  // namespace

#endif

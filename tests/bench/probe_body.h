// The probe written once over a pack of the renderer's kernels
// (render/fast/pack_*.h); each probe_*.cpp instantiates it for its pack.
// Internal linkage throughout, as the packs have.
#ifndef LUMIRUN_TESTS_BENCH_PROBE_BODY_H
#define LUMIRUN_TESTS_BENCH_PROBE_BODY_H

#include <cstdint>

namespace {

// The probe runs the solver of a direction on values held in registers:
// several independent chains so that the square root's latency is hidden
// and only its throughput (and, in direction 2, the divisions') counts.
template <class P, int Chains, int Direction>
double probe_in(std::int64_t samples)
{
    using vec = typename P::vec;
    constexpr int chains = Chains;
    // Values of the size a render meets, with full mantissas: the divider's
    // speed can depend on them.
    vec input[chains];
    vec sum[chains];
    for (int k = 0; k < chains; ++k) {
        input[k] = P::broadcast(1093.7238159 + 0.7071067811865476 * k);
        sum[k] = P::broadcast(0.0);
    }
    const vec advance = P::broadcast(0.013797436249);
    const depth_constants<P> constants(-0.5773502691896258, 0.3333333333333333, 0.3333333333333334, 17.0, 241.0,
                                       -5.0);
    const vec neg_b = P::broadcast(738.29374611053);
    const vec b_squared = P::broadcast(545077.19383427);
    const vec square = P::broadcast(102400.37128891);
    const vec lever = P::broadcast(-1234.5678901234);
    const std::int64_t rounds = samples / (static_cast<std::int64_t>(chains) * P::lanes);
    for (std::int64_t r = 0; r < rounds; ++r) {
        for (int k = 0; k < chains; ++k) {
            vec x, y;
            if (Direction == 2) {
                depth_projection<P>(input[k], input[k], square, lever, constants, &x, &y);
                sum[k] = P::add(sum[k], P::add(x, y));
            } else {
                x = smaller_root<P>(neg_b, b_squared, square, input[k]);
                sum[k] = P::add(sum[k], x);
            }
            input[k] = P::add(input[k], advance);
        }
    }
    double total = 0.0;
    for (int k = 0; k < chains; ++k) {
        double lanes[P::lanes];
        P::store(lanes, sum[k]);
        for (int l = 0; l < P::lanes; ++l)
            total += lanes[l];
    }
    return total;
}

// Chains: independent chains enough to hide the square root's latency at
// this width.
template <class P, int Chains>
double probe_pack(std::int32_t direction, std::int64_t samples)
{
    return direction == 2 ? probe_in<P, Chains, 2>(samples) : probe_in<P, Chains, 0>(samples);
}

}  // namespace

#endif


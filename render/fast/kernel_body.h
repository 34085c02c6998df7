// The kernels written once over a "pack" of lanes; each pack_*.h supplies
// its pack (a vector type and its operations) and includes this file.
// Everything here has internal linkage: every translation unit gets its
// own copy, compiled for its own instruction set, and the linker can never
// hand one unit's copy to another.
//
// A pack P provides: vec, mask, lanes; broadcast, load, add, sub, mul, div,
// sqrt; clamp_negative (d < 0.0 ? 0.0 : d, so NaN and -0.0
// stay as they are); negate (sign flip); finite_both (both lanes finite);
// both, all and all_true on masks; nondecreasing(current, following) (each
// lane not above the next one, the last lane's next being following's first;
// NaN fails); drop (NaN in both where the mask is clear); lesser(v, current)
// and greater(v, current) (v where it is strictly less / greater, else
// current, so a NaN never wins: the renderer's strict comparisons); store
// (all lanes); and for the destinations keys, make_keys, store_keys and
// list_writes, which lane_keys below provides lane by lane (from the pack's
// store_trunc: all lanes truncated to int32, -1 where the mask is clear) for
// packs that have nothing better.
//
// The operations per sample are those of observer.cpp in its order. The one
// rewriting: x / 2.0 is computed as x * 0.5, which is the same IEEE result
// (both round the same exact value) and keeps the divider for the square root.
#ifndef LUMIRUN_RENDER_FAST_KERNEL_BODY_H
#define LUMIRUN_RENDER_FAST_KERNEL_BODY_H

#include <cmath>
#include <cstdint>

#include "render/fast/terms_view.h"
#include "render/fast/kernels.h"

namespace {

template <class P>
typename P::vec smaller_root(typename P::vec neg_b, typename P::vec b_squared, typename P::vec square,
                             typename P::vec across)
{
    using vec = typename P::vec;
    const vec c = P::sub(square, across);
    const vec d = P::sub(b_squared, P::mul(P::broadcast(4.0), c));
    const vec root = P::sqrt(P::clamp_negative(d));
    return P::mul(P::sub(neg_b, root), P::broadcast(0.5));
}

// Direction 2's constants, broadcast once.
template <class P>
struct depth_constants {
    typename P::vec neg_b, b_squared, beta_gamma_squared, ox, oy, oz;

    depth_constants(double neg_b_value, double b_squared_value, double bgs, double ox_value, double oy_value,
                    double oz_value)
        : neg_b(P::broadcast(neg_b_value)), b_squared(P::broadcast(b_squared_value)),
          beta_gamma_squared(P::broadcast(bgs)), ox(P::broadcast(ox_value)), oy(P::broadcast(oy_value)),
          oz(P::broadcast(oz_value))
    {
    }
};

template <class P>
void depth_projection(typename P::vec row_sum, typename P::vec row_lever, typename P::vec column_square,
                      typename P::vec column_lever, const depth_constants<P>& k, typename P::vec* x,
                      typename P::vec* y)
{
    using vec = typename P::vec;
    const vec s = P::add(row_sum, column_square);
    const vec c = P::negate(P::add(P::broadcast(0.0), P::mul(k.beta_gamma_squared, s)));
    const vec d = P::sub(k.b_squared, P::mul(P::broadcast(4.0), c));
    const vec depth = P::mul(P::add(P::sqrt(P::clamp_negative(d)), k.neg_b), P::broadcast(0.5));
    const vec distance = P::sub(depth, k.oz);
    *x = P::mul(P::broadcast(20.0), P::add(P::div(column_lever, distance), k.ox));
    *y = P::mul(P::broadcast(20.0), P::add(P::div(row_lever, distance), k.oy));
}

// One column's view of the grid: its own terms broadcast to every lane, and
// the positions of the lanes' rows j, j + 1, ...
template <class P, int Direction>
struct column_solver;

template <class P>
struct column_solver<P, 0> {
    typename P::vec neg_b, b_squared, square;
    const double* across;
    const double* ys;

    column_solver(const terms_view& g, std::int32_t i)
        : neg_b(P::broadcast(g.along_neg_b[i])), b_squared(P::broadcast(g.along_b_squared[i])),
          square(P::broadcast(g.along_square[i])), across(g.across), ys(g.ys)
    {
    }
    void position(std::int32_t j, typename P::vec* x, typename P::vec* y) const
    {
        *x = smaller_root<P>(neg_b, b_squared, square, P::load(across + j));
        *y = P::load(ys + j);
    }
};

template <class P>
struct column_solver<P, 1> {
    typename P::vec x_value, across;
    const double* neg_b;
    const double* b_squared;
    const double* square;

    column_solver(const terms_view& g, std::int32_t i)
        : x_value(P::broadcast(g.xs[i])), across(P::broadcast(g.across[i])), neg_b(g.along_neg_b),
          b_squared(g.along_b_squared), square(g.along_square)
    {
    }
    void position(std::int32_t j, typename P::vec* x, typename P::vec* y) const
    {
        *x = x_value;
        *y = smaller_root<P>(P::load(neg_b + j), P::load(b_squared + j), P::load(square + j), across);
    }
};

template <class P>
struct column_solver<P, 2> {
    depth_constants<P> constants;
    typename P::vec column_square, column_lever;
    const double* row_sum;
    const double* row_lever;

    column_solver(const terms_view& g, std::int32_t i)
        : constants(g.depth_neg_b, g.depth_b_squared, g.beta_gamma_squared, g.ox, g.oy, g.oz),
          column_square(P::broadcast(g.column_square[i])), column_lever(P::broadcast(g.column_lever[i])),
          row_sum(g.row_sum), row_lever(g.row_lever)
    {
    }
    void position(std::int32_t j, typename P::vec* x, typename P::vec* y) const
    {
        depth_projection<P>(P::load(row_sum + j), P::load(row_lever + j), column_square, column_lever, constants, x,
                            y);
    }
};

template <class P>
struct box_lanes {
    typename P::vec min_x, max_x, min_y, max_y;

    box_lanes()
        : min_x(P::broadcast(__builtin_inf())), max_x(P::broadcast(-__builtin_inf())),
          min_y(P::broadcast(__builtin_inf())), max_y(P::broadcast(-__builtin_inf()))
    {
    }
    void include(typename P::vec x, typename P::vec y, typename P::mask finite)
    {
        P::drop(finite, &x, &y);
        min_x = P::lesser(x, min_x);
        max_x = P::greater(x, max_x);
        min_y = P::lesser(y, min_y);
        max_y = P::greater(y, max_y);
    }
    void merge_into(position_box* box) const
    {
        double lanes[4][P::lanes];
        P::store(lanes[0], min_x);
        P::store(lanes[1], max_x);
        P::store(lanes[2], min_y);
        P::store(lanes[3], max_y);
        for (int l = 0; l < P::lanes; ++l)
            merge_box(box, position_box{lanes[0][l], lanes[1][l], lanes[2][l], lanes[3][l]});
    }
};

// Whether the Ys of one column, vector after vector, are finite and never
// decrease.
template <class P>
class order_check {
public:
    void add(typename P::vec y, typename P::mask finite)
    {
        if (started_)
            in_order_ = P::both(in_order_, P::nondecreasing(previous_, y));
        in_order_ = P::both(in_order_, finite);
        previous_ = y;
        started_ = true;
    }
    // Lanes past the last row repeat it, which is in order.
    bool column_in_order()
    {
        if (started_)
            in_order_ = P::both(in_order_, P::nondecreasing(previous_, P::broadcast(__builtin_inf())));
        const bool result = P::all(in_order_);
        in_order_ = P::all_true();
        started_ = false;
        return result;
    }

private:
    typename P::mask in_order_ = P::all_true();
    typename P::vec previous_ = P::broadcast(0.0);
    bool started_ = false;
};

template <class P, int Direction>
bool fold_bounds_in(const terms_view& g, std::int32_t column_begin, std::int32_t column_end, position_box* box)
{
    // Two vectors a step, each with its own box: their long chains of
    // dependent operations then overlap.
    box_lanes<P> even, odd;
    order_check<P> order;
    bool in_order = true;
    for (std::int32_t i = column_begin; i < column_end; ++i) {
        const column_solver<P, Direction> column(g, i);
        std::int32_t j = 0;
        for (; j + P::lanes < g.rows; j += 2 * P::lanes) {
            typename P::vec x0, y0, x1, y1;
            column.position(j, &x0, &y0);
            column.position(j + P::lanes, &x1, &y1);
            const typename P::mask finite0 = P::finite_both(x0, y0);
            const typename P::mask finite1 = P::finite_both(x1, y1);
            order.add(y0, finite0);
            order.add(y1, finite1);
            even.include(x0, y0, finite0);
            odd.include(x1, y1, finite1);
        }
        // Lanes past the last row repeat it, which changes no bound.
        if (j < g.rows) {
            typename P::vec x, y;
            column.position(j, &x, &y);
            const typename P::mask finite = P::finite_both(x, y);
            order.add(y, finite);
            even.include(x, y, finite);
        }
        in_order = order.column_in_order() && in_order;
    }
    even.merge_into(box);
    odd.merge_into(box);
    return in_order;
}

template <class P>
bool fold_bounds(const terms_view& g, std::int32_t column_begin, std::int32_t column_end, position_box* box)
{
    switch (g.direction) {
    case 0: return fold_bounds_in<P, 0>(g, column_begin, column_end, box);
    case 1: return fold_bounds_in<P, 1>(g, column_begin, column_end, box);
    case 2: return fold_bounds_in<P, 2>(g, column_begin, column_end, box);
    default: return false;
    }
}

// Destination keys, (row << 32) | column, or -1 where the position is not
// finite. Rows and columns of finite positions are never negative (they lie
// within the bounds), so -1 is no pixel.
template <class P, int Direction>
typename P::keys destination_keys(const column_solver<P, Direction>& column, std::int32_t j, typename P::vec min_x,
                                  typename P::vec min_y)
{
    typename P::vec x, y;
    column.position(j, &x, &y);
    return P::make_keys(P::sub(x, min_x), P::sub(y, min_y), P::finite_both(x, y));
}

template <class P, int Direction>
std::int32_t destinations_in(const terms_view& g, std::int32_t i, std::int32_t row_begin, std::int32_t row_end,
                             double min_x, double min_y, std::int64_t* pixels_out, std::int32_t* writes_out)
{
    const column_solver<P, Direction> column(g, i);
    const typename P::vec low_x = P::broadcast(min_x);
    const typename P::vec low_y = P::broadcast(min_y);
    const std::int32_t count = row_end - row_begin;
    if (count <= 0)
        return 0;
    // Whole vectors: the padding rows make reading past the end safe, and
    // the slack takes what is stored past it.
    for (std::int32_t k = 0; k < count; k += P::lanes)
        P::store_keys(pixels_out + k, destination_keys<P, Direction>(column, row_begin + k, low_x, low_y));
    pixels_out[count] = -1;  // after the last sample: no pixel
    return P::list_writes(pixels_out, count, writes_out);
}

template <class P>
std::int32_t destinations(const terms_view& g, std::int32_t column, std::int32_t row_begin, std::int32_t row_end,
                          double min_x, double min_y, std::int64_t* pixels_out, std::int32_t* writes_out)
{
    switch (g.direction) {
    case 0: return destinations_in<P, 0>(g, column, row_begin, row_end, min_x, min_y, pixels_out, writes_out);
    case 1: return destinations_in<P, 1>(g, column, row_begin, row_end, min_x, min_y, pixels_out, writes_out);
    case 2: return destinations_in<P, 2>(g, column, row_begin, row_end, min_x, min_y, pixels_out, writes_out);
    default: return 0;
    }
}

// A sample is written when it has a pixel and the next sample goes to
// another one (pixels[count] is -1). Without branches: every index is
// stored, and the count advances past the wanted ones only.
inline std::int32_t list_writes_one_by_one(const std::int64_t* pixels, std::int32_t count, std::int32_t* writes_out)
{
    std::int32_t n = 0;
    for (std::int32_t j = 0; j < count; ++j) {
        writes_out[n] = j;
        n += static_cast<std::int32_t>((pixels[j] >= 0) & (pixels[j] != pixels[j + 1]));
    }
    return n;
}

// Key operations lane by lane, for packs without the vector instructions
// for them. `Pack` (a pack of `Lanes` lanes deriving from this) supplies
// store_trunc.
template <class Pack, int Lanes>
struct lane_keys {
    struct keys {
        std::int64_t lane[Lanes];
    };

    template <class Vec, class Mask>
    static keys make_keys(Vec x, Vec y, Mask finite)
    {
        std::int32_t columns[Lanes];
        std::int32_t rows[Lanes];
        Pack::store_trunc(columns, x, finite);
        Pack::store_trunc(rows, y, finite);
        keys k;
        for (int l = 0; l < Lanes; ++l)
            k.lane[l] = rows[l] < 0 ? -1
                                    : (static_cast<std::int64_t>(rows[l]) << 32)
                                          | static_cast<std::uint32_t>(columns[l]);
        return k;
    }
    static void store_keys(std::int64_t* out, const keys& k)
    {
        for (int l = 0; l < Lanes; ++l)
            out[l] = k.lane[l];
    }
    static std::int32_t list_writes(const std::int64_t* pixels, std::int32_t count, std::int32_t* writes_out)
    {
        return list_writes_one_by_one(pixels, count, writes_out);
    }
};

// The smooth renderer's map along a line, in the order of source_x
// (render/smooth/inverse_map.cpp); lanes past the end are done one by one.
inline double line_point(const line_map& map, double apparent, double across_squared)
{
    const double along = apparent + map.offset;
    const double r = std::sqrt(((along * along) + across_squared) + map.depth_squared);
    return map.g * (apparent + (map.b * r));
}

template <class P>
typename P::vec line_point_lanes(const line_map& map, typename P::vec apparent, typename P::vec across_squared)
{
    const typename P::vec along = P::add(apparent, P::broadcast(map.offset));
    const typename P::vec sum = P::add(P::add(P::mul(along, along), across_squared), P::broadcast(map.depth_squared));
    const typename P::vec r = P::sqrt(sum);
    return P::mul(P::broadcast(map.g), P::add(apparent, P::mul(P::broadcast(map.b), r)));
}

template <class P>
void line_points(const line_map& map, double first, std::int32_t count, double across_squared, double* out)
{
    // Lane l holds X = first + (k + l): k + l is exact in double.
    double offsets[P::lanes];
    for (int l = 0; l < P::lanes; ++l)
        offsets[l] = static_cast<double>(l);
    const typename P::vec lane = P::load(offsets);
    const typename P::vec across = P::broadcast(across_squared);
    std::int32_t k = 0;
    for (; k + P::lanes <= count; k += P::lanes) {
        const typename P::vec index = P::add(P::broadcast(static_cast<double>(k)), lane);
        P::store(out + k, line_point_lanes<P>(map, P::add(P::broadcast(first), index), across));
    }
    for (; k < count; ++k)
        out[k] = line_point(map, first + static_cast<double>(k), across_squared);
}

template <class P>
void edge_points(const line_map& map, double apparent, const double* across_squared, std::int32_t count, double* out)
{
    const typename P::vec x = P::broadcast(apparent);
    std::int32_t t = 0;
    for (; t + P::lanes <= count; t += P::lanes)
        P::store(out + t, line_point_lanes<P>(map, x, P::load(across_squared + t)));
    for (; t < count; ++t)
        out[t] = line_point(map, apparent, across_squared[t]);
}

template <class P>
constexpr kernel_table make_kernel_table(simd_level level, const char* name)
{
    return kernel_table{level, name, &fold_bounds<P>, &destinations<P>, &line_points<P>, &edge_points<P>};
}

}  // namespace

#endif

// The smooth renderer straight at it: the map is radial about the observer
// and shrinks the picture towards a limit, where one output pixel's
// footprint can span hundreds of source pixels along the radius.
#include <algorithm>
#include <cmath>

#include "render/smooth/footprint_filter.h"
#include "render/smooth/inverse_map.h"
#include "render/smooth/smooth_work.h"

namespace smooth_work {

namespace {

// The weights of the pixels a kernel centred at x covers on an axis of
// `length` pixels, clipped to the source: false when it covers none.
// weights: room for the support plus 2.
bool axis_weights(const footprint_kernel& kernel, double x, std::int32_t length, std::int32_t* first, std::int32_t* last,
                  double* weights)
{
    const double half = kernel.support / 2.0;
    if (!(x + half > 0.0) || !(x - half < static_cast<double>(length)))
        return false;
    const double low = std::floor(x - half);
    const double high = std::floor(x + half);
    *first = low < 0.0 ? 0 : static_cast<std::int32_t>(low);
    *last = high >= static_cast<double>(length) ? length - 1 : static_cast<std::int32_t>(high);
    double below = kernel_share_below(kernel, static_cast<double>(*first) - x);
    for (std::int32_t i = *first; i <= *last; ++i) {
        const double above = kernel_share_below(kernel, static_cast<double>(i + 1) - x);
        weights[i - *first] = above - below;
        below = above;
    }
    return true;
}

// Straight at it, the steps of the quadrature below span about this many
// source pixels an axis.
constexpr double radial_step_extent = 1.5;
// Footprints up to this many source pixels along and across the radius are
// covered by a grid of subsamples square with the output pixel; longer
// ones, by strips along the radius.
constexpr double largest_grid_footprint = 16.0;


// Adds the source averaged about (x, y) over a parallelogram of the
// footprint with sides u and v: its shadow on the x axis is box(|u_x|) *
// box(|v_x|), on the y axis box(|u_y|) * box(|v_y|), each blurred further as
// the pixel's filter asks.
void add_parallelogram(const pass_context& p, worker_buffers* b, double x, double y, double x_u, double x_v,
                       double y_u, double y_v, double blur_x, double blur_y, double weight, double sum[3])
{
    const smooth_source& s = *p.source;
    const footprint_kernel kx = make_kernel(x_u, x_v, blur_x);
    const footprint_kernel ky = make_kernel(y_u, y_v, blur_y);
    double* weights_x = b->weights.data();
    double* weights_y = weights_x + (static_cast<std::int64_t>(s.width) + 3);
    std::int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (!axis_weights(kx, x, s.width, &x0, &x1, weights_x) || !axis_weights(ky, y, s.height, &y0, &y1, weights_y))
        return;
    for (std::int32_t i = y0; i <= y1; ++i) {
        const double wy_i = weight * weights_y[i - y0];
        const std::int64_t row_at = static_cast<std::int64_t>(i) * s.width * 3;
        for (std::int32_t k = x0; k <= x1; ++k) {
            const double w = wy_i * weights_x[k - x0];
            const std::int64_t offset = row_at + static_cast<std::int64_t>(k) * 3;
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += w * static_cast<double>(s.at(*p.tables, offset + ch));
        }
    }
}

// The part [s0, s1] of the line through (cx, cy) along (ux, uy) (a unit
// vector) inside the square [left, left + 1] x [top, top + 1]; false when
// it misses the square.
bool line_in_square(double cx, double cy, double ux, double uy, double left, double top, double* s0, double* s1)
{
    double lo = -1e300, hi = 1e300;
    const double from[2] = {cx, cy};
    const double step[2] = {ux, uy};
    const double low[2] = {left, top};
    for (int axis = 0; axis < 2; ++axis) {
        if (step[axis] == 0.0) {
            if (from[axis] < low[axis] || from[axis] > low[axis] + 1.0)
                return false;
            continue;
        }
        double a = (low[axis] - from[axis]) / step[axis];
        double b = ((low[axis] + 1.0) - from[axis]) / step[axis];
        if (a > b) {
            const double t = a;
            a = b, b = t;
        }
        lo = a > lo ? a : lo;
        hi = b < hi ? b : hi;
    }
    *s0 = lo;
    *s1 = hi;
    return hi > lo;
}

// Straight at it: an output pixel's value. Where the view magnifies the
// picture, the source averaged over the pixel's footprint about its middle.
// Where it shrinks it, footprints are long along the radius (near the map's
// limit its scale grows many times over across one pixel) and the pixel is
// integrated in strips along the radius, each about 2.5 source pixels wide
// across it, stepped along with the local scale so that each step covers
// about 2.5 source pixels; every step adds the source averaged over its own
// part of the footprint.
void draw_radial_pixel(const pass_context& p, std::int32_t row, std::int32_t column, worker_buffers* b,
                       double sum[3])
{
    sum[0] = sum[1] = sum[2] = 0.0;
    const view_parameters& view = *p.view;
    const double left = p.target->box.min_x + static_cast<double>(column);
    const double top = p.target->box.min_y + static_cast<double>(row);
    const double dx = ((left + 0.5) / 20.0) - view.observer.observer_x;
    const double dy = ((top + 0.5) / 20.0) - view.observer.observer_y;
    const double rho = std::sqrt((dx * dx) + (dy * dy));
    // Half a pixel's diagonal in source units (a pixel is 1/20 of one).
    if (rho - 0.0353553390593274 > p.rho_max)
        return;
    radial_scales middle;
    if (!radial_scales_at(view, rho < p.rho_max ? rho : p.rho_max, &middle))
        return;
    const double cos = rho > 0.0 ? dx / rho : 1.0;
    const double sin = rho > 0.0 ? dy / rho : 0.0;
    // Source pixels per output pixel along and across the radius.
    const double along = middle.along / 20.0;
    const double across = middle.across / 20.0;
    // The footprint of the pixel's square is a parallelogram: its shadows
    // on the axes set the blur, and, where the view magnifies, the filter.
    const double stretch = along - across;
    const double jxx = std::fabs(across + ((stretch * cos) * cos));
    const double jxy = std::fabs((stretch * cos) * sin);
    const double jyy = std::fabs(across + ((stretch * sin) * sin));
    const double extent_x = jxx + jxy;
    const double extent_y = jxy + jyy;
    const double blur_x = extent_x < 1.0 ? 1.0 - extent_x : 0.0;
    const double blur_y = extent_y < 1.0 ? 1.0 - extent_y : 0.0;
    if (along <= radial_step_extent && across <= radial_step_extent) {
        radial_sample at;
        if (radial_sample_at(view, left + 0.5, top + 0.5, &at))
            add_parallelogram(p, b, at.x, at.y, jxx, jxy, jxy, jyy, blur_x, blur_y, 1.0, sum);
        return;
    }
    if (along <= largest_grid_footprint && across <= largest_grid_footprint) {
        // A grid of subsamples over the square, each averaging its own part
        // of the footprint through the map's derivatives where it lies.
        const auto nx = static_cast<std::int32_t>(std::ceil(extent_x / radial_step_extent));
        const auto ny = static_cast<std::int32_t>(std::ceil(extent_y / radial_step_extent));
        const double sub_x = static_cast<double>(nx);
        const double sub_y = static_cast<double>(ny);
        const double weight = 1.0 / (sub_x * sub_y);
        for (std::int32_t sy = 0; sy < ny; ++sy)
            for (std::int32_t sx = 0; sx < nx; ++sx) {
                radial_sample at;
                if (!radial_sample_at(view, left + ((static_cast<double>(sx) + 0.5) / sub_x),
                                      top + ((static_cast<double>(sy) + 0.5) / sub_y), &at))
                    continue;
                const double local_along = at.scales.along / 20.0;
                const double local_across = at.scales.across / 20.0;
                const double local_stretch = local_along - local_across;
                const double lxx = std::fabs(local_across + ((local_stretch * at.cos) * at.cos));
                const double lxy = std::fabs((local_stretch * at.cos) * at.sin);
                const double lyy = std::fabs(local_across + ((local_stretch * at.sin) * at.sin));
                add_parallelogram(p, b, at.x, at.y, lxx / sub_x, lxy / sub_y, lxy / sub_x, lyy / sub_y, blur_x, blur_y,
                                  weight, sum);
            }
        return;
    }
    // Strips across the radius: the square's shadow on the tangent.
    const double width = static_cast<double>(p.source->width);
    const double height = static_cast<double>(p.source->height);
    const double centre_x = left + 0.5;
    const double centre_y = top + 0.5;
    const double reach = 0.5 * (std::fabs(cos) + std::fabs(sin));
    const auto strips = static_cast<std::int32_t>(std::ceil((2.0 * reach * across) / radial_step_extent));
    const double strip = (2.0 * reach) / static_cast<double>(strips);
    double covered = 0.0;
    for (std::int32_t k = 0; k < strips; ++k) {
        const double offset = (-reach) + ((static_cast<double>(k) + 0.5) * strip);
        const double ox = centre_x - (offset * sin);
        const double oy = centre_y + (offset * cos);
        double s0 = 0.0, s1 = 0.0;
        if (!line_in_square(ox, oy, cos, sin, left, top, &s0, &s1))
            continue;
        covered += (s1 - s0) * strip;
        // Stepped outward; each step's length from the scale where the last
        // one was measured.
        double scale = along;
        for (double at_s = s0; at_s < s1;) {
            double length = radial_step_extent / scale;
            if (!(length > 0.0) || length > s1 - at_s)
                length = s1 - at_s;
            const double mid = at_s + (length / 2.0);
            radial_sample at;
            // Past the map's limit, or leaving the picture along the radius:
            // nothing more on this strip.
            if (!radial_sample_at(view, ox + (mid * cos), oy + (mid * sin), &at))
                break;
            scale = at.scales.along / 20.0;
            const double margin = (scale * length) + 1.0;
            if ((at.x > width + margin && at.cos > 0.0) || (at.x < -margin && at.cos < 0.0)
                || (at.y > height + margin && at.sin > 0.0) || (at.y < -margin && at.sin < 0.0))
                break;
            // The step's rectangle (length along the strip, strip across it)
            // through the map's derivatives where it lies: a parallelogram.
            const double local_across = at.scales.across / 20.0;
            const double local_stretch = scale - local_across;
            const double lxx = local_across + ((local_stretch * at.cos) * at.cos);
            const double lxy = (local_stretch * at.cos) * at.sin;
            const double lyy = local_across + ((local_stretch * at.sin) * at.sin);
            const double ux = cos * length, uy = sin * length;
            const double vx = -sin * strip, vy = cos * strip;
            add_parallelogram(p, b, at.x, at.y, std::fabs((lxx * ux) + (lxy * uy)), std::fabs((lxx * vx) + (lxy * vy)),
                              std::fabs((lxy * ux) + (lyy * uy)), std::fabs((lxy * vx) + (lyy * vy)), blur_x, blur_y,
                              length * strip, sum);
            at_s += length;
        }
    }
    if (covered > 0.0)
        for (int c = 0; c < 3; ++c)
            sum[c] = sum[c] / covered;
}

}  // namespace

void draw_chunk_radial(const pass_context& p, std::int32_t row, std::int32_t chunk, worker_buffers* b)
{
    const smooth_target& out = *p.target;
    const std::int32_t end = std::min((chunk + 1) * radial_chunk, out.width);
    for (std::int32_t j = chunk * radial_chunk; j < end; ++j) {
        double sum[3];
        draw_radial_pixel(p, row, j, b, sum);
        put(out, *p.tables, static_cast<std::int64_t>(row) * out.width + j, sum);
    }
}

double farthest_corner(const view_parameters& view, const smooth_source& s)
{
    double most = 0.0;
    const double w = static_cast<double>(s.width);
    const double h = static_cast<double>(s.height);
    const double corners[4][2] = {{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}};
    for (const auto& c : corners) {
        const apparent_point a = apparent_position(view, fly_by_direction::straight_at_it, c[0], c[1]);
        const double dx = (a.x / 20.0) - view.observer.observer_x;
        const double dy = (a.y / 20.0) - view.observer.observer_y;
        const double rho = std::sqrt((dx * dx) + (dy * dy));
        if (rho > most)
            most = rho;
    }
    return most;
}

}  // namespace smooth_work

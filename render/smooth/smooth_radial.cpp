// The smooth renderer straight at it: the map is radial about the observer
// and shrinks the picture towards a limit, where one output pixel's
// footprint can span hundreds of source pixels along the radius.
#include <algorithm>
#include <cmath>

#include "render/smooth/footprint_cover.h"
#include "render/smooth/inverse_map.h"
#include "render/smooth/smooth_work.h"

namespace smooth_work {

namespace {

// Straight at it, the steps of the quadrature below span about this many
// source pixels an axis.
constexpr double radial_step_extent = 1.5;
// Footprints up to this many source pixels along and across the radius are
// covered by a grid of subsamples square with the output pixel; longer
// ones, by strips along the radius.
constexpr double largest_grid_footprint = 16.0;

// The map's derivatives at an apparent point, in source pixels per output
// pixel: a symmetric matrix that stretches by `along` the radius (direction
// (cos, sin)) and by `across` it.
struct local_stretch {
    double xx;
    double xy;
    double yy;
};

local_stretch stretch_at(double along, double across, double cos, double sin)
{
    const double stretch = along - across;
    return local_stretch{across + ((stretch * cos) * cos), (stretch * cos) * sin, across + ((stretch * sin) * sin)};
}

// The parallelogram that the output rectangle with sides (ax, ay) and (bx,
// by) about an apparent point maps onto, centred on the point's source
// point (x, y).
footprint_parallelogram mapped(const local_stretch& j, double x, double y, double ax, double ay, double bx, double by)
{
    return footprint_parallelogram{x,
                                   y,
                                   (j.xx * ax) + (j.xy * ay),
                                   (j.xy * ax) + (j.yy * ay),
                                   (j.xx * bx) + (j.xy * by),
                                   (j.xy * bx) + (j.yy * by)};
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

// Straight at it: an output pixel's value, the mean light of its parts,
// each part the source averaged exactly over the parallelogram the map's
// derivatives where it lies make of it (render/smooth/footprint_cover.h).
// Where the footprint is small, the whole pixel is one part; up to 16
// source pixels, a grid of parts square with the pixel. Longer footprints
// lie near the map's limit, where its scale along the radius grows many
// times over across one pixel: the pixel is cut into strips along the
// radius, each about 1.5 source pixels wide across it, stepped along with
// the local scale so that each step covers about 1.5 source pixels.
void draw_radial_pixel(const pass_context& p, std::int32_t row, std::int32_t column, double sum[3])
{
    sum[0] = sum[1] = sum[2] = 0.0;
    const view_parameters& view = *p.view;
    const smooth_source& source = *p.source;
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
    if (along <= radial_step_extent && across <= radial_step_extent) {
        radial_sample at;
        if (radial_sample_at(view, left + 0.5, top + 0.5, &at)) {
            const local_stretch j = stretch_at(along, across, cos, sin);
            add_footprint_light(source, *p.tables, mapped(j, at.x, at.y, 1.0, 0.0, 0.0, 1.0), 1.0, sum);
        }
        return;
    }
    if (along <= largest_grid_footprint && across <= largest_grid_footprint) {
        // A grid of parts over the square, each mapped where it lies.
        const local_stretch whole = stretch_at(along, across, cos, sin);
        const double extent_x = std::fabs(whole.xx) + std::fabs(whole.xy);
        const double extent_y = std::fabs(whole.xy) + std::fabs(whole.yy);
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
                const local_stretch j
                    = stretch_at(at.scales.along / 20.0, at.scales.across / 20.0, at.cos, at.sin);
                add_footprint_light(source, *p.tables, mapped(j, at.x, at.y, 1.0 / sub_x, 0.0, 0.0, 1.0 / sub_y),
                                    weight, sum);
            }
        return;
    }
    // Strips across the radius: the square's shadow on the tangent.
    const double width = static_cast<double>(source.width);
    const double height = static_cast<double>(source.height);
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
            // through the map's derivatives where it lies.
            const local_stretch j = stretch_at(scale, at.scales.across / 20.0, at.cos, at.sin);
            add_footprint_light(source, *p.tables,
                                mapped(j, at.x, at.y, cos * length, sin * length, -sin * strip, cos * strip),
                                length * strip, sum);
            at_s += length;
        }
    }
    if (covered > 0.0)
        for (int c = 0; c < 3; ++c)
            sum[c] = sum[c] / covered;
}

}  // namespace

void draw_chunk_radial(const pass_context& p, std::int32_t row, std::int32_t chunk)
{
    const smooth_target& out = *p.target;
    const std::int32_t end = std::min((chunk + 1) * radial_chunk, out.width);
    for (std::int32_t j = chunk * radial_chunk; j < end; ++j) {
        double sum[3];
        draw_radial_pixel(p, row, j, sum);
        put(out, *p.tables, static_cast<std::int64_t>(row) * out.stride + j, sum);
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

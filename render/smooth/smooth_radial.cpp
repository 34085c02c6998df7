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

// How much the map's stretch along the radius may grow across one part of
// a pixel, as a share. A part is taken as the map's derivatives at its
// middle make it; across it the true footprint's edges stray from the
// parallelogram's by about an eighth of this share of its length.
constexpr double part_growth = 0.08;

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

// A polygon of the output, in pixels: a part of one output pixel.
struct output_polygon {
    int count;
    double x[most_polygon_corners];
    double y[most_polygon_corners];
};

// The part of a convex polygon where nx x + ny y <= limit.
output_polygon clipped(const output_polygon& in, double nx, double ny, double limit)
{
    output_polygon out{};
    for (int k = 0; k < in.count; ++k) {
        const int next = k + 1 < in.count ? k + 1 : 0;
        const double a = ((nx * in.x[k]) + (ny * in.y[k])) - limit;
        const double b = ((nx * in.x[next]) + (ny * in.y[next])) - limit;
        if (a <= 0.0 && out.count < most_polygon_corners) {
            out.x[out.count] = in.x[k];
            out.y[out.count] = in.y[k];
            ++out.count;
        }
        if (((a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0)) && out.count < most_polygon_corners) {
            const double t = a / (a - b);
            out.x[out.count] = in.x[k] + (t * (in.x[next] - in.x[k]));
            out.y[out.count] = in.y[k] + (t * (in.y[next] - in.y[k]));
            ++out.count;
        }
    }
    return out;
}

// Straight at it: an output pixel's value, the mean light of its parts,
// each part the source averaged exactly over its footprint as the map's
// derivatives where it lies make it (render/smooth/footprint_cover.h). The
// parts are as large as the map's curvature allows: the whole pixel, a
// parallelogram, where the stretch along the radius grows little across
// it, whatever the footprint's size; else slices of the pixel across the
// radius, each growing by part_growth at most (near the map's limit the
// stretch grows many times over across one pixel), each a convex polygon
// where the pixel's edges cut it.
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
    const double cos = rho > 0.0 ? dx / rho : 1.0;
    const double sin = rho > 0.0 ? dy / rho : 0.0;
    // The share by which the stretch along the radius grows per output
    // pixel along the radius, and across the pixel.
    radial_sample centre{};
    const bool seen = radial_sample_at(view, left + 0.5, top + 0.5, &centre);
    radial_scales middle = centre.scales;
    if (!seen && !radial_scales_at(view, p.rho_max, &middle))
        return;
    const double growth = middle.growth / 20.0;
    const double reach = std::fabs(cos) + std::fabs(sin);
    if (seen && growth * reach <= part_growth) {
        const local_stretch j = stretch_at(middle.along / 20.0, middle.across / 20.0, cos, sin);
        add_footprint_light(source, *p.tables, mapped(j, centre.x, centre.y, 1.0, 0.0, 0.0, 1.0), 1.0, sum);
        return;
    }
    // Slices across the radius, from the near side out; each one's length
    // from the growth where the last one was measured.
    const double width = static_cast<double>(source.width);
    const double height = static_cast<double>(source.height);
    const output_polygon square{4, {-0.5, 0.5, 0.5, -0.5}, {-0.5, -0.5, 0.5, 0.5}};
    const double end = reach / 2.0;
    double step_growth = growth;
    for (double at_s = -end; at_s < end;) {
        double length = part_growth / step_growth;
        if (!(length > 0.0) || length > end - at_s)
            length = end - at_s;
        const output_polygon piece = clipped(clipped(square, cos, sin, at_s + length), -cos, -sin, -at_s);
        const double next = at_s + length;
        if (!(next > at_s))
            break;
        at_s = next;
        // Its area and centroid, from the pixel's middle.
        double twice = 0.0, mx = 0.0, my = 0.0;
        for (int v = 0; v < piece.count; ++v) {
            const int w = v + 1 < piece.count ? v + 1 : 0;
            const double cross = (piece.x[v] * piece.y[w]) - (piece.x[w] * piece.y[v]);
            twice += cross;
            mx += (piece.x[v] + piece.x[w]) * cross;
            my += (piece.y[v] + piece.y[w]) * cross;
        }
        if (piece.count < 3 || !(std::fabs(twice) > 0.0))
            continue;
        mx = mx / (3.0 * twice);
        my = my / (3.0 * twice);
        radial_sample at;
        // Past the map's limit, or past the picture's far side along the
        // radius: nothing more.
        if (!radial_sample_at(view, (left + 0.5) + mx, (top + 0.5) + my, &at))
            break;
        const double scale = at.scales.along / 20.0;
        step_growth = at.scales.growth / 20.0;
        const double margin = (scale * length) + 1.0;
        if ((at.x > width + margin && at.cos > 0.0) || (at.x < -margin && at.cos < 0.0)
            || (at.y > height + margin && at.sin > 0.0) || (at.y < -margin && at.sin < 0.0))
            break;
        const local_stretch j = stretch_at(scale, at.scales.across / 20.0, at.cos, at.sin);
        footprint_polygon image{piece.count, {}, {}};
        for (int v = 0; v < piece.count; ++v) {
            const double ox = piece.x[v] - mx;
            const double oy = piece.y[v] - my;
            image.x[v] = at.x + ((j.xx * ox) + (j.xy * oy));
            image.y[v] = at.y + ((j.xy * ox) + (j.yy * oy));
        }
        add_polygon_light(source, *p.tables, image, std::fabs(twice) / 2.0, sum);
    }
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

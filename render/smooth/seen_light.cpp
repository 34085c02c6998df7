#include "render/smooth/seen_light.h"

#include <atomic>
#include <cmath>

#include "colour/spectral_colour.h"
#include "render/doppler.h"
#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"
#include "render/smooth/inverse_map.h"

namespace {

void shift_row(const raster& source, const view_parameters& view, fly_by_direction direction,
               const colour_shift_table& table, const srgb_light_tables& light, std::int32_t y, float* out)
{
    const unsigned char* in = source.pixels.get() + static_cast<std::size_t>(y) * source.width * 3;
    const std::int32_t width = image_width_of(source);
    const double centre_y = static_cast<double>(y) + 0.5;
    for (std::int32_t x = 0; x < width; ++x, in += 3, out += 3) {
        if (in[0] == 0 && in[1] == 0 && in[2] == 0)
            continue;  // already 0
        const apparent_point p = apparent_position(view, direction, static_cast<double>(x) + 0.5, centre_y);
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            continue;
        const double d = doppler_factor(view.motion, doppler_cosine(view, direction, p.x, p.y));
        const std::array<double, 3> seen = shifted_linear(
            table, d, {static_cast<double>(light.decode[in[2]]), static_cast<double>(light.decode[in[1]]),
                       static_cast<double>(light.decode[in[0]])});
        out[0] = static_cast<float>(seen[2]);
        out[1] = static_cast<float>(seen[1]);
        out[2] = static_cast<float>(seen[0]);
    }
}

// How many source pixels the footprint of the output pixel at (x, y) (its
// top left corner, observer's coordinates) spans: along the line from left
// to right and top to bottom, its longer side straight at it; infinite
// where the map gives no source point.
double footprint_span(const view_parameters& view, fly_by_direction direction, double x, double y)
{
    if (direction == fly_by_direction::left_to_right)
        return source_x(view, x + 1.0, y + 0.5) - source_x(view, x, y + 0.5);
    if (direction == fly_by_direction::top_to_bottom)
        return source_y(view, y + 1.0, x + 0.5) - source_y(view, y, x + 0.5);
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    if (!source_point_radial(view, x, y, &x0, &y0) || !source_point_radial(view, x + 1.0, y, &x1, &y1)
        || !source_point_radial(view, x, y + 1.0, &x2, &y2))
        return HUGE_VAL;
    const double a = std::sqrt(((x1 - x0) * (x1 - x0)) + ((y1 - y0) * (y1 - y0)));
    const double b = std::sqrt(((x2 - x0) * (x2 - x0)) + ((y2 - y0) * (y2 - y0)));
    return a > b ? a : b;
}

double factor_at(const view_parameters& view, fly_by_direction direction, double x, double y)
{
    return doppler_factor(view.motion, doppler_cosine(view, direction, x, y));
}

void corner_factors(const view_parameters& view, fly_by_direction direction, double x, double y, double* low,
                    double* high);

// The mean over the pixel at (x, y) of its light rgb shifted with the D of
// each point.
std::array<double, 3> shifted_over_pixel(const view_parameters& view, fly_by_direction direction,
                                         const colour_shift_table& table, double x, double y,
                                         const std::array<double, 3>& rgb)
{
    double low = 0.0, high = 0.0;
    corner_factors(view, direction, x, y, &low, &high);
    // D within 1/1024 across the pixel: its centre's is as good as any.
    if (high <= low * (1.0 + (1.0 / 1024.0)))
        return shifted_linear(table, factor_at(view, direction, x + 0.5, y + 0.5), rgb);
    constexpr int grid = 8;
    std::array<double, 3> sum = {0.0, 0.0, 0.0};
    for (int a = 0; a < grid; ++a)
        for (int b = 0; b < grid; ++b) {
            const double d = factor_at(view, direction, x + ((static_cast<double>(b) + 0.5) / grid),
                                       y + ((static_cast<double>(a) + 0.5) / grid));
            const std::array<double, 3> one = shifted_linear(table, d, rgb);
            for (int c = 0; c < 3; ++c)
                sum[c] += one[c];
        }
    for (double& c : sum)
        c /= static_cast<double>(grid * grid);
    return sum;
}

// The range of D over the pixel's corners.
void corner_factors(const view_parameters& view, fly_by_direction direction, double x, double y, double* low,
                    double* high)
{
    *low = HUGE_VAL;
    *high = 0.0;
    for (int k = 0; k < 4; ++k) {
        const double d = factor_at(view, direction, x + static_cast<double>(k & 1), y + static_cast<double>(k >> 1));
        *low = d < *low ? d : *low;
        *high = d > *high ? d : *high;
    }
}

// Where D changes by more than this factor across a pixel (its light goes
// from approaching to receding within it, next to the observer), neither
// one D a source pixel nor the pixel's mean light will do: its points are
// taken one by one.
constexpr double steep = 1.1;
constexpr int steep_grid = 16;

// The mean over steep_grid x steep_grid points of the pixel at (x, y) of
// the source pixel each is drawn from (black outside), shifted with the
// point's D.
std::array<double, 3> shifted_points(const view_parameters& view, fly_by_direction direction,
                                     const colour_shift_table& table, const raster& source, double x, double y)
{
    const srgb_light_tables& light = srgb_light();
    const std::int32_t width = image_width_of(source);
    std::array<double, 3> sum = {0.0, 0.0, 0.0};
    for (int a = 0; a < steep_grid; ++a)
        for (int b = 0; b < steep_grid; ++b) {
            const double px = x + ((static_cast<double>(b) + 0.5) / steep_grid);
            const double py = y + ((static_cast<double>(a) + 0.5) / steep_grid);
            double sx = px, sy = py;
            if (direction == fly_by_direction::left_to_right)
                sx = source_x(view, px, py);
            else if (direction == fly_by_direction::top_to_bottom)
                sy = source_y(view, py, px);
            else if (!source_point_radial(view, px, py, &sx, &sy))
                continue;
            if (!(sx >= 0.0 && sy >= 0.0 && sx < static_cast<double>(width) && sy < static_cast<double>(source.height)))
                continue;
            const unsigned char* p = source.pixels.get()
                                     + ((static_cast<std::size_t>(sy) * static_cast<std::size_t>(source.width))
                                        + static_cast<std::size_t>(sx))
                                           * 3;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                continue;
            const std::array<double, 3> one = shifted_linear(
                table, factor_at(view, direction, px, py),
                {static_cast<double>(light.decode[p[2]]), static_cast<double>(light.decode[p[1]]),
                 static_cast<double>(light.decode[p[0]])});
            for (int c = 0; c < 3; ++c)
                sum[c] += one[c];
        }
    for (double& c : sum)
        c /= static_cast<double>(steep_grid * steep_grid);
    return sum;
}

void mend_row(const view_parameters& view, fly_by_direction direction, const position_box& box,
              const colour_shift_table& table, const raster& source, std::int32_t width, std::int32_t i,
              const float* rest, float* seen)
{
    const double y = box.min_y + static_cast<double>(i);
    for (std::int32_t j = 0; j < width; ++j, rest += 3, seen += 3) {
        const double x = box.min_x + static_cast<double>(j);
        double low = 0.0, high = 0.0;
        corner_factors(view, direction, x, y, &low, &high);
        if (high > low * steep) {
            const std::array<double, 3> points = shifted_points(view, direction, table, source, x, y);
            for (int c = 0; c < 3; ++c)
                seen[c] = static_cast<float>(points[2 - c]);
            continue;
        }
        const double span = footprint_span(view, direction, x, y);
        if (!(span < 2.0))
            continue;  // NaN too: the shifted source's average stands
        const double own = span > 1.0 ? 2.0 - span : 1.0;  // this pixel's share
        std::array<double, 3> here = {0.0, 0.0, 0.0};
        if (rest[0] != 0.0f || rest[1] != 0.0f || rest[2] != 0.0f)
            here = shifted_over_pixel(view, direction, table, x, y,
                                      {static_cast<double>(rest[2]), static_cast<double>(rest[1]),
                                       static_cast<double>(rest[0])});
        for (int c = 0; c < 3; ++c)
            seen[c] = static_cast<float>((own * here[2 - c]) + ((1.0 - own) * static_cast<double>(seen[c])));
    }
}

}  // namespace

void shift_magnified(const view_parameters& view, fly_by_direction direction, const position_box& box,
                     const colour_shift_table& table, const raster& source, std::int32_t width, std::int32_t height,
                     const std::vector<float>& rest, const render_machine& machine, std::vector<float>* seen)
{
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, static_cast<std::int64_t>(width) * height * 8), [](int) {},
        [&](int, int) {
            for (;;) {
                const std::int32_t i = next.fetch_add(1);
                if (i >= height)
                    break;
                mend_row(view, direction, box, table, source, width, i, rest.data() + row * static_cast<std::size_t>(i),
                         seen->data() + row * static_cast<std::size_t>(i));
            }
        });
}

linear_picture seen_source(const raster& source, const view_parameters& view, fly_by_direction direction,
                           const colour_shift_table& table, const render_machine& machine)
{
    linear_picture out;
    out.width = image_width_of(source);
    out.height = source.height;
    if (!source.pixels)
        return out;
    const std::size_t row = static_cast<std::size_t>(out.width) * 3;
    out.values.assign(row * static_cast<std::size_t>(out.height), 0.0f);
    const srgb_light_tables& light = srgb_light();
    std::atomic<std::int32_t> next{0};
    const std::int64_t work = static_cast<std::int64_t>(out.width) * out.height * 8;
    run_workers(
        render_threads_for(machine.threads, work), [](int) {},
        [&](int, int) {
            for (;;) {
                const std::int32_t y = next.fetch_add(1);
                if (y >= out.height)
                    break;
                shift_row(source, view, direction, table, light, y, out.values.data() + row * static_cast<std::size_t>(y));
            }
        });
    return out;
}

#include "render/smooth/seen_light.h"

#include <atomic>
#include <algorithm>
#include <cmath>
#include <limits>

#include "colour/spectral_colour.h"
#include "colour/portable_math.h"
#include "render/doppler.h"
#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"
#include "render/smooth/inverse_map.h"

namespace {

// The colour table's matrices with white's brightness at each D taken in
// (colour_and_brightness), node by node: between nodes a source pixel's
// matrix is interpolated linearly, one exp a node instead of one a pixel
// (the product varies slowly over a node: 1/256 in ln D).
struct shift_matrices {
    std::vector<matrix3> nodes;
    double first_log_d;
    double last;  // the last node's index
};

shift_matrices matrices_of(const colour_shift_table& table)
{
    shift_matrices m;
    m.first_log_d = table.first_log_d;
    m.last = static_cast<double>(table.nodes.size() - 1);
    for (const colour_shift_node& node : table.nodes) {
        matrix3 product = node.colour;
        if (table.settings.mode != doppler_mode::colour_only) {
            const double scale = portable_exp(node.log_brightness);
            for (double& v : product)
                v *= scale;
        }
        m.nodes.push_back(product);
    }
    return m;
}

// Where D falls among the nodes (clamped to them; NaN: the first).
double node_index(const shift_matrices& m, double doppler)
{
    const double at = (portable_log(doppler) - m.first_log_d) / node_step;
    return at > 0.0 ? std::min(at, m.last) : 0.0;
}

// The node index of the D of where source point (x, y) is drawn; NaN where
// it is drawn nowhere.
double index_at(const view_parameters& view, fly_by_direction direction, const shift_matrices& m, double x, double y)
{
    const apparent_point p = apparent_position(view, direction, x, y);
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        return std::numeric_limits<double>::quiet_NaN();
    return node_index(m, doppler_factor(view.motion, doppler_cosine(view, direction, p.x, p.y)));
}

// Source pixels are shifted in blocks of block x block: D's node index is
// worked out exactly at the pixel centres on every block-th row and column
// (and the last), and inside a block interpolated between its four, when
// they all exist and the block's middle lies within 1/64 of a node of
// their mean; otherwise (next to the observer) pixel by pixel.
constexpr std::int32_t block = 8;

// The grid line of node k: pixel k * block, or the last pixel.
std::int32_t grid_pixel(std::int32_t k, std::int32_t size) { return std::min(k * block, size - 1); }

void shift_pixel_with(const shift_matrices& m, const srgb_light_tables& light, double at, const unsigned char* in,
                      float* out)
{
    if (at != at)
        return;  // drawn nowhere: stays 0
    const std::size_t i = std::min(static_cast<std::size_t>(at), m.nodes.size() - 2);
    const double f = at - static_cast<double>(i);
    const matrix3& a = m.nodes[i];
    const matrix3& b = m.nodes[i + 1];
    const double rgb[3] = {static_cast<double>(light.decode[in[2]]), static_cast<double>(light.decode[in[1]]),
                           static_cast<double>(light.decode[in[0]])};
    for (int r = 0; r < 3; ++r) {
        double v = 0.0;
        for (int c = 0; c < 3; ++c)
            v += (a[3 * r + c] + (f * (b[3 * r + c] - a[3 * r + c]))) * rgb[c];
        out[2 - r] = static_cast<float>(v);
    }
}

// Source rows [gy * block, ...) of one block row.
void shift_block_row(const raster& source, const view_parameters& view, fly_by_direction direction,
                     const shift_matrices& m, const srgb_light_tables& light, std::int32_t gy, std::int32_t width,
                     std::vector<double>* top, std::vector<double>* bottom, float* values)
{
    const std::int32_t columns = static_cast<std::int32_t>(top->size());
    const std::int32_t y0 = grid_pixel(gy, source.height), y1 = grid_pixel(gy + 1, source.height);
    for (std::int32_t gx = 0; gx < columns; ++gx) {
        const double x = static_cast<double>(grid_pixel(gx, width)) + 0.5;
        (*top)[gx] = index_at(view, direction, m, x, static_cast<double>(y0) + 0.5);
        (*bottom)[gx] = index_at(view, direction, m, x, static_cast<double>(y1) + 0.5);
    }
    const std::int32_t rows_end = std::min((gy + 1) * block, source.height);
    for (std::int32_t gx = 0; gx + 1 < columns || gx == 0; ++gx) {
        const std::int32_t x0 = grid_pixel(gx, width), x1 = grid_pixel(gx + 1, width);
        // The last block takes the last column too (its grid line).
        const std::int32_t columns_end = gx + 2 >= columns ? width : std::min((gx + 1) * block, width);
        const double c[4] = {(*top)[gx], (*top)[std::min(gx + 1, columns - 1)], (*bottom)[gx],
                             (*bottom)[std::min(gx + 1, columns - 1)]};
        // The interpolation's error is largest near the middle: there it
        // must be within 1/64 of a node (6e-5 in ln D). False with NaN.
        const double middle = index_at(view, direction, m, (static_cast<double>(x0 + x1) / 2.0) + 0.5,
                                       (static_cast<double>(y0 + y1) / 2.0) + 0.5);
        const bool smooth = std::fabs(middle - (((c[0] + c[1]) + (c[2] + c[3])) / 4.0)) <= 1.0 / 64.0;
        for (std::int32_t y = gy * block; y < rows_end; ++y) {
            const unsigned char* in = source.pixels.get() + (static_cast<std::size_t>(y) * source.width + gx * block) * 3;
            float* out = values + (static_cast<std::size_t>(y) * width + gx * block) * 3;
            const double v = y1 > y0 ? static_cast<double>(y - y0) / static_cast<double>(y1 - y0) : 0.0;
            for (std::int32_t x = gx * block; x < columns_end; ++x, in += 3, out += 3) {
                if (in[0] == 0 && in[1] == 0 && in[2] == 0)
                    continue;  // already 0
                double at = 0.0;
                if (smooth) {
                    const double u = x1 > x0 ? static_cast<double>(x - x0) / static_cast<double>(x1 - x0) : 0.0;
                    const double upper = c[0] + (u * (c[1] - c[0]));
                    const double lower = c[2] + (u * (c[3] - c[2]));
                    at = upper + (v * (lower - upper));
                } else {
                    at = index_at(view, direction, m, static_cast<double>(x) + 0.5, static_cast<double>(y) + 0.5);
                }
                shift_pixel_with(m, light, at, in, out);
            }
        }
        if (columns == 1)
            break;
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

// Linear r, g, b shifted with the matrix at node index `at`.
std::array<double, 3> shifted_with(const shift_matrices& m, double at, const std::array<double, 3>& rgb)
{
    const std::size_t i = std::min(static_cast<std::size_t>(at), m.nodes.size() - 2);
    const double f = at - static_cast<double>(i);
    const matrix3& a = m.nodes[i];
    const matrix3& b = m.nodes[i + 1];
    std::array<double, 3> out;
    for (int r = 0; r < 3; ++r) {
        double v = 0.0;
        for (int c = 0; c < 3; ++c)
            v += (a[3 * r + c] + (f * (b[3 * r + c] - a[3 * r + c]))) * rgb[c];
        out[r] = v;
    }
    return out;
}

// The mean over the pixel at (x, y) of its light rgb shifted with the D of
// each point; corner: D at its four corners (top left, top right, bottom
// left, bottom right).
std::array<double, 3> shifted_over_pixel(const view_parameters& view, fly_by_direction direction,
                                         const shift_matrices& m, double x, double y, const double corner[4],
                                         const std::array<double, 3>& rgb)
{
    const double low = std::min({corner[0], corner[1], corner[2], corner[3]});
    const double high = std::max({corner[0], corner[1], corner[2], corner[3]});
    const std::array<double, 3> centre
        = shifted_with(m, node_index(m, factor_at(view, direction, x + 0.5, y + 0.5)), rgb);
    // D within 1 % across the pixel: its centre's is as good as the mean
    // (the error is second order, below 1e-4).
    if (high <= low * 1.01)
        return centre;
    // Within a tenth (steep takes the rest): Simpson's weights, a third on
    // the corners' mean and two thirds on the centre, exact for light
    // quadratic in x or in y across the pixel.
    std::array<double, 3> corners = {0.0, 0.0, 0.0};
    for (int k = 0; k < 4; ++k) {
        const std::array<double, 3> one = shifted_with(m, node_index(m, corner[k]), rgb);
        for (int c = 0; c < 3; ++c)
            corners[c] += one[c];
    }
    std::array<double, 3> sum;
    for (int c = 0; c < 3; ++c)
        sum[c] = (corners[c] / 12.0) + ((2.0 * centre[c]) / 3.0);
    return sum;
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
                                     const shift_matrices& m, const raster& source, double x, double y)
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
            const std::array<double, 3> one = shifted_with(
                m, node_index(m, factor_at(view, direction, px, py)),
                {static_cast<double>(light.decode[p[2]]), static_cast<double>(light.decode[p[1]]),
                 static_cast<double>(light.decode[p[0]])});
            for (int c = 0; c < 3; ++c)
                sum[c] += one[c];
        }
    for (double& c : sum)
        c /= static_cast<double>(steep_grid * steep_grid);
    return sum;
}

// upper and lower: room for width + 1 values each.
void mend_row(const view_parameters& view, fly_by_direction direction, const position_box& box,
              const shift_matrices& m, const raster& source, std::int32_t width, std::int32_t i, const float* rest,
              float* seen, std::vector<double>* upper, std::vector<double>* lower)
{
    const double y = box.min_y + static_cast<double>(i);
    for (std::int32_t j = 0; j <= width; ++j) {
        (*upper)[j] = factor_at(view, direction, box.min_x + static_cast<double>(j), y);
        (*lower)[j] = factor_at(view, direction, box.min_x + static_cast<double>(j), y + 1.0);
    }
    for (std::int32_t j = 0; j < width; ++j, rest += 3, seen += 3) {
        const double x = box.min_x + static_cast<double>(j);
        const double corner[4] = {(*upper)[j], (*upper)[j + 1], (*lower)[j], (*lower)[j + 1]};
        const double low = std::min({corner[0], corner[1], corner[2], corner[3]});
        const double high = std::max({corner[0], corner[1], corner[2], corner[3]});
        if (high > low * steep) {
            const std::array<double, 3> points = shifted_points(view, direction, m, source, x, y);
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
            here = shifted_over_pixel(view, direction, m, x, y, corner,
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
    const shift_matrices m = matrices_of(table);
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, static_cast<std::int64_t>(width) * height * 8), [](int) {},
        [&](int, int) {
            std::vector<double> upper(static_cast<std::size_t>(width) + 1), lower(upper.size());
            for (;;) {
                const std::int32_t i = next.fetch_add(1);
                if (i >= height)
                    break;
                mend_row(view, direction, box, m, source, width, i, rest.data() + row * static_cast<std::size_t>(i),
                         seen->data() + row * static_cast<std::size_t>(i), &upper, &lower);
            }
        });
}

linear_picture seen_source(const raster& source, const view_parameters& view, fly_by_direction direction,
                           const colour_shift_table& table, const render_machine& machine)
{
    linear_picture out;
    out.width = image_width_of(source);
    out.height = source.height;
    if (!source.pixels || out.width <= 0 || out.height <= 0)
        return out;
    out.values.assign(static_cast<std::size_t>(out.width) * 3 * static_cast<std::size_t>(out.height), 0.0f);
    const srgb_light_tables& light = srgb_light();
    const shift_matrices m = matrices_of(table);
    const std::int32_t columns = (out.width - 1 + block - 1) / block + 1;
    const std::int32_t block_rows = (out.height + block - 1) / block;
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, static_cast<std::int64_t>(out.width) * out.height * 2), [](int) {},
        [&](int, int) {
            std::vector<double> top(static_cast<std::size_t>(columns)), bottom(static_cast<std::size_t>(columns));
            for (;;) {
                const std::int32_t gy = next.fetch_add(1);
                if (gy >= block_rows)
                    break;
                shift_block_row(source, view, direction, m, light, gy, out.width, &top, &bottom, out.values.data());
            }
        });
    return out;
}

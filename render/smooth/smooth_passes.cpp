#include "render/smooth/smooth_passes.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"
#include "render/smooth/footprint_filter.h"
#include "render/smooth/inverse_map.h"

namespace {

// Columns drawn together from top to bottom: their source pixels share
// cache lines.
constexpr std::int32_t band_columns = 16;

// A straight piece of an output pixel's edge: between two points across
// the output line (a row, or a column), the source coordinate along the line
// sweeps over [centroid - path / 2, centroid + path / 2]; mean is the
// running sum's mean over that sweep.
struct sweep_piece {
    double centroid;
    double path;
    double mean[3];
};

// One worker's buffers, sized once before any drawing.
struct worker_buffers {
    std::vector<double> prefix;  // running sums of lines, 3 a pixel
    std::vector<sweep_piece> pieces;  // output pixel edges across a line, piece by piece
    std::vector<double> points;       // the edges' source coordinates at the middle and ends
    std::vector<double> values;      // a band's output pixels, column by column
    std::vector<double> weights; // a subsample's weights along x, then y
};

void put(const smooth_target& target, const srgb_light_tables& tables, std::int64_t pixel, const double sum[3])
{
    for (int c = 0; c < 3; ++c) {
        const float value = sum[c] > 0.0 ? static_cast<float>(sum[c]) : 0.0f;
        if (target.values)
            target.values[pixel * 3 + c] = value;
        else
            target.bytes[pixel * 3 + c] = encode_light(tables, value);
    }
}

// A line of the source (a row, or a column of a band) with its running
// sums: entry i of prefix, `stride` doubles after entry i - 1, holds the
// sums of pixels 0 to i - 1.
struct source_line {
    const double* prefix;
    std::int64_t stride;
    std::int64_t first;  // the source offset of pixel 0's first channel
    std::int64_t step;   // between pixels
    std::int32_t length;
};

// Sums pixel i of a line into `sum` with a weight.
void add_pixel(const source_line& line, const smooth_source& source, const srgb_light_tables& t, std::int32_t i,
               double weight, double sum[3])
{
    if (i < 0 || i >= line.length)
        return;
    const std::int64_t at = line.first + (line.step * i);
    for (int c = 0; c < 3; ++c)
        sum[c] += weight * static_cast<double>(source.at(t, at + c));
}

// The integral of the line from 0 to x (outside [0, length] the source is
// black).
void running_sum_at(const source_line& line, const smooth_source& source, const srgb_light_tables& t, double x,
                    double out[3])
{
    out[0] = out[1] = out[2] = 0.0;
    if (!(x > 0.0))
        return;
    if (x >= static_cast<double>(line.length)) {
        const double* p = line.prefix + (line.stride * line.length);
        out[0] = p[0], out[1] = p[1], out[2] = p[2];
        return;
    }
    const auto i = static_cast<std::int32_t>(x);
    const double* p = line.prefix + (line.stride * i);
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
    add_pixel(line, source, t, i, x - static_cast<double>(i), out);
}

// The mean of the running sum over [a, b] (a <= b): where an output pixel's
// edge lies, averaged over the edge's sweep across the line. Integrated piece
// by piece, so that no large sums are subtracted.
void running_sum_mean(const source_line& line, const smooth_source& source, const srgb_light_tables& t, double a,
                      double b, double out[3])
{
    if (!(b > a)) {
        running_sum_at(line, source, t, a, out);
        return;
    }
    const double length = static_cast<double>(line.length);
    double total[3] = {0.0, 0.0, 0.0};
    if (b > length) {
        const double* p = line.prefix + (line.stride * line.length);
        const double beyond = b - (a > length ? a : length);
        for (int c = 0; c < 3; ++c)
            total[c] = p[c] * beyond;
    }
    const double lo = a > 0.0 ? a : 0.0;
    const double hi = b < length ? b : length;
    if (hi > lo) {
        for (auto i = static_cast<std::int32_t>(lo); static_cast<double>(i) < hi; ++i) {
            const double left = static_cast<double>(i);
            const double u = lo > left ? lo : left;
            const double v = hi < left + 1.0 ? hi : left + 1.0;
            // The running sum at the piece's middle, times its length.
            double middle[3] = {line.prefix[line.stride * i], line.prefix[line.stride * i + 1],
                                line.prefix[line.stride * i + 2]};
            add_pixel(line, source, t, i, ((u + v) / 2.0) - left, middle);
            for (int c = 0; c < 3; ++c)
                total[c] += (v - u) * middle[c];
        }
    }
    const double span = b - a;
    for (int c = 0; c < 3; ++c)
        out[c] = total[c] / span;
}

// The source coordinate along the line of an output edge, as a function of
// the coordinate across it.
struct edge_curve {
    const view_parameters* view;
    bool along_rows;  // from left to right, else from top to bottom
    double apparent;

    double at(double across) const
    {
        return along_rows ? source_x(*view, apparent, across) : source_y(*view, apparent, across);
    }
};

struct line_pass {
    const source_line* line;
    const smooth_source* source;
    const srgb_light_tables* tables;
    const view_parameters* view;
    bool along_rows;
    double first;  // the apparent coordinate of edge 0 along the line
    double near;   // the line's near side across it
    int pieces;    // straight pieces each edge is cut into across the line
};

// The pieces of the edge at apparent coordinate `apparent` along the line;
// xs, when given, its source coordinates at the pieces' ends.
void edge_pieces(const line_pass& p, double apparent, const double* xs, sweep_piece* out)
{
    const edge_curve curve{p.view, p.along_rows, apparent};
    const double count = static_cast<double>(p.pieces);
    double x0 = xs ? xs[0] : curve.at(p.near);
    for (int t = 0; t < p.pieces; ++t) {
        const double x1 = xs ? xs[t + 1] : curve.at(p.near + (static_cast<double>(t + 1) / count));
        const double a = x0 < x1 ? x0 : x1;
        const double b = x0 < x1 ? x1 : x0;
        sweep_piece& piece = out[t];
        running_sum_mean(*p.line, *p.source, *p.tables, a, b, piece.mean);
        piece.centroid = (a + b) / 2.0;
        piece.path = b - a;
        x0 = x1;
    }
}

// The part of an output line between two edges: each piece across the line
// (a slice of the output pixel) averaged on its own, the map taken as
// straight between the edges, and the slices' mean. blur: the pixel's, what
// its footprint's extent lacks of a source pixel.
void slices_average(const line_pass& p, const sweep_piece* e0, const sweep_piece* e1, double blur, double out[3])
{
    out[0] = out[1] = out[2] = 0.0;
    const double length = static_cast<double>(p.line->length);
    const double share = 1.0 / static_cast<double>(p.pieces);
    for (int t = 0; t < p.pieces; ++t) {
        const double width = e1[t].centroid - e0[t].centroid;
        const double shear = (e0[t].path + e1[t].path) / 2.0;
        // NaN, or wholly outside the source with room for the kernel: black.
        if (!(width > 0.0) || !(e1[t].centroid + shear > -1.0) || !(e0[t].centroid - shear < length + 1.0))
            continue;
        if (!(blur > 0.0)) {
            // The exact average over the slice's footprint.
            for (int c = 0; c < 3; ++c)
                out[c] += share * ((e1[t].mean[c] - e0[t].mean[c]) / width);
            continue;
        }
        // Under a pixel: the kernel spans at most one pixel's width, so two.
        const footprint_kernel kernel = make_kernel(width, shear, blur);
        const double centre = (e0[t].centroid + e1[t].centroid) / 2.0;
        const double left = std::floor(centre - 0.5);
        const double below = kernel_share_below(kernel, (left + 1.0) - centre);
        const auto i = static_cast<std::int32_t>(left);
        add_pixel(*p.line, *p.source, *p.tables, i, share * below, out);
        add_pixel(*p.line, *p.source, *p.tables, i + 1, share * (1.0 - below), out);
    }
}

// The mean width of an output pixel, and its footprint's extent.
double pixel_width(const line_pass& p, const sweep_piece* e0, const sweep_piece* e1)
{
    double sum = 0.0;
    for (int t = 0; t < p.pieces; ++t)
        sum += e1[t].centroid - e0[t].centroid;
    return sum / static_cast<double>(p.pieces);
}

double pixel_blur(const line_pass& p, const sweep_piece* e0, const sweep_piece* e1)
{
    double path = 0.0;
    for (int t = 0; t < p.pieces; ++t)
        path += e0[t].path + e1[t].path;
    const double extent = pixel_width(p, e0, e1) + (path / 2.0);
    return extent >= 1.0 ? 0.0 : 1.0 - extent;
}

// Lines are cut into more pieces where the edges bend across them (sharply
// only near the observer): by the largest distance of an edge's middle from
// its chord, in source pixels.
constexpr double chord_tolerance = 1.0 / 256.0;

int pieces_for_bend(double bend)
{
    if (!(bend > chord_tolerance))
        return 2;
    return bend > 16.0 * chord_tolerance ? 64 : 8;
}

constexpr int most_pieces = 64;

// Where the map bends along the line within an output pixel (near the
// observer its scale changes many times over across one pixel), the pixel
// is the mean of its halves, each split again while its halves' widths
// differ. scratch: room for pieces of 6 more edges.
void bent_average(const line_pass& p, double a0, const sweep_piece* e0, double a1, const sweep_piece* e1,
                  double blur, int depth, sweep_piece* scratch, double out[3])
{
    const double middle = (a0 + a1) / 2.0;
    sweep_piece* em = scratch;
    edge_pieces(p, middle, nullptr, em);
    const double left = pixel_width(p, e0, em);
    const double right = pixel_width(p, em, e1);
    double first[3], second[3];
    if (depth < 5 && std::fabs(left - right) > (0.02 * (left + right)) + chord_tolerance) {
        bent_average(p, a0, e0, middle, em, blur, depth + 1, scratch + p.pieces, first);
        bent_average(p, middle, em, a1, e1, blur, depth + 1, scratch + p.pieces, second);
    } else {
        slices_average(p, e0, em, blur, first);
        slices_average(p, em, e1, blur, second);
    }
    for (int c = 0; c < 3; ++c)
        out[c] = (first[c] + second[c]) / 2.0;
}

// Every output pixel of a line: count of them, through put(j, value).
// Buffers: pieces for (count + 7) * most_pieces, points for 3 (count + 1).
template <class Put>
void line_pixels(line_pass p, sweep_piece* pieces, double* points, std::int32_t count, Put put_pixel)
{
    double bend = 0.0;
    for (std::int32_t k = 0; k <= count; ++k) {
        const edge_curve curve{p.view, p.along_rows, p.first + static_cast<double>(k)};
        double* x = points + (3 * static_cast<std::int64_t>(k));
        x[0] = curve.at(p.near);
        x[1] = curve.at(p.near + 0.5);
        x[2] = curve.at(p.near + 1.0);
        bend = std::fmax(bend, std::fabs(x[1] - ((x[0] + x[2]) / 2.0)));
    }
    p.pieces = pieces_for_bend(bend);
    const std::int64_t m = p.pieces;
    for (std::int32_t k = 0; k <= count; ++k)
        edge_pieces(p, p.first + static_cast<double>(k), m == 2 ? points + (3 * static_cast<std::int64_t>(k)) : nullptr,
                    pieces + (m * k));
    sweep_piece* scratch = pieces + (m * (static_cast<std::int64_t>(count) + 1));
    for (std::int32_t j = 0; j < count; ++j) {
        const sweep_piece* e0 = pieces + (m * j);
        const sweep_piece* e1 = e0 + m;
        const double width = pixel_width(p, e0, e1);
        const double tolerance = (0.02 * width) + chord_tolerance;
        const bool bent = (j > 0 && std::fabs(width - pixel_width(p, e0 - m, e0)) > tolerance)
                          || (j + 1 < count && std::fabs(pixel_width(p, e1, e1 + m) - width) > tolerance);
        const double blur = pixel_blur(p, e0, e1);
        double value[3];
        if (bent && width > 0.0) {
            const double a = p.first + static_cast<double>(j);
            bent_average(p, a, e0, a + 1.0, e1, blur, 0, scratch, value);
        } else {
            slices_average(p, e0, e1, blur, value);
        }
        put_pixel(j, value);
    }
}

// Running sums of `count` pixels starting at source offset `first`, `step`
// apart, into prefix at `stride` doubles an entry.
void fill_running_sums(const smooth_source& source, const srgb_light_tables& t, std::int64_t first,
                       std::int64_t step, std::int32_t count, double* prefix, std::int64_t stride)
{
    prefix[0] = prefix[1] = prefix[2] = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        const double* p = prefix + (stride * i);
        double* q = prefix + (stride * (i + 1));
        const std::int64_t at = first + (step * i);
        for (int c = 0; c < 3; ++c)
            q[c] = p[c] + static_cast<double>(source.at(t, at + c));
    }
}

struct pass_context {
    const view_parameters* view;
    fly_by_direction direction;
    const smooth_source* source;
    const smooth_target* target;
    const srgb_light_tables* tables;
    double rho_max;          // straight at it: the farthest source corner's apparent distance
};

// From left to right: output row i is source row i (the map keeps y).
void draw_row_along_x(const pass_context& p, std::int32_t row, worker_buffers* b)
{
    const smooth_source& s = *p.source;
    const smooth_target& out = *p.target;
    if (row >= s.height)
        return;
    const std::int64_t first = static_cast<std::int64_t>(row) * s.width * 3;
    fill_running_sums(s, *p.tables, first, 3, s.width, b->prefix.data(), 3);
    const source_line line{b->prefix.data(), 3, first, 3, s.width};
    const line_pass pass{&line, &s, p.tables, p.view, true, out.box.min_x, out.box.min_y + static_cast<double>(row), 2};
    const std::int64_t row_start = static_cast<std::int64_t>(row) * out.width;
    line_pixels(pass, b->pieces.data(), b->points.data(), out.width,
                [&](std::int32_t j, const double value[3]) { put(out, *p.tables, row_start + j, value); });
}

// From top to bottom: a band of output columns, each source column j being
// output column j (the map keeps x). The band's source pixels share cache
// lines; each column's output pixels are kept until the band's rows are
// written.
void draw_band_along_y(const pass_context& p, std::int32_t band, worker_buffers* b)
{
    const smooth_source& s = *p.source;
    const smooth_target& out = *p.target;
    const std::int32_t begin = band * band_columns;
    const std::int32_t end = std::min(begin + band_columns, s.width);
    const std::int64_t n = static_cast<std::int64_t>(out.height);
    for (std::int32_t j = begin; j < end; ++j) {
        double* prefix = b->prefix.data() + ((j - begin) * 3);
        fill_running_sums(s, *p.tables, static_cast<std::int64_t>(j) * 3, static_cast<std::int64_t>(s.width) * 3,
                          s.height, prefix, band_columns * 3);
    }
    for (std::int32_t j = begin; j < end; ++j) {
        const source_line line{b->prefix.data() + ((j - begin) * 3), band_columns * 3,
                               static_cast<std::int64_t>(j) * 3, static_cast<std::int64_t>(s.width) * 3, s.height};
        const line_pass pass{&line, &s, p.tables, p.view, false, out.box.min_y, out.box.min_x + static_cast<double>(j),
                             2};
        double* values = b->values.data() + (3 * n * (j - begin));
        line_pixels(pass, b->pieces.data(), b->points.data(), out.height, [&](std::int32_t i, const double value[3]) {
            values[3 * i] = value[0], values[3 * i + 1] = value[1], values[3 * i + 2] = value[2];
        });
    }
    for (std::int32_t i = 0; i < out.height; ++i)
        for (std::int32_t j = begin; j < end; ++j)
            put(out, *p.tables, static_cast<std::int64_t>(i) * out.width + j,
                b->values.data() + (3 * n * (j - begin)) + (3 * i));
}

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
// Steps grow with the footprint up to this, a quarter of its extent: where
// a pixel covers hundreds of source pixels the coarser steps cost little
// accuracy and save most of the time.
constexpr double largest_radial_step = 1.5;
// Footprints up to this many source pixels along and across the radius are
// covered by a grid of subsamples square with the output pixel; longer
// ones, by strips along the radius.
constexpr double largest_grid_footprint = 16.0;

double step_extent_for(double footprint)
{
    const double quarter = footprint / 4.0;
    if (!(quarter > radial_step_extent))
        return radial_step_extent;
    return quarter < largest_radial_step ? quarter : largest_radial_step;
}

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
    const double step_extent = step_extent_for(along);
    const double strip_extent = step_extent_for(across);
    const auto strips = static_cast<std::int32_t>(std::ceil((2.0 * reach * across) / strip_extent));
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
            double length = step_extent / scale;
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

// Straight at it the work of a pixel varies by thousands of times (the
// footprints near the map's limit are huge), so rows are shared out in
// pieces this long.
constexpr std::int32_t radial_chunk = 16;

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

// The apparent distance (source units) of the source corner seen farthest
// from the observer's point.
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

}  // namespace

void draw_smooth(const smooth_view& view, const smooth_source& source, const smooth_target& target,
                 const render_machine& machine, const smooth_reporter& report)
{
    pass_context p{view.view, view.direction, &source, &target, &srgb_light(), 0.0};
    // Units of work: rows, bands of columns, or pieces of rows; `per_line`
    // of them make an output line (a row, or a band's last column).
    std::int32_t lines = target.height;
    std::int32_t per_line = 1;
    if (view.direction == fly_by_direction::top_to_bottom)
        lines = (target.width + band_columns - 1) / band_columns;
    if (view.direction == fly_by_direction::straight_at_it) {
        p.rho_max = farthest_corner(*view.view, source);
        per_line = (target.width + radial_chunk - 1) / radial_chunk;
    }
    const std::int32_t units = lines * per_line;
    const bool present = source.present() && source.width > 0 && source.height > 0;
    column_progress progress(units, [&](std::int32_t unit) {
        if ((unit + 1) % per_line != 0)
            return;
        const std::int32_t done = (unit + 1) / per_line;
        const auto percent = static_cast<int>((static_cast<double>(done) / static_cast<double>(lines)) * 100.0);
        const std::int32_t line = view.direction == fly_by_direction::top_to_bottom
                                      ? std::min(done * band_columns, target.width) - 1
                                      : done - 1;
        report(percent, line);
    });
    const std::int64_t work = static_cast<std::int64_t>(target.width) * target.height
                              + static_cast<std::int64_t>(source.width) * source.height;
    std::vector<worker_buffers> buffers;
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, present ? work : 0),
        [&](int workers) {
            buffers.resize(static_cast<std::size_t>(workers));
            for (worker_buffers& b : buffers) {
                if (!present)
                    continue;
                if (view.direction == fly_by_direction::left_to_right) {
                    b.prefix.resize((static_cast<std::size_t>(source.width) + 1) * 3);
                    b.pieces.resize((static_cast<std::size_t>(target.width) + 7) * most_pieces);
                    b.points.resize((static_cast<std::size_t>(target.width) + 1) * 3);
                } else if (view.direction == fly_by_direction::top_to_bottom) {
                    b.prefix.resize((static_cast<std::size_t>(source.height) + 1) * band_columns * 3);
                    b.pieces.resize((static_cast<std::size_t>(target.height) + 7) * most_pieces);
                    b.points.resize((static_cast<std::size_t>(target.height) + 1) * 3);
                    b.values.resize(static_cast<std::size_t>(target.height) * 3 * band_columns);
                } else {
                    b.weights.resize(static_cast<std::size_t>(source.width) + static_cast<std::size_t>(source.height) + 6);
                }
            }
        },
        [&](int worker, int) {
            worker_buffers* b = &buffers[static_cast<std::size_t>(worker)];
            for (;;) {
                const std::int32_t unit = next.fetch_add(1);
                if (unit >= units)
                    break;
                if (present) {
                    if (view.direction == fly_by_direction::left_to_right)
                        draw_row_along_x(p, unit, b);
                    else if (view.direction == fly_by_direction::top_to_bottom)
                        draw_band_along_y(p, unit, b);
                    else
                        draw_chunk_radial(p, unit / per_line, unit % per_line, b);
                }
                progress.complete(unit, unit + 1);
                if (worker == 0)
                    progress.report_ready();
            }
            if (worker == 0)
                progress.report_rest();
        });
}

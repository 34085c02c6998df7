// The smooth renderer from left to right and from top to bottom: the map
// keeps one coordinate, so an output pixel's footprint lies in one source
// row (column), between the curves its two edges sweep across the output
// row; running sums of the source row average it in constant time.
#include <cmath>
#include <limits>

#include "render/fast/kernels.h"
#include "render/smooth/footprint_filter.h"
#include "render/smooth/inverse_map.h"
#include "render/smooth/smooth_work.h"

namespace smooth_work {

namespace {

// A line of the source (a row, or a column of a band) with its running
// sums: entry i of prefix, `stride` doubles after entry i - 1, holds the
// sums of pixels 0 to i - 1.
struct source_line {
    const double* prefix;
    std::int64_t stride;
    std::int64_t first;  // the source offset of pixel 0's first channel
    std::int64_t step;   // between pixels
    std::int32_t length;
    const float* copy;   // when given, the line's values, 3 a pixel, read in place of the source
};

// Sums pixel i of a line into `sum` with a weight.
void add_pixel(const source_line& line, const smooth_source& source, const srgb_light_tables& t, std::int32_t i,
               double weight, double sum[3])
{
    if (i < 0 || i >= line.length)
        return;
    if (line.copy) {
        const float* v = line.copy + (3 * static_cast<std::int64_t>(i));
        for (int c = 0; c < 3; ++c)
            sum[c] += weight * static_cast<double>(v[c]);
        return;
    }
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
    // Within one pixel the running sum is linear: its mean is its middle value.
    if (!(b > a) || (a > 0.0 && b < static_cast<double>(line.length) && std::floor(a) == std::floor(b))) {
        running_sum_at(line, source, t, (a + b) / 2.0, out);
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

struct line_pass {
    const source_line* line;
    const smooth_source* source;
    const srgb_light_tables* tables;
    const view_parameters* view;
    bool along_rows;
    double first;  // the apparent coordinate of edge 0 along the line
    double near;   // the line's near side across it
    int pieces;    // straight pieces each edge is cut into across the line
    const kernel_table* kernels;
    const line_map* map;     // the inverse map along the line, for the kernels
    const double* across;    // the squared distances from the observer of the pieces' ends across the line
};

// The p.pieces pieces of an edge, from its source coordinates at their
// ends.
void edge_pieces(const line_pass& p, const double* xs, sweep_piece* out)
{
    for (int t = 0; t < p.pieces; ++t) {
        const double a = xs[t] < xs[t + 1] ? xs[t] : xs[t + 1];
        const double b = xs[t] < xs[t + 1] ? xs[t + 1] : xs[t];
        sweep_piece& piece = out[t];
        piece.low = a;
        piece.high = b;
        piece.mean[0] = std::numeric_limits<double>::quiet_NaN();
    }
}

// The piece's mean, measured the first time it is asked for.
const double* piece_mean(const line_pass& p, sweep_piece* piece)
{
    if (std::isnan(piece->mean[0]))
        running_sum_mean(*p.line, *p.source, *p.tables, piece->low, piece->high, piece->mean);
    return piece->mean;
}

// The part of an output line between two edges: each piece across the line
// (a slice of the output pixel) averaged on its own, the map taken as
// straight between the edges, and the slices' mean. blur: the pixel's, what
// its footprint's extent lacks of a source pixel.
void slices_average(const line_pass& p, sweep_piece* e0, sweep_piece* e1, double blur, double out[3])
{
    out[0] = out[1] = out[2] = 0.0;
    const double length = static_cast<double>(p.line->length);
    const double share = 1.0 / static_cast<double>(p.pieces);
    for (int t = 0; t < p.pieces; ++t) {
        const double width = e1[t].centroid() - e0[t].centroid();
        const double shear = (e0[t].path() + e1[t].path()) / 2.0;
        // NaN, or wholly outside the source with room for the kernel: black.
        if (!(width > 0.0) || !(e1[t].centroid() + shear > -1.0) || !(e0[t].centroid() - shear < length + 1.0))
            continue;
        if (!(blur > 0.0)) {
            // The exact average over the slice's footprint.
            const double* m0 = piece_mean(p, e0 + t);
            const double* m1 = piece_mean(p, e1 + t);
            for (int c = 0; c < 3; ++c)
                out[c] += share * ((m1[c] - m0[c]) / width);
            continue;
        }
        // Under a pixel: the kernel spans at most one pixel's width, so two.
        const footprint_kernel kernel = make_kernel(width, shear, blur);
        const double centre = (e0[t].centroid() + e1[t].centroid()) / 2.0;
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
        sum += e1[t].centroid() - e0[t].centroid();
    return sum / static_cast<double>(p.pieces);
}

// What the pixel's footprint's extent (its width plus half the sum of its
// edges' paths) lacks of a source pixel.
double blur_of(double width, double path)
{
    const double extent = width + (path / 2.0);
    return extent >= 1.0 ? 0.0 : 1.0 - extent;
}

// Where each pixel's edges lie in a line's piece buffer, and how many
// pieces each is cut into: pixel j's are at edge_at[2 j] and [2 j + 1],
// count[j] pieces each.
struct pixel_edges {
    const std::int64_t* edge_at;
    const std::int64_t* count;
};

// The mean width and the blur of pixel j.
void width_and_blur(const sweep_piece* pieces, pixel_edges where, std::int32_t j, double* width, double* blur)
{
    const sweep_piece* e0 = pieces + where.edge_at[2 * j];
    const sweep_piece* e1 = pieces + where.edge_at[(2 * j) + 1];
    const std::int64_t m = where.count[j];
    double sum = 0.0, path = 0.0;
    for (std::int64_t t = 0; t < m; ++t) {
        sum += e1[t].centroid() - e0[t].centroid();
        path += e0[t].path() + e1[t].path();
    }
    *width = sum / static_cast<double>(m);
    *blur = blur_of(*width, path);
}

// width_and_blur of every pixel of a line. Four pixels cut alike at a
// time, each sum in its own order: their chains of additions overlap.
void widths_and_blurs(const sweep_piece* pieces, pixel_edges where, std::int32_t count, double* widths,
                      double* blurs)
{
    constexpr int group = 4;
    std::int32_t j = 0;
    while (j < count) {
        const std::int64_t m = where.count[j];
        if (j + group > count || where.count[j + 1] != m || where.count[j + 2] != m || where.count[j + 3] != m) {
            width_and_blur(pieces, where, j, widths + j, blurs + j);
            ++j;
            continue;
        }
        double width[group] = {0.0, 0.0, 0.0, 0.0};
        double path[group] = {0.0, 0.0, 0.0, 0.0};
        for (std::int64_t t = 0; t < m; ++t)
            for (int l = 0; l < group; ++l) {
                const sweep_piece& a = pieces[where.edge_at[2 * (j + l)] + t];
                const sweep_piece& b = pieces[where.edge_at[(2 * (j + l)) + 1] + t];
                width[l] += b.centroid() - a.centroid();
                path[l] += a.path() + b.path();
            }
        for (int l = 0; l < group; ++l) {
            widths[j + l] = width[l] / static_cast<double>(m);
            blurs[j + l] = blur_of(widths[j + l], path[l]);
        }
        j += group;
    }
}

// Edges are cut into more pieces across the line where they bend (sharply
// only near the observer): by the distance of an edge's middle from its
// chord, in source pixels.
constexpr double chord_tolerance = 1.0 / 256.0;

// The pieces of an edge that bends a little.
constexpr int bent_pieces = 8;

int pieces_for_bend(double bend)
{
    if (!(bend > chord_tolerance))
        return plain_pieces;
    return bend > 16.0 * chord_tolerance ? most_pieces : bent_pieces;
}

// Where the map bends along the line within an output pixel (near the
// observer its scale changes many times over across one pixel), the pixel
// is the mean of its halves, each split again while its halves' widths
// differ. scratch: room for pieces of 6 more edges.
void bent_average(const line_pass& p, double a0, sweep_piece* e0, double a1, sweep_piece* e1,
                  double blur, int depth, sweep_piece* scratch, double out[3])
{
    const double middle = (a0 + a1) / 2.0;
    sweep_piece* em = scratch;
    double ends[most_pieces + 1];
    p.kernels->edge_points(*p.map, middle, p.across, p.pieces + 1, ends);
    edge_pieces(p, ends, em);
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

// The squares of the distances across the line, from the observer, of the
// ends of `count` pieces, as edge_pieces places them.
void piece_ends_across(const line_pass& p, double observer_across, int count, double* out)
{
    for (int t = 0; t <= count; ++t) {
        const double across = (t == 0 ? p.near : p.near + (static_cast<double>(t) / static_cast<double>(count)))
                              - observer_across;
        out[t] = across * across;
    }
}

// Every output pixel of a line: count of them, through put(j, value).
// The buffers' points hold 3 (count + 1), places 3 count; pieces grow as
// the line's bends need.
template <class Put>
void line_pixels(line_pass p, worker_buffers* b, std::int32_t count, Put put_pixel)
{
    double* const points = b->points.data();
    std::int64_t* const places = b->places.data();
    // Every edge's source coordinates at the line's near side, middle and
    // far side, `edges` apart.
    const std::int64_t edges = static_cast<std::int64_t>(count) + 1;
    double observer_across = 0.0;
    const line_map map = map_along_line(*p.view, p.along_rows, &observer_across);
    const double sides[3] = {p.near, p.near + 0.5, p.near + 1.0};
    for (int i = 0; i < 3; ++i) {
        const double across = sides[i] - observer_across;
        p.kernels->line_points(map, p.first, static_cast<std::int32_t>(edges), across * across, points + (i * edges));
    }
    // Each pixel is cut into as many pieces as the more bent of its edges
    // needs; an edge between pixels cut differently is kept both ways.
    std::int64_t* const pixel_count = places + (2 * static_cast<std::int64_t>(count));
    int previous = 0;
    for (std::int64_t k = 0; k < edges; ++k) {
        const double bend = std::fabs(points[edges + k] - ((points[k] + points[(2 * edges) + k]) / 2.0));
        const int own = pieces_for_bend(bend);
        if (k > 0)
            pixel_count[k - 1] = own > previous ? own : previous;
        previous = own;
    }
    std::int64_t total = 0;
    for (std::int64_t k = 0; k < edges; ++k) {
        const std::int64_t left = k > 0 ? pixel_count[k - 1] : 0;
        const std::int64_t right = k < count ? pixel_count[k] : 0;
        total += left + (right != left ? right : 0);
    }
    // Room for the bent averages' 6 more edges after them.
    const auto needed = static_cast<std::size_t>(total + (6 * most_pieces));
    if (b->pieces.size() < needed)
        b->pieces.resize(needed);
    sweep_piece* pieces = b->pieces.data();
    // The pieces' ends across the line for each count an edge may have.
    double across_plain[plain_pieces + 1], across_bent[bent_pieces + 1], across_most[most_pieces + 1];
    piece_ends_across(p, observer_across, plain_pieces, across_plain);
    piece_ends_across(p, observer_across, bent_pieces, across_bent);
    piece_ends_across(p, observer_across, most_pieces, across_most);
    auto cut_into = [&](std::int64_t m) {
        p.pieces = static_cast<int>(m);
        p.across = m == plain_pieces ? across_plain : m == bent_pieces ? across_bent : across_most;
    };
    p.map = &map;
    std::int64_t at = 0;
    const pixel_edges where{places, pixel_count};
    // Edge k's pieces, m of them, placed next in the buffer; their place.
    auto place = [&](std::int64_t k, std::int64_t m) {
        cut_into(m);
        double ends[most_pieces + 1];
        if (m == plain_pieces)
            ends[0] = points[k], ends[1] = points[edges + k], ends[2] = points[(2 * edges) + k];
        else
            p.kernels->edge_points(map, p.first + static_cast<double>(k), p.across, p.pieces + 1, ends);
        edge_pieces(p, ends, pieces + at);
        at += m;
        return at - m;
    };
    for (std::int64_t k = 0; k < edges; ++k) {
        const std::int64_t left = k > 0 ? pixel_count[k - 1] : 0;
        const std::int64_t right = k < count ? pixel_count[k] : 0;
        if (left != 0)
            places[(2 * (k - 1)) + 1] = place(k, left);
        if (right != 0)
            places[2 * k] = right == left ? places[(2 * (k - 1)) + 1] : place(k, right);
    }
    // The points are spent: each pixel's mean width and blur, computed once.
    double* widths = points;
    double* blurs = points + count;
    widths_and_blurs(pieces, where, count, widths, blurs);
    sweep_piece* scratch = pieces + total;
    for (std::int32_t j = 0; j < count; ++j) {
        sweep_piece* e0 = pieces + places[2 * j];
        sweep_piece* e1 = pieces + places[(2 * j) + 1];
        cut_into(pixel_count[j]);
        const double width = widths[j];
        const double tolerance = (0.02 * width) + chord_tolerance;
        const bool bent = (j > 0 && std::fabs(width - widths[j - 1]) > tolerance)
                          || (j + 1 < count && std::fabs(widths[j + 1] - width) > tolerance);
        const double blur = blurs[j];
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

}  // namespace

void draw_row_along_x(const pass_context& p, std::int32_t row, worker_buffers* b)
{
    const smooth_source& s = *p.source;
    const smooth_target& out = *p.target;
    if (row >= s.height)
        return;
    const std::int64_t first = static_cast<std::int64_t>(row) * s.stride * 3;
    fill_running_sums(s, *p.tables, first, 3, s.width, b->prefix.data(), 3);
    const source_line line{b->prefix.data(), 3, first, 3, s.width, nullptr};
    const line_pass pass{&line, &s, p.tables, p.view, true, out.box.min_x, out.box.min_y + static_cast<double>(row),
                         2, p.kernels, nullptr, nullptr};
    const std::int64_t row_start = static_cast<std::int64_t>(row) * out.stride;
    line_pixels(pass, b, out.width,
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
    // Each column's values and running sums copied out together, so that
    // the pass along a column reads memory in order.
    const std::int64_t rows = s.height;
    for (std::int32_t j = begin; j < end; ++j) {
        double* prefix = b->prefix.data() + ((rows + 1) * 3 * (j - begin));
        prefix[0] = prefix[1] = prefix[2] = 0.0;
    }
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::int64_t row_at = (i * s.stride) * 3;
        for (std::int32_t j = begin; j < end; ++j) {
            double* prefix = b->prefix.data() + ((rows + 1) * 3 * (j - begin)) + (3 * i);
            float* copy = b->column.data() + (rows * 3 * (j - begin)) + (3 * i);
            for (int c = 0; c < 3; ++c) {
                copy[c] = s.at(*p.tables, row_at + (3 * static_cast<std::int64_t>(j)) + c);
                prefix[3 + c] = prefix[c] + static_cast<double>(copy[c]);
            }
        }
    }
    for (std::int32_t j = begin; j < end; ++j) {
        const source_line line{b->prefix.data() + ((rows + 1) * 3 * (j - begin)), 3, 0, 3, s.height,
                               b->column.data() + (rows * 3 * (j - begin))};
        const line_pass pass{&line, &s, p.tables, p.view, false, out.box.min_y, out.box.min_x + static_cast<double>(j),
                             2, p.kernels, nullptr, nullptr};
        double* values = b->values.data() + (3 * n * (j - begin));
        line_pixels(pass, b, out.height, [&](std::int32_t i, const double value[3]) {
            values[3 * i] = value[0], values[3 * i + 1] = value[1], values[3 * i + 2] = value[2];
        });
    }
    for (std::int32_t i = 0; i < out.height; ++i)
        for (std::int32_t j = begin; j < end; ++j)
            put(out, *p.tables, static_cast<std::int64_t>(i) * out.stride + j,
                b->values.data() + (3 * n * (j - begin)) + (3 * i));
}

}  // namespace smooth_work

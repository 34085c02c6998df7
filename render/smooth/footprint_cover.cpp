#include "render/smooth/footprint_cover.h"

#include <cmath>

namespace {

// Where a horizontal line dy below the centre enters and leaves the
// parallelogram, relative to cx. The sides u bound b (lines parallel to u)
// and the sides v bound a, each pair to x in [s dy - r, s dy + r]; a pair
// of horizontal sides bounds only y, and the other pair stands in for it.
// The edges are clipped to the parallelogram's x extent, so that where a
// nearly horizontal side makes s and r huge the rounding stays inside it.
struct cut_edges {
    double s1, r1, s2, r2;
    double half_x;

    double left(double dy) const
    {
        const double a = (s1 * dy) - r1;
        const double b = (s2 * dy) - r2;
        const double x = a > b ? a : b;
        return x < -half_x ? -half_x : (x > half_x ? half_x : x);
    }
    double right(double dy, double left_x) const
    {
        const double a = (s1 * dy) + r1;
        const double b = (s2 * dy) + r2;
        const double x = a < b ? a : b;
        return x < left_x ? left_x : (x > half_x ? half_x : x);
    }
};

cut_edges edges_of(const footprint_parallelogram& p, double half_area)
{
    cut_edges e{};
    e.s1 = p.vx / p.vy;
    e.r1 = half_area / std::fabs(p.vy);
    e.s2 = p.ux / p.uy;
    e.r2 = half_area / std::fabs(p.uy);
    if (p.vy == 0.0)
        e.s1 = e.s2, e.r1 = e.r2;
    if (p.uy == 0.0)
        e.s2 = e.s1, e.r2 = e.r1;
    e.half_x = (std::fabs(p.ux) + std::fabs(p.vx)) / 2.0;
    return e;
}

// The mean of max(s, 0) as s runs evenly from p to q.
double positive_mean(double p, double q)
{
    const double hi = p > q ? p : q;
    const double lo = p > q ? q : p;
    const double span = hi - lo > 0.0 ? hi - lo : 1.0;
    const double crossing = (hi * hi) / (2.0 * span);
    return hi > 0.0 ? (lo < 0.0 ? crossing : (hi + lo) / 2.0) : 0.0;
}

// The area of a piece of height h between a left edge (running from l0
// to l1) and a right one (r0 to r1) that lies left of the line x.
double area_left_of(double x, double h, double l0, double l1, double r0, double r1)
{
    return h * (positive_mean(x - l0, x - l1) - positive_mean(x - r0, x - r1));
}

// One edge of a piece of height h, running from e0 to e1: the area between
// it and a line x right of it, as the line moves.
struct edge_sweep {
    double low, high, middle, bend, h;

    edge_sweep(double h_, double e0, double e1)
        : low(e0 < e1 ? e0 : e1), high(e0 < e1 ? e1 : e0), middle((e0 + e1) / 2.0), bend(0.0), h(h_)
    {
        if (high > low)
            bend = h_ / (2.0 * (high - low));
    }

    double behind(double x) const
    {
        if (!(x > low))
            return 0.0;
        if (x >= high)
            return h * (x - middle);
        const double d = x - low;
        return (d * d) * bend;
    }
};

// Rows pieces whose fully covered middle is at least this long are summed
// through the source's row sums (when it has them): shorter ones gain
// little, and keep the exact weighing's bits.
constexpr std::int32_t summed_run = 32;

// Whether a footprint this wide and high is averaged over on the source
// turned on its side: it is taller than wide and its columns long enough
// for their sums to pay.
bool stands_upright(double wide, double high)
{
    return high > wide && high >= static_cast<double>(summed_run);
}

// Adds to piece the light of source row j's pixels [from, to), each
// weighed by its share of the area between the two edges.
void add_weighed(const smooth_source& s, const srgb_light_tables& t, std::int32_t j, std::int32_t from,
                 std::int32_t to, const edge_sweep& left, const edge_sweep& right, double piece[3])
{
    double x = static_cast<double>(from);
    double before = left.behind(x) - right.behind(x);
    const std::int64_t row = static_cast<std::int64_t>(j) * s.stride;
    for (std::int32_t i = from; i < to; ++i) {
        x += 1.0;
        const double after = left.behind(x) - right.behind(x);
        const double w = after - before;
        before = after;
        const std::int64_t at = (row + i) * 3;
        for (int c = 0; c < 3; ++c)
            piece[c] += w * static_cast<double>(s.at(t, at + c));
    }
}

// Adds scale times the light of a piece of source row j: height h, between
// the left and the right edge. A source pixel's share is the area between
// its two column lines.
void add_piece(const smooth_source& s, const srgb_light_tables& t, std::int32_t j, double h, double l0, double l1,
               double r0, double r1, double scale, double sum[3])
{
    const edge_sweep left(h, l0, l1);
    const edge_sweep right(h, r0, r1);
    const double first = std::floor(left.low);
    const double last = std::floor(right.high);
    if (!(first < static_cast<double>(s.width)) || !(last >= 0.0))
        return;
    const std::int32_t i0 = first < 0.0 ? 0 : static_cast<std::int32_t>(first);
    const std::int32_t i1 = last >= static_cast<double>(s.width) ? s.width - 1 : static_cast<std::int32_t>(last);
    if (i1 < i0)
        return;
    double piece[3] = {0.0, 0.0, 0.0};
    // The pixels wholly between the two edges, [full0, full1): each weighs
    // h, and the row's sums give them at once when they are many.
    std::int32_t full0 = i1 + 1;
    std::int32_t full1 = i1 + 1;
    if (s.sums && right.low - left.high >= static_cast<double>(summed_run)) {
        const double a = std::ceil(left.high);
        const double b = std::floor(right.low);
        full0 = a > static_cast<double>(i0) ? static_cast<std::int32_t>(a) : i0;
        full1 = b < static_cast<double>(i1 + 1) ? static_cast<std::int32_t>(b) : i1 + 1;
        if (full1 - full0 < summed_run)
            full0 = full1 = i1 + 1;
    }
    add_weighed(s, t, j, i0, full0, left, right, piece);
    if (full1 > full0) {
        double whole[3] = {0.0, 0.0, 0.0};
        add_row_span(s, t, j, full0, full1, whole);
        for (int c = 0; c < 3; ++c)
            piece[c] += h * whole[c];
        add_weighed(s, t, j, full1, i1 + 1, left, right, piece);
    }
    for (int c = 0; c < 3; ++c)
        sum[c] += scale * piece[c];
}

// Adds scale times the light of the part of the polygon between heights t0
// and t1 (absolute), where its left edge runs from left0 with left_slope
// (x per y) and its right edge likewise: row by row.
void add_band(const smooth_source& s, const srgb_light_tables& t, double t0, double t1, double left0,
              double left_slope, double right0, double right_slope, double scale, double sum[3])
{
    const double first_row = std::floor(t0);
    const double last_row = std::floor(t1);
    if (!(first_row < static_cast<double>(s.height)) || !(last_row >= 0.0))
        return;
    const std::int32_t j0 = first_row < 0.0 ? 0 : static_cast<std::int32_t>(first_row);
    const std::int32_t j1 = last_row >= static_cast<double>(s.height) ? s.height - 1
                                                                      : static_cast<std::int32_t>(last_row);
    for (std::int32_t j = j0; j <= j1; ++j) {
        const double row_top = static_cast<double>(j);
        const double a = t0 > row_top ? t0 : row_top;
        const double b = t1 < row_top + 1.0 ? t1 : row_top + 1.0;
        if (!(b > a))
            continue;
        add_piece(s, t, j, b - a, left0 + ((a - t0) * left_slope), left0 + ((b - t0) * left_slope),
                  right0 + ((a - t0) * right_slope), right0 + ((b - t0) * right_slope), scale, sum);
    }
}

// Over a source pixel wide or high: the three bands between the corners'
// heights.
void add_large(const smooth_source& s, const srgb_light_tables& t, const footprint_parallelogram& p,
               const cut_edges& e, double half_y, double kink, double scale, double sum[3])
{
    const double heights[4] = {-half_y, -kink, kink, half_y};
    double lefts[4], rights[4];
    for (int k = 0; k < 4; ++k) {
        lefts[k] = e.left(heights[k]);
        rights[k] = e.right(heights[k], lefts[k]);
    }
    for (int k = 0; k < 3; ++k) {
        const double span = heights[k + 1] - heights[k];
        if (!(span > 0.0))
            continue;
        add_band(s, t, p.cy + heights[k], p.cy + heights[k + 1], p.cx + lefts[k], (lefts[k + 1] - lefts[k]) / span,
                 p.cx + rights[k], (rights[k + 1] - rights[k]) / span, scale, sum);
    }
}

// Where the edge from corner a to corner b is at height y, inside it.
double edge_at(const footprint_polygon& p, int a, int b, double y)
{
    double r = (y - p.y[a]) / (p.y[b] - p.y[a]);
    r = r < 0.0 ? 0.0 : (r > 1.0 ? 1.0 : r);
    return p.x[a] + (r * (p.x[b] - p.x[a]));
}

// The share of a parallelogram's area below u along an axis on which its
// sides' shadows are a and b long, u measured from its near end: a
// trapezoid's.
double shadow_share(double a, double b, double u)
{
    const double wide = a > b ? a : b;
    const double narrow = a > b ? b : a;
    const double base = wide + narrow;
    if (!(u > 0.0))
        return 0.0;
    if (u >= base)
        return 1.0;
    if (u < narrow)
        return (u * u) / ((2.0 * wide) * narrow);
    if (u > wide) {
        const double v = base - u;
        return 1.0 - ((v * v) / ((2.0 * wide) * narrow));
    }
    return (u - (narrow / 2.0)) / wide;
}

// The parallelogram's area above the row line (relative to its centre)
// and left of the column line: the bands between the corners' heights cut
// at the row line, each piece's width left of the column line.
double corner_area(const cut_edges& e, double half_y, double kink, double row_line, double column_line)
{
    const double ends[4] = {-half_y, -kink < row_line ? -kink : row_line, kink < row_line ? kink : row_line,
                            row_line};
    double area = 0.0;
    double l0 = e.left(ends[0]);
    double r0 = e.right(ends[0], l0);
    for (int k = 0; k < 3; ++k) {
        const double l1 = e.left(ends[k + 1]);
        const double r1 = e.right(ends[k + 1], l1);
        const double height = ends[k + 1] - ends[k] > 0.0 ? ends[k + 1] - ends[k] : 0.0;
        area += area_left_of(column_line, height, l0, l1, r0, r1);
        l0 = l1;
        r0 = r1;
    }
    return area;
}

// Under a source pixel wide and high: at most 2 x 2 pixels, split by the
// column line x0 + 1 and the row line y0 + 1. The parts left of the column
// line and above the row line are the trapezoids of the sides' shadows;
// only a parallelogram across both lines needs the corner's own area.
void add_small(const smooth_source& s, const srgb_light_tables& t, const footprint_parallelogram& p,
               const cut_edges& e, double half_y, double kink, double area, double weight, double sum[3])
{
    const double x0 = std::floor(p.cx - e.half_x);
    const double y0 = std::floor(p.cy - half_y);
    if (!(x0 >= -1.0 && x0 < static_cast<double>(s.width)) || !(y0 >= -1.0 && y0 < static_cast<double>(s.height)))
        return;
    const double column_line = (x0 + 1.0) - p.cx;
    const double row_line = (y0 + 1.0) - p.cy;
    const double left = shadow_share(std::fabs(p.ux), std::fabs(p.vx), column_line + e.half_x);
    const double above = shadow_share(std::fabs(p.uy), std::fabs(p.vy), row_line + half_y);
    const auto ix = static_cast<std::int32_t>(x0);
    const auto iy = static_cast<std::int32_t>(y0);
    const bool columns[2] = {ix >= 0 && ix < s.width, ix + 1 >= 0 && ix + 1 < s.width};
    const bool rows[2] = {iy >= 0 && iy < s.height, iy + 1 >= 0 && iy + 1 < s.height};
    // Inside one source pixel: that pixel.
    if (left >= 1.0 && above >= 1.0) {
        if (columns[0] && rows[0]) {
            const std::int64_t at = ((static_cast<std::int64_t>(iy) * s.stride) + ix) * 3;
            for (int c = 0; c < 3; ++c)
                sum[c] += weight * static_cast<double>(s.at(t, at + c));
        }
        return;
    }
    const double corner = left >= 1.0 ? above
                          : above >= 1.0 ? left
                                         : corner_area(e, half_y, kink, row_line, column_line) / area;
    // Shares: [row][column].
    const double share[2][2] = {{corner, above - corner}, {left - corner, ((1.0 - above) - left) + corner}};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column) {
            if (!rows[row] || !columns[column])
                continue;
            const std::int64_t at = ((static_cast<std::int64_t>(iy + row) * s.stride) + (ix + column)) * 3;
            const double w = weight * share[row][column];
            for (int c = 0; c < 3; ++c)
                sum[c] += w * static_cast<double>(s.at(t, at + c));
        }
}

}  // namespace

void add_polygon_light(const smooth_source& source, const srgb_light_tables& tables, const footprint_polygon& p,
                       double weight, double sum[3])
{
    const int n = p.count;
    if (n < 3 || n > most_polygon_corners)
        return;
    double twice = 0.0;
    for (int k = 0; k < n; ++k) {
        const int next = k + 1 < n ? k + 1 : 0;
        twice += (p.x[k] * p.y[next]) - (p.x[next] * p.y[k]);
    }
    const double area = std::fabs(twice) / 2.0;
    if (!(area > 0.0) || !(area < 1e300))
        return;
    if (source.turned) {
        double x0 = p.x[0], x1 = p.x[0], y0 = p.y[0], y1 = p.y[0];
        for (int k = 1; k < n; ++k) {
            x0 = p.x[k] < x0 ? p.x[k] : x0;
            x1 = p.x[k] > x1 ? p.x[k] : x1;
            y0 = p.y[k] < y0 ? p.y[k] : y0;
            y1 = p.y[k] > y1 ? p.y[k] : y1;
        }
        if (stands_upright(x1 - x0, y1 - y0)) {
            footprint_polygon turned{n, {}, {}};
            for (int k = 0; k < n; ++k) {
                turned.x[k] = p.y[k];
                turned.y[k] = p.x[k];
            }
            add_polygon_light(*source.turned, tables, turned, weight, sum);
            return;
        }
    }
    const double scale = weight / area;
    // Bands between the corners' heights, in order.
    double heights[most_polygon_corners];
    for (int k = 0; k < n; ++k) {
        int at = k;
        for (; at > 0 && heights[at - 1] > p.y[k]; --at)
            heights[at] = heights[at - 1];
        heights[at] = p.y[k];
    }
    for (int band = 0; band + 1 < n; ++band) {
        const double t0 = heights[band];
        const double t1 = heights[band + 1];
        if (!(t1 > t0))
            continue;
        // The two edges across the band, left and right.
        const double middle = (t0 + t1) / 2.0;
        int edges[2][2];
        int found = 0;
        for (int k = 0; k < n && found < 2; ++k) {
            const int next = k + 1 < n ? k + 1 : 0;
            const double low = p.y[k] < p.y[next] ? p.y[k] : p.y[next];
            const double high = p.y[k] < p.y[next] ? p.y[next] : p.y[k];
            if (high > low && low <= middle && middle <= high) {
                edges[found][0] = k;
                edges[found][1] = next;
                ++found;
            }
        }
        if (found < 2)
            continue;
        const int l = edge_at(p, edges[0][0], edges[0][1], middle) <= edge_at(p, edges[1][0], edges[1][1], middle)
                          ? 0
                          : 1;
        const int r = 1 - l;
        // Both edges are straight across the band.
        const double left0 = edge_at(p, edges[l][0], edges[l][1], t0);
        const double right0 = edge_at(p, edges[r][0], edges[r][1], t0);
        add_band(source, tables, t0, t1, left0, (edge_at(p, edges[l][0], edges[l][1], t1) - left0) / (t1 - t0),
                 right0, (edge_at(p, edges[r][0], edges[r][1], t1) - right0) / (t1 - t0), scale, sum);
    }
}

void add_footprint_light(const smooth_source& source, const srgb_light_tables& tables,
                         const footprint_parallelogram& p, double weight, double sum[3])
{
    const double area = std::fabs((p.ux * p.vy) - (p.uy * p.vx));
    if (!(area > 0.0) || !(area < 1e300) || !std::isfinite(p.cx) || !std::isfinite(p.cy))
        return;
    if (source.turned && stands_upright(std::fabs(p.ux) + std::fabs(p.vx), std::fabs(p.uy) + std::fabs(p.vy))) {
        add_footprint_light(*source.turned, tables, footprint_parallelogram{p.cy, p.cx, p.uy, p.ux, p.vy, p.vx},
                            weight, sum);
        return;
    }
    const cut_edges e = edges_of(p, area / 2.0);
    const double ay = std::fabs(p.uy);
    const double by = std::fabs(p.vy);
    const double half_y = (ay + by) / 2.0;
    const double kink = (ay > by ? ay - by : by - ay) / 2.0;
    if (2.0 * e.half_x < 1.0 && 2.0 * half_y < 1.0) {
        add_small(source, tables, p, e, half_y, kink, area, weight, sum);
        return;
    }
    add_large(source, tables, p, e, half_y, kink, weight / area, sum);
}

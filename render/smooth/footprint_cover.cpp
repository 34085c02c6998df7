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

// The source pixel's light in channel c, black outside the picture.
float light_at(const smooth_source& s, const srgb_light_tables& t, std::int32_t x, std::int32_t y, int c)
{
    if (x < 0 || y < 0 || x >= s.width || y >= s.height)
        return 0.0f;
    return s.at(t, ((static_cast<std::int64_t>(y) * s.stride + x) * 3) + c);
}

// The mean of clamp(s, 0, 1) as s runs evenly from a to b.
double clamped_mean(double a, double b)
{
    if (a > b) {
        const double t = a;
        a = b, b = t;
    }
    if (!(b > 0.0))
        return 0.0;
    if (!(a < 1.0))
        return 1.0;
    if (!(b > a))
        return a;
    const double lo = a > 0.0 ? a : 0.0;
    const double hi = b < 1.0 ? b : 1.0;
    const double above = b > 1.0 ? b - 1.0 : 0.0;
    return ((((hi - lo) * (lo + hi)) / 2.0) + above) / (b - a);
}

// Any size: row by row, each row in the bands between the vertices'
// heights, each band pixel by pixel.
void add_any(const smooth_source& s, const srgb_light_tables& t, const footprint_parallelogram& p,
             const cut_edges& e, double half_y, double kink, double scale, double sum[3])
{
    const double top = p.cy - half_y;
    const double bottom = p.cy + half_y;
    const double first_row = std::floor(top);
    const std::int32_t j0 = first_row < 0.0 ? 0 : static_cast<std::int32_t>(first_row);
    const double last_row = std::floor(bottom);
    const std::int32_t j1 = last_row >= static_cast<double>(s.height) ? s.height - 1
                                                                      : static_cast<std::int32_t>(last_row);
    for (std::int32_t j = j0; j <= j1; ++j) {
        const double row_top = static_cast<double>(j) - p.cy;
        const double from = row_top > -half_y ? row_top : -half_y;
        const double to = row_top + 1.0 < half_y ? row_top + 1.0 : half_y;
        if (!(to > from))
            continue;
        const double low_kink = -kink < from ? from : (-kink > to ? to : -kink);
        const double high_kink = kink < from ? from : (kink > to ? to : kink);
        const double bounds[4] = {from, low_kink, high_kink, to};
        for (int k = 0; k < 3; ++k) {
            const double t0 = bounds[k];
            const double t1 = bounds[k + 1];
            if (!(t1 > t0))
                continue;
            const double l0 = e.left(t0);
            const double l1 = e.left(t1);
            const double r0 = p.cx + e.right(t0, l0);
            const double r1 = p.cx + e.right(t1, l1);
            const double left0 = p.cx + l0;
            const double left1 = p.cx + l1;
            const double first = std::floor(left0 < left1 ? left0 : left1);
            const double last = std::floor(r0 > r1 ? r0 : r1);
            const std::int32_t i0 = first < 0.0 ? 0 : static_cast<std::int32_t>(first);
            const std::int32_t i1 = last >= static_cast<double>(s.width) ? s.width - 1
                                                                         : static_cast<std::int32_t>(last);
            const double height = (t1 - t0) * scale;
            for (std::int32_t i = i0; i <= i1; ++i) {
                const double x = static_cast<double>(i);
                const double w = height * (clamped_mean(r0 - x, r1 - x) - clamped_mean(left0 - x, left1 - x));
                const std::int64_t at = (static_cast<std::int64_t>(j) * s.stride + i) * 3;
                for (int c = 0; c < 3; ++c)
                    sum[c] += w * static_cast<double>(s.at(t, at + c));
            }
        }
    }
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

// Under a source pixel wide and high: at most 2 x 2 pixels, split by the
// column line x0 + 1 and the row line y0 + 1. The three bands between the
// vertices' heights, each cut at the row line, give six pieces (some
// empty); each piece's width left of the column line and right of it.
void add_small(const smooth_source& s, const srgb_light_tables& t, const footprint_parallelogram& p,
               const cut_edges& e, double half_y, double kink, double scale, double sum[3])
{
    const double x0 = std::floor(p.cx - e.half_x);
    const double y0 = std::floor(p.cy - half_y);
    const double column_line = (x0 + 1.0) - p.cx;
    const double row_line = (y0 + 1.0) - p.cy;
    const double bands[4] = {-half_y, -kink, kink, half_y};
    // Widths: [row][column].
    double width[2][2] = {{0.0, 0.0}, {0.0, 0.0}};
    for (int k = 0; k < 3; ++k)
        for (int row = 0; row < 2; ++row) {
            const double a = row == 0 ? bands[k] : (bands[k] > row_line ? bands[k] : row_line);
            const double b = row == 0 ? (bands[k + 1] < row_line ? bands[k + 1] : row_line) : bands[k + 1];
            const double height = b - a > 0.0 ? b - a : 0.0;
            const double l0 = e.left(a);
            const double l1 = e.left(b);
            const double r0 = e.right(a, l0);
            const double r1 = e.right(b, l1);
            const double left = height
                                * (positive_mean(column_line - l0, column_line - l1)
                                   - positive_mean(column_line - r0, column_line - r1));
            const double all = height * (((r0 + r1) - (l0 + l1)) / 2.0);
            width[row][0] += left;
            width[row][1] += all - left;
        }
    const auto ix = static_cast<std::int32_t>(x0);
    const auto iy = static_cast<std::int32_t>(y0);
    for (int c = 0; c < 3; ++c) {
        const double top = (width[0][0] * static_cast<double>(light_at(s, t, ix, iy, c)))
                           + (width[0][1] * static_cast<double>(light_at(s, t, ix + 1, iy, c)));
        const double under = (width[1][0] * static_cast<double>(light_at(s, t, ix, iy + 1, c)))
                             + (width[1][1] * static_cast<double>(light_at(s, t, ix + 1, iy + 1, c)));
        sum[c] += scale * (top + under);
    }
}

}  // namespace

void add_footprint_light(const smooth_source& source, const srgb_light_tables& tables,
                         const footprint_parallelogram& p, double weight, double sum[3])
{
    const double area = std::fabs((p.ux * p.vy) - (p.uy * p.vx));
    if (!(area > 0.0) || !(area < 1e300) || !std::isfinite(p.cx) || !std::isfinite(p.cy))
        return;
    const cut_edges e = edges_of(p, area / 2.0);
    const double ay = std::fabs(p.uy);
    const double by = std::fabs(p.vy);
    const double half_y = (ay + by) / 2.0;
    const double kink = (ay > by ? ay - by : by - ay) / 2.0;
    const double scale = weight / area;
    if (2.0 * e.half_x < 1.0 && 2.0 * half_y < 1.0)
        add_small(source, tables, p, e, half_y, kink, scale, sum);
    else
        add_any(source, tables, p, e, half_y, kink, scale, sum);
}

#include "web/web_readout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/doppler.h"
#include "render/smooth/inverse_map.h"

namespace {

// The factor of the light of source point (x, y), where it is seen.
double factor_of(const view_parameters& view, fly_by_direction direction, double x, double y)
{
    const apparent_point p = apparent_position(view, direction, x, y);
    return doppler_factor(view.motion, doppler_cosine(view, direction, p.x, p.y));
}

}  // namespace

view_readout readout_for_view(const view_parameters& view, fly_by_direction direction, std::int32_t width,
                              std::int32_t height)
{
    view_readout out;
    out.beta = view.motion.beta;
    out.gamma = view.motion.gamma;
    double least = std::numeric_limits<double>::infinity();
    double most = -least;
    const double w = width;
    const double h = height;
    const double ox = std::min(std::max(view.observer.observer_x, 0.0), w);
    const double oy = std::min(std::max(view.observer.observer_y, 0.0), h);
    // Four edges, then the row and the column through the observer's point.
    const double lines[6][4] = {{0, 0, w, 0}, {0, h, w, h}, {0, 0, 0, h}, {w, 0, w, h}, {0, oy, w, oy}, {ox, 0, ox, h}};
    constexpr int steps = 512;
    for (const auto& line : lines)
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps;
            const double d = factor_of(view, direction, line[0] + (line[2] - line[0]) * t,
                                       line[1] + (line[3] - line[1]) * t);
            if (std::isfinite(d) && d > 0.0) {
                least = std::min(least, d);
                most = std::max(most, d);
            }
        }
    if (least > most)
        least = most = std::numeric_limits<double>::quiet_NaN();
    out.d_min = least;
    out.d_max = most;
    return out;
}

pixel_readout readout_at(const view_parameters& view, fly_by_direction direction, const position_box& box,
                         std::int32_t width, std::int32_t height, double x, double y)
{
    pixel_readout out;
    const double big_x = x + box.min_x;
    const double big_y = y + box.min_y;
    const observer_position& o = view.observer;
    double sx = big_x;
    double sy = big_y;
    switch (direction) {
    case fly_by_direction::left_to_right: sx = source_x(view, big_x, big_y); break;
    case fly_by_direction::top_to_bottom: sy = source_y(view, big_y, big_x); break;
    case fly_by_direction::straight_at_it:
        if (!source_point_radial(view, big_x, big_y, &sx, &sy))
            return out;
        break;
    default: return out;
    }
    if (!(sx >= 0.0 && sx <= width && sy >= 0.0 && sy <= height))
        return out;
    out.seen = true;
    out.x = sx;
    out.y = sy;
    out.d = doppler_factor(view.motion, doppler_cosine(view, direction, big_x, big_y));
    // Where the point was when its light left: its apparent position, in
    // the plane beside the observer (0 and 1) or at its depth then (2).
    if (direction == fly_by_direction::straight_at_it) {
        const double depth = apparent_depth(view, sx, sy, 0.0);
        out.light_distance = std::sqrt(((sx - o.observer_x) * (sx - o.observer_x) + (sy - o.observer_y) * (sy - o.observer_y))
                                       + (depth - o.observer_z) * (depth - o.observer_z));
    } else {
        const double along = (direction == fly_by_direction::left_to_right ? big_x + o.observer_x : big_y + o.observer_y);
        const double across = direction == fly_by_direction::left_to_right ? big_y - o.observer_y : big_x - o.observer_x;
        out.light_distance = std::sqrt((along * along + across * across) + o.observer_z * o.observer_z);
    }
    return out;
}

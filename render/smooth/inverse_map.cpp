#include "render/smooth/inverse_map.h"

#include <cmath>

namespace {

// g and b of x = g (X + b R): gamma and beta for all, 1 and 0 for none.
double contraction_factor(const view_parameters& view)
{
    return shows_contraction(view.effects) ? view.motion.gamma : 1.0;
}

double delay_factor(const view_parameters& view)
{
    return shows_light_time(view.effects) ? view.motion.beta : 0.0;
}

// Straight at it: the motion the map takes, at rest without the light's
// delay.
constexpr motion_parameters at_rest{0.0, 1.0, 0.0, 1.0, 0.0};

const motion_parameters& radial_motion(const view_parameters& view)
{
    return shows_light_time(view.effects) ? view.motion : at_rest;
}

}  // namespace

double source_x(const view_parameters& view, double apparent, double y)
{
    const observer_position& o = view.observer;
    const double along = apparent + o.observer_x;
    const double across = y - o.observer_y;
    const double r = std::sqrt(((along * along) + (across * across)) + (o.observer_z * o.observer_z));
    return contraction_factor(view) * (apparent + (delay_factor(view) * r));
}

double source_y(const view_parameters& view, double apparent, double x)
{
    const observer_position& o = view.observer;
    const double along = apparent + o.observer_y;
    const double across = x - o.observer_x;
    const double r = std::sqrt(((along * along) + (across * across)) + (o.observer_z * o.observer_z));
    return contraction_factor(view) * (apparent + (delay_factor(view) * r));
}

line_map map_along_line(const view_parameters& view, bool along_rows, double* observer_across)
{
    const observer_position& o = view.observer;
    *observer_across = along_rows ? o.observer_y : o.observer_x;
    return line_map{contraction_factor(view), delay_factor(view), along_rows ? o.observer_x : o.observer_y,
                    o.observer_z * o.observer_z};
}

namespace {

// q = rho^2 / oz^2 for the apparent offset (dx, dy) in source units.
double radial_q(const view_parameters& view, double rho_squared)
{
    const double depth = view.observer.observer_z;
    return rho_squared / (depth * depth);
}

}  // namespace

bool source_point_radial(const view_parameters& view, double apparent_x, double apparent_y, double* x, double* y)
{
    const observer_position& o = view.observer;
    const motion_parameters& m = radial_motion(view);
    const double dx = (apparent_x / 20.0) - o.observer_x;
    const double dy = (apparent_y / 20.0) - o.observer_y;
    const double q = radial_q(view, (dx * dx) + (dy * dy));
    const double denominator = 1.0 - (q * m.beta_gamma_squared);
    if (!(denominator > 0.0))
        return false;
    const double k = (m.gamma_squared * (1.0 + (m.beta * std::sqrt(1.0 + q)))) / denominator;
    *x = o.observer_x + (dx * k);
    *y = o.observer_y + (dy * k);
    return true;
}

namespace {

// The scales at q = rho^2 / oz^2 (rho: the apparent distance), from the
// parts of k = N / D the source point takes too: root = sqrt(1 + q), N
// (numerator) and D (denominator > 0). With B = beta^2 gamma^2, N' = gamma^2
// beta / (2 root) and D' = -B:
//     k'  = (N' D + N B) / D^2,      along = k + 2 q k',
//     k'' = N'' / D + 2 N' B / D^2 + 2 N B^2 / D^3,  N'' = -N' / (2 (1 + q)),
//     d(along)/d(rho) = (2 rho / oz^2) (3 k' + 2 q k'').
radial_scales scales_of(const view_parameters& view, const motion_parameters& m, double rho, double q, double root,
                        double numerator, double denominator)
{
    const double b = m.beta_gamma_squared;
    const double k = numerator / denominator;
    const double numerator_slope = (m.gamma_squared * m.beta) / (2.0 * root);
    const double slope = ((numerator_slope * denominator) + (numerator * b)) / (denominator * denominator);
    const double numerator_bend = -numerator_slope / (2.0 * (1.0 + q));
    const double bend = ((numerator_bend / denominator) + (((2.0 * numerator_slope) * b) / (denominator * denominator)))
                        + ((((2.0 * numerator) * b) * b) / ((denominator * denominator) * denominator));
    radial_scales scales;
    scales.across = k;
    scales.along = k + ((2.0 * q) * slope);
    const double depth = view.observer.observer_z;
    const double along_slope = ((2.0 * rho) / (depth * depth)) * ((3.0 * slope) + ((2.0 * q) * bend));
    scales.growth = along_slope / scales.along;
    return scales;
}

}  // namespace

bool radial_scales_at(const view_parameters& view, double rho, radial_scales* scales)
{
    const motion_parameters& m = radial_motion(view);
    const double q = radial_q(view, rho * rho);
    const double denominator = 1.0 - (q * m.beta_gamma_squared);
    if (!(denominator > 0.0))
        return false;
    const double root = std::sqrt(1.0 + q);
    const double numerator = m.gamma_squared * (1.0 + (m.beta * root));
    *scales = scales_of(view, m, rho, q, root, numerator, denominator);
    return true;
}

bool radial_sample_at(const view_parameters& view, double apparent_x, double apparent_y, radial_sample* sample)
{
    const observer_position& o = view.observer;
    const motion_parameters& m = radial_motion(view);
    const double dx = (apparent_x / 20.0) - o.observer_x;
    const double dy = (apparent_y / 20.0) - o.observer_y;
    const double rho_squared = (dx * dx) + (dy * dy);
    const double q = radial_q(view, rho_squared);
    const double denominator = 1.0 - (q * m.beta_gamma_squared);
    if (!(denominator > 0.0))
        return false;
    const double root = std::sqrt(1.0 + q);
    const double numerator = m.gamma_squared * (1.0 + (m.beta * root));
    const double k = numerator / denominator;
    sample->x = o.observer_x + (dx * k);
    sample->y = o.observer_y + (dy * k);
    const double rho = std::sqrt(rho_squared);
    sample->scales = scales_of(view, m, rho, q, root, numerator, denominator);
    sample->cos = rho > 0.0 ? dx / rho : 1.0;
    sample->sin = rho > 0.0 ? dy / rho : 0.0;
    return true;
}

bool smooth_canvas(const view_parameters& view, fly_by_direction direction, std::int32_t width,
                   std::int32_t height, position_box* box)
{
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double cx = ox < 0.0 ? 0.0 : (ox > w ? w : ox);
    const double cy = oy < 0.0 ? 0.0 : (oy > h ? h : oy);
    const double candidates[8][2] = {{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h},
                                     {0.0, cy},  {w, cy},  {cx, 0.0}, {cx, h}};
    position_box found = empty_box();
    for (const auto& c : candidates) {
        const apparent_point p = apparent_position(view, direction, c[0], c[1]);
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        include_position(&found, p.x, p.y);
    }
    *box = found;
    return true;
}

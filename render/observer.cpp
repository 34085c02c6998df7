#include "render/observer.h"

#include <cmath>
#include <limits>

bool is_fly_by_direction(fly_by_direction direction)
{
    return direction == fly_by_direction::left_to_right || direction == fly_by_direction::top_to_bottom
           || direction == fly_by_direction::straight_at_it;
}

bool is_relativity_effects(relativity_effects effects)
{
    return effects == relativity_effects::all || effects == relativity_effects::contraction
           || effects == relativity_effects::light_time || effects == relativity_effects::none;
}

bool observer_depth(fly_by_direction direction, double* depth)
{
    switch (direction) {
    case fly_by_direction::left_to_right:
    case fly_by_direction::top_to_bottom: *depth = -0.01; return true;
    case fly_by_direction::straight_at_it: *depth = -5.0; return true;
    }
    return false;
}

motion_parameters motion_for_speed(double speed)
{
    motion_parameters m;
    m.beta = speed / speed_of_light;
    m.gamma = 1.0 / std::sqrt(1.0 - (m.beta * m.beta));
    m.beta_squared = m.beta * m.beta;
    m.gamma_squared = m.gamma * m.gamma;
    m.beta_gamma_squared = m.beta_squared * m.gamma_squared;
    return m;
}

// In exact arithmetic d is never negative; rounding can make it a tiny
// negative number where it should be 0, and sqrt would then give NaN.
static double root_of_discriminant(double d)
{
    return std::sqrt(d < 0.0 ? 0.0 : d);
}

double apparent_x(const view_parameters& view, double x, double y, double z)
{
    const motion_parameters& m = view.motion;
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double oz = view.observer.observer_z;
    const double b = (-2.0 * m.gamma) * (((m.beta_squared * m.gamma) * ox) + x);
    const double s = ((ox * ox) + ((y - oy) * (y - oy))) + ((z - oz) * (z - oz));
    const double c = (x * x) - (m.beta_gamma_squared * s);
    const double d = (b * b) - (4.0 * c);
    return ((-b) - root_of_discriminant(d)) / 2.0;
}

double apparent_y(const view_parameters& view, double x, double y, double z)
{
    const motion_parameters& m = view.motion;
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double oz = view.observer.observer_z;
    const double b = (-2.0 * m.gamma) * (((m.beta_squared * m.gamma) * oy) + y);
    const double s = ((oy * oy) + ((x - ox) * (x - ox))) + ((z - oz) * (z - oz));
    const double c = (y * y) - (m.beta_gamma_squared * s);
    const double d = (b * b) - (4.0 * c);
    return ((-b) - root_of_discriminant(d)) / 2.0;
}

double apparent_depth(const view_parameters& view, double x, double y, double z)
{
    const motion_parameters& m = view.motion;
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double oz = view.observer.observer_z;
    const double b = (-2.0 * m.gamma) * (z - ((m.beta_squared * m.gamma) * oz));
    const double s = ((oz * oz) + ((y - oy) * (y - oy))) + ((x - ox) * (x - ox));
    const double c = -((z * z) + (m.beta_gamma_squared * s));
    const double d = (b * b) - (4.0 * c);
    return (root_of_discriminant(d) + (-b)) / 2.0;
}

view_parameters solved_view(const view_parameters& view)
{
    const motion_parameters at_rest{0.0, 1.0, 0.0, 1.0, 0.0};
    return view_parameters{view.observer, shows_light_time(view.effects) ? view.motion : at_rest,
                           relativity_effects::all};
}

double solved_along(const view_parameters& view, double a)
{
    switch (view.effects) {
    case relativity_effects::contraction: return a / view.motion.gamma;
    case relativity_effects::light_time: return view.motion.gamma * a;
    default: return a;
    }
}

apparent_point apparent_position(const view_parameters& view, fly_by_direction direction, double x, double y)
{
    if (view.effects != relativity_effects::all) {
        const view_parameters solved = solved_view(view);
        if (direction == fly_by_direction::left_to_right)
            return apparent_position(solved, direction, solved_along(view, x), y);
        if (direction == fly_by_direction::top_to_bottom)
            return apparent_position(solved, direction, x, solved_along(view, y));
        return apparent_position(solved, direction, x, y);
    }
    switch (direction) {
    case fly_by_direction::left_to_right:
        return {apparent_x(view, x, y, 0.0), y};
    case fly_by_direction::top_to_bottom:
        return {x, apparent_y(view, x, y, 0.0)};
    case fly_by_direction::straight_at_it: {
        const double ox = view.observer.observer_x;
        const double oy = view.observer.observer_y;
        const double oz = view.observer.observer_z;
        const double depth = apparent_depth(view, x, y, 0.0);
        const double big_x = 20.0 * ((((ox - x) * oz) / (depth - oz)) + ox);
        const double big_y = 20.0 * ((((oy - y) * oz) / (depth - oz)) + oy);
        return {big_x, big_y};
    }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan};
}

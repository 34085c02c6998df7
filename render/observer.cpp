#include "render/observer.h"

#include <cmath>
#include <limits>

observer_position observer;
motion_parameters motion;

void reset_observer()
{
    observer.observer_x = 0.0;
    observer.observer_y = 100.0;
}

void set_observer(std::int32_t x, std::int32_t y)
{
    observer.observer_x = static_cast<double>(x);
    observer.observer_y = static_cast<double>(y);
}

void set_motion(double speed)
{
    motion.beta = speed / speed_of_light;
    motion.gamma = 1.0 / std::sqrt(1.0 - (motion.beta * motion.beta));
    motion.beta_squared = motion.beta * motion.beta;
    motion.gamma_squared = motion.gamma * motion.gamma;
    motion.beta_gamma_squared = motion.beta_squared * motion.gamma_squared;
}

// In exact arithmetic d is never negative; rounding can make it a tiny
// negative number where it should be 0, and sqrt would then give NaN.
static double root_of_discriminant(double d)
{
    return std::sqrt(d < 0.0 ? 0.0 : d);
}

double apparent_x(double x, double y, double z)
{
    const double ox = observer.observer_x;
    const double oy = observer.observer_y;
    const double oz = observer.observer_z;
    const double b = (-2.0 * motion.gamma) * (((motion.beta_squared * motion.gamma) * ox) + x);
    const double s = ((ox * ox) + ((y - oy) * (y - oy))) + ((z - oz) * (z - oz));
    const double c = (x * x) - (motion.beta_gamma_squared * s);
    const double d = (b * b) - (4.0 * c);
    return ((-b) - root_of_discriminant(d)) / 2.0;
}

double apparent_y(double x, double y, double z)
{
    const double ox = observer.observer_x;
    const double oy = observer.observer_y;
    const double oz = observer.observer_z;
    const double b = (-2.0 * motion.gamma) * (((motion.beta_squared * motion.gamma) * oy) + y);
    const double s = ((oy * oy) + ((x - ox) * (x - ox))) + ((z - oz) * (z - oz));
    const double c = (y * y) - (motion.beta_gamma_squared * s);
    const double d = (b * b) - (4.0 * c);
    return ((-b) - root_of_discriminant(d)) / 2.0;
}

double apparent_depth(double x, double y, double z)
{
    const double ox = observer.observer_x;
    const double oy = observer.observer_y;
    const double oz = observer.observer_z;
    const double b = (-2.0 * motion.gamma) * (z - ((motion.beta_squared * motion.gamma) * oz));
    const double s = ((oz * oz) + ((y - oy) * (y - oy))) + ((x - ox) * (x - ox));
    const double c = -((z * z) + (motion.beta_gamma_squared * s));
    const double d = (b * b) - (4.0 * c);
    return (root_of_discriminant(d) + (-b)) / 2.0;
}

apparent_point apparent_position(std::int32_t direction, double x, double y)
{
    switch (direction) {
    case 0:
        return {apparent_x(x, y, 0.0), y};
    case 1:
        return {x, apparent_y(x, y, 0.0)};
    case 2: {
        const double ox = observer.observer_x;
        const double oy = observer.observer_y;
        const double oz = observer.observer_z;
        const double depth = apparent_depth(x, y, 0.0);
        const double big_x = 20.0 * ((((ox - x) * oz) / (depth - oz)) + ox);
        const double big_y = 20.0 * ((((oy - y) * oz) / (depth - oz)) + oy);
        return {big_x, big_y};
    }
    default: {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    }
}

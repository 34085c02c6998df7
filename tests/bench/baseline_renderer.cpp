#include "tests/bench/baseline_renderer.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

struct constants {
    double ox, oy, oz, gamma, beta_squared, beta_gamma_squared;
};

double root(double d)
{
    return std::sqrt(d < 0.0 ? 0.0 : d);
}

// observer.cpp's solvers for z = 0.0, in their order of operations.
template <int Direction>
inline apparent_point position(const constants& k, double x, double y)
{
    const double z_distance = (0.0 - k.oz) * (0.0 - k.oz);
    if constexpr (Direction == 0) {
        const double b = (-2.0 * k.gamma) * (((k.beta_squared * k.gamma) * k.ox) + x);
        const double s = ((k.ox * k.ox) + ((y - k.oy) * (y - k.oy))) + z_distance;
        const double c = (x * x) - (k.beta_gamma_squared * s);
        return {((-b) - root((b * b) - (4.0 * c))) / 2.0, y};
    } else if constexpr (Direction == 1) {
        const double b = (-2.0 * k.gamma) * (((k.beta_squared * k.gamma) * k.oy) + y);
        const double s = ((k.oy * k.oy) + ((x - k.ox) * (x - k.ox))) + z_distance;
        const double c = (y * y) - (k.beta_gamma_squared * s);
        return {x, ((-b) - root((b * b) - (4.0 * c))) / 2.0};
    } else {
        const double b = (-2.0 * k.gamma) * (0.0 - ((k.beta_squared * k.gamma) * k.oz));
        const double s = ((k.oz * k.oz) + ((y - k.oy) * (y - k.oy))) + ((x - k.ox) * (x - k.ox));
        const double c = -((0.0 * 0.0) + (k.beta_gamma_squared * s));
        const double depth = (root((b * b) - (4.0 * c)) + (-b)) / 2.0;
        return {20.0 * ((((k.ox - x) * k.oz) / (depth - k.oz)) + k.ox),
                20.0 * ((((k.oy - y) * k.oz) / (depth - k.oz)) + k.oy)};
    }
}

bool finite(apparent_point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

template <int Direction>
raster render_in(const raster& source, const constants& k, const std::vector<double>& xs,
                 const std::vector<double>& ys)
{
    position_box box = empty_box();
    const apparent_point first = position<Direction>(k, 0.0, 0.0);
    include_position(&box, first.x, first.y);
    for (const double x : xs) {
        for (const double y : ys) {
            const apparent_point p = position<Direction>(k, x, y);
            if (finite(p)) {
                if (p.x < box.min_x) box.min_x = p.x;
                if (p.x > box.max_x) box.max_x = p.x;
                if (p.y < box.min_y) box.min_y = p.y;
                if (p.y > box.max_y) box.max_y = p.y;
            }
        }
    }
    if (!(box.min_x <= box.max_x))
        box = position_box{0.0, 0.0, 0.0, 0.0};
    std::int32_t width = 0;
    const double extent_x = box.max_x - box.min_x;
    const double extent_y = box.max_y - box.min_y;
    if (!(extent_x < 2147483644.0) || !(extent_y < 2147483647.0)
        || !round_width_to_4(static_cast<std::int32_t>(extent_x) + 1, &width))
        return raster{};
    raster out = allocate_raster(width, static_cast<std::int32_t>(extent_y) + 1);
    if (!out.pixels || !source.pixels)
        return out;

    const std::size_t source_row = static_cast<std::size_t>(source.width) * 3;
    const std::size_t out_row = static_cast<std::size_t>(width) * 3;
    for (const double x : xs) {
        const unsigned char* column = source.pixels.get() + static_cast<std::size_t>(static_cast<std::int32_t>(x)) * 3;
        for (const double y : ys) {
            const apparent_point p = position<Direction>(k, x, y);
            if (!finite(p))
                continue;
            const unsigned char* from = column + source_row * static_cast<std::size_t>(static_cast<std::int32_t>(y));
            unsigned char* to = out.pixels.get()
                                + out_row * static_cast<std::size_t>(static_cast<std::int32_t>(p.y - box.min_y))
                                + static_cast<std::size_t>(static_cast<std::int32_t>(p.x - box.min_x)) * 3;
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    return out;
}

}  // namespace

raster baseline_render(const raster& source, const render_settings& settings)
{
    sample_steps steps = settings.steps_otherwise;
    steps_for_quality(settings.quality, &steps);
    const motion_parameters m = motion_for_speed(settings.speed);
    const observer_position& o = settings.observer;
    const constants k{o.observer_x, o.observer_y, o.observer_z, m.gamma, m.beta_squared, m.beta_gamma_squared};
    const std::vector<double> xs = sample_coordinates(source.width, steps.x);
    const std::vector<double> ys = sample_coordinates(source.height, steps.y);
    switch (settings.direction) {
    case fly_by_direction::left_to_right: return render_in<0>(source, k, xs, ys);
    case fly_by_direction::top_to_bottom: return render_in<1>(source, k, xs, ys);
    case fly_by_direction::straight_at_it: return render_in<2>(source, k, xs, ys);
    }
    return raster{};
}

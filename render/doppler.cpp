#include "render/doppler.h"

#include <cmath>
#include <limits>

// Where the solvers put E and O. Each solver's quadratic is, for the
// retarded emission time t = -|E - O| (seen at t = 0),
//     (E_v - p / gamma)^2 = beta^2 |E - O|^2,   E_v - p / gamma = -beta |E - O|,
// E_v being E's coordinate along the motion and p the sample's own one:
// expanded, (1 - beta^2) gamma^2 = 1 leaves exactly the solvers' b and c.
//
// Direction 0 (velocity +x): b = -2 gamma (beta^2 gamma ox + x) and the
// ox^2 in c expand (X + ox)^2, so the solver's observer stands at
// O = (-ox, oy, oz) and E - O = (X + ox, Y - oy, -oz). The light travels
// along O - E, whose x part is -(X + ox): cos theta = -(X + ox) / |E - O|.
// Points left of the observer come towards it: blue.
//
// Direction 1 (velocity +y): the same with x and y exchanged; O = (ox, -oy,
// oz), cos theta = -(Y + oy) / |E - O|.
//
// Direction 2 (velocity -z): b = 2 beta^2 gamma^2 oz at z = 0 expands
// (Z - oz)^2, so O = (ox, oy, oz), and the solver's root Z = beta |E - O| > 0
// puts E behind the picture's plane, where the point was when it sent the
// light. The drawn point is the line of sight from O through E met with
// z = 0, scaled by 20: (X / 20, Y / 20, 0). The light goes back along that
// line, so its direction is (ox - X / 20, oy - Y / 20, oz) up to a positive
// factor, and with velocity (0, 0, -1):
//     cos theta = -oz / sqrt((X/20 - ox)^2 + (Y/20 - oy)^2 + oz^2),
// positive since the observer is in front (oz < 0): all of the picture
// approaches, most of all straight ahead.
double doppler_cosine(const view_parameters& view, fly_by_direction direction, double x, double y)
{
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double oz = view.observer.observer_z;
    double along = 0.0;   // the part of O - E along the motion
    double across = 0.0;  // the squared rest of |E - O|
    switch (direction) {
    case fly_by_direction::left_to_right:
        along = -(x + ox);
        across = ((y - oy) * (y - oy)) + (oz * oz);
        break;
    case fly_by_direction::top_to_bottom:
        along = -(y + oy);
        across = ((x - ox) * (x - ox)) + (oz * oz);
        break;
    case fly_by_direction::straight_at_it: {
        const double dx = (x / 20.0) - ox;
        const double dy = (y / 20.0) - oy;
        along = -oz;
        across = (dx * dx) + (dy * dy);
        break;
    }
    default: return std::numeric_limits<double>::quiet_NaN();
    }
    const double distance = std::sqrt((along * along) + across);
    // At the observer itself the direction is undefined; take the side-on
    // value rather than NaN.
    return distance > 0.0 ? along / distance : 0.0;
}

double doppler_factor(const motion_parameters& motion, double cosine)
{
    return 1.0 / (motion.gamma * (1.0 - (motion.beta * cosine)));
}

void doppler_range(const motion_parameters& motion, double* d_min, double* d_max)
{
    *d_min = doppler_factor(motion, -1.0);
    *d_max = doppler_factor(motion, 1.0);
}

bool make_doppler_table(const motion_parameters& motion, const colour_shift_settings& colour,
                        colour_shift_table* table)
{
    double d_min = 0.0;
    double d_max = 0.0;
    doppler_range(motion, &d_min, &d_max);
    return make_colour_shift_table(colour, d_min, d_max, table);
}

bool apply_doppler_table(raster* picture, const position_box& box, const view_parameters& view,
                         fly_by_direction direction, const colour_shift_table& table)
{
    if (!is_fly_by_direction(direction))
        return false;
    if (!picture->pixels)
        return true;
    unsigned char* p = picture->pixels.get();
    for (std::int32_t j = 0; j < picture->height; ++j) {
        const double y = static_cast<double>(j) + box.min_y;
        for (std::int32_t i = 0; i < picture->width; ++i, p += 3) {
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                continue;  // black stays black, and most of the margin is black
            const double x = static_cast<double>(i) + box.min_x;
            const double d = doppler_factor(view.motion, doppler_cosine(view, direction, x, y));
            shift_pixel(table, d, p, p);
        }
    }
    return true;
}

bool apply_doppler(raster* picture, const position_box& box, const view_parameters& view,
                   fly_by_direction direction, const colour_shift_settings& colour)
{
    if (!is_fly_by_direction(direction))
        return false;
    // At speed 0 the pass still runs: every D is then 1, which leaves each
    // byte as it was unless an exposure or Reinhard's curve asks otherwise,
    // so a sequence of speeds starting at 0 has no jump at its start.
    if (!picture->pixels)
        return true;
    colour_shift_table table;
    return make_doppler_table(view.motion, colour, &table)
           && apply_doppler_table(picture, box, view, direction, table);
}

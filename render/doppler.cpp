#include "render/doppler.h"

#include <algorithm>
#include <array>
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

namespace {

// Each pixel's D: its sample's, or its corner's without origins.
class pixel_factors {
public:
    pixel_factors(const raster& picture, const doppler_source& source, const view_parameters& view,
                  fly_by_direction direction)
        : picture_(picture), source_(source), view_(view), direction_(direction)
    {
    }

    bool has_light() const
    {
        return source_.light
               && source_.light->size()
                      == static_cast<std::size_t>(image_width_of(picture_)) * static_cast<std::size_t>(picture_.height) * 3;
    }

    // With light: the shifted light of pixel (i, j), r, g, b.
    std::array<double, 3> light(std::int32_t i, std::int32_t j) const
    {
        const float* v = source_.light->data()
                         + ((static_cast<std::size_t>(j) * static_cast<std::size_t>(image_width_of(picture_))
                             + static_cast<std::size_t>(i))
                            * 3);
        return {static_cast<double>(v[2]), static_cast<double>(v[1]), static_cast<double>(v[0])};
    }

    // D of pixel (i, j); NaN where no sample landed (with origins).
    double at(std::int32_t i, std::int32_t j) const
    {
        const pixel_origins* o = source_.origins;
        if (!o || o->sample.empty()) {
            const double inside = source_.centres ? 0.5 : 0.0;
            return doppler_factor(view_.motion,
                                  doppler_cosine(view_, direction_, (static_cast<double>(i) + inside) + source_.box->min_x,
                                                 (static_cast<double>(j) + inside) + source_.box->min_y));
        }
        const std::int64_t s = o->sample[static_cast<std::size_t>(j) * static_cast<std::size_t>(picture_.width)
                                         + static_cast<std::size_t>(i)];
        if (s < 0)
            return std::numeric_limits<double>::quiet_NaN();
        const apparent_point p = apparent_position(view_, direction_, o->xs[static_cast<std::size_t>(s >> 32)],
                                                   o->ys[static_cast<std::size_t>(s & 0xffffffff)]);
        return doppler_factor(view_.motion, doppler_cosine(view_, direction_, p.x, p.y));
    }

private:
    const raster& picture_;
    const doppler_source& source_;
    const view_parameters& view_;
    fly_by_direction direction_;
};

// The settings the table's matrices depend on.
bool same_spectra(const colour_shift_settings& a, const colour_shift_settings& b)
{
    return a.mode == b.mode && a.temperature == b.temperature;
}

bool is_black(const unsigned char* p)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
}

double luminance(const std::array<double, 3>& rgb)
{
    return ((srgb_luminance[0] * rgb[0]) + (srgb_luminance[1] * rgb[1])) + (srgb_luminance[2] * rgb[2]);
}

// Below this brightest byte a picture counts as nearly black.
constexpr int nearly_black_byte = 24;

// measure_doppler, keeping each lit pixel's D in *kept (when given) for the
// pass that follows.
bool measure(const raster& picture, const doppler_source& source, const view_parameters& view,
             fly_by_direction direction, const colour_shift_settings& colour, doppler_statistics* statistics,
             std::vector<double>* kept, colour_table_cache* cache)
{
    if (!is_fly_by_direction(direction))
        return false;
    colour_table_cache own;
    const colour_shift_table* held = (cache ? cache : &own)->table_for(view.motion, colour);
    if (!held)
        return false;
    const colour_shift_table& table = *held;
    if (!picture.pixels)
        return true;
    const pixel_factors factors(picture, source, view, direction);
    const unsigned char* p = picture.pixels.get();
    for (std::int32_t j = 0; j < picture.height; ++j) {
        for (std::int32_t i = 0; i < picture.width; ++i, p += 3) {
            if (is_black(p))
                continue;
            const std::array<double, 3> rgb = {table.decode[p[2]], table.decode[p[1]], table.decode[p[0]]};
            std::array<double, 3> shifted;
            if (factors.has_light()) {
                shifted = factors.light(i, j);
            } else {
                const double d = factors.at(i, j);
                if (kept)
                    kept->push_back(d);
                if (d != d)
                    continue;
                shifted = shifted_linear(table, d, rgb);
            }
            const std::array<double, 3> seen = desaturate_negatives(shifted);
            if (luminance(rgb) > 0.0)
                count_lit_pixel(rgb, seen, statistics);
        }
    }
    return true;
}

}  // namespace
const colour_shift_table* colour_table_cache::table_for(const motion_parameters& motion,
                                                        const colour_shift_settings& colour)
{
    if (!held_ || motion.beta != beta_ || !same_spectra(colour, colour_)) {
        ++builds_;
        double d_min = 0.0;
        double d_max = 0.0;
        doppler_range(motion, &d_min, &d_max);
        built_ = make_colour_shift_table(colour, d_min, d_max, &table_);
        held_ = true;
        beta_ = motion.beta;
        colour_ = colour;
    }
    if (built_)
        set_exposure(colour, &table_);
    return built_ ? &table_ : nullptr;
}

double pixel_doppler_factor(const raster& picture, const doppler_source& source, const view_parameters& view,
                            fly_by_direction direction, std::int32_t i, std::int32_t j)
{
    return pixel_factors(picture, source, view, direction).at(i, j);
}

bool measure_doppler(const raster& picture, const doppler_source& source, const view_parameters& view,
                     fly_by_direction direction, const colour_shift_settings& colour,
                     doppler_statistics* statistics, colour_table_cache* cache)
{
    return measure(picture, source, view, direction, colour, statistics, nullptr, cache);
}

bool apply_doppler(raster* picture, const doppler_source& source, const view_parameters& view,
                   fly_by_direction direction, const colour_shift_settings& colour, bool* nearly_black,
                   colour_table_cache* cache)
{
    if (nearly_black)
        *nearly_black = false;
    if (!is_fly_by_direction(direction))
        return false;
    // At speed 0 the pass still runs: every D is then 1, which leaves each
    // byte as it was unless an exposure or Reinhard's curve asks otherwise,
    // so a sequence of speeds starting at 0 has no jump at its start.
    // The lit pixels' D in pixel order, when the statistics pass worked them
    // out.
    std::vector<double> kept;
    doppler_statistics statistics;
    if (needs_statistics(colour) && !measure(*picture, source, view, direction, colour, &statistics, &kept, cache))
        return false;
    const colour_shift_settings settled = settle_exposure(colour, statistics);
    colour_table_cache own;
    const colour_shift_table* held = (cache ? cache : &own)->table_for(view.motion, settled);
    if (!held)
        return false;
    const colour_shift_table& table = *held;
    if (!picture->pixels)
        return true;
    const pixel_factors factors(*picture, source, view, direction);
    std::size_t next = 0;
    int brightest_before = 0;
    int brightest_after = 0;
    unsigned char* p = picture->pixels.get();
    for (std::int32_t j = 0; j < picture->height; ++j) {
        for (std::int32_t i = 0; i < picture->width; ++i, p += 3) {
            if (is_black(p))
                continue;  // black stays black, and most of the margin is black
            brightest_before = std::max({brightest_before, int{p[0]}, int{p[1]}, int{p[2]}});
            if (factors.has_light()) {
                const std::array<double, 3> shown = display_seen(table, factors.light(i, j));
                p[2] = encode_srgb(table, shown[0]);
                p[1] = encode_srgb(table, shown[1]);
                p[0] = encode_srgb(table, shown[2]);
            } else {
                const double d = next < kept.size() ? kept[next++] : factors.at(i, j);
                if (d == d)
                    shift_pixel(table, d, p, p);
            }
            brightest_after = std::max({brightest_after, int{p[0]}, int{p[1]}, int{p[2]}});
        }
    }
    if (nearly_black)
        *nearly_black = brightest_before >= nearly_black_byte && brightest_after < nearly_black_byte;
    return true;
}

// The Doppler factor of the light that reaches the observer from a rendered
// pixel, and the pass that gives a rendered picture the colour and
// brightness that light has.
//
// The observer is at rest and the picture moves at beta; the light of a
// point leaves from its retarded position E, which is exactly where the
// renderer draws it. With theta the angle, in the observer's frame, between
// the picture's velocity and the direction from E to the observer,
//     D = 1 / (gamma (1 - beta cos theta))      (Einstein 1905),
// above 1 for light from the approaching side, below 1 from the receding
// side, 1 / gamma at right angles. With the light's travel time alone
// (relativity_effects::light_time) the drawn point is likewise where the
// light left, the picture at its rest length, so D is found the same way;
// contraction and none show no light travelling and take no colour pass
// (the front ends refuse it with them).
#ifndef LUMIRUN_RENDER_DOPPLER_H
#define LUMIRUN_RENDER_DOPPLER_H

#include "image/raster.h"
#include "render/observer.h"
#include "render/position_box.h"
#include "render/renderer.h"
#include "colour/exposure.h"
#include "colour/spectral_colour.h"

#include <cstdint>
#include <vector>

// cos theta for the pixel drawn at (x, y) in the observer's coordinates (its
// raster position plus the box's minimum). NaN for a direction outside the
// three.
double doppler_cosine(const view_parameters& view, fly_by_direction direction, double x, double y);

double doppler_factor(const motion_parameters& motion, double cosine);

// The factors at cos theta = -1 and 1: every pixel's lies between.
void doppler_range(const motion_parameters& motion, double* d_min, double* d_max);

// The light of each pixel of a rendered picture comes from the sample drawn
// there last: its D is that sample's, taken at its exact apparent position
// (origins, from render_picture with keep_origins). Without origins, the D
// of the pixel's own corner (x = i + box.min_x, y = j + box.min_y), or with
// centres the D at its centre: a smooth render's pixel is the average of
// points all drawn inside it, and D depends only on where a point is drawn.
// With light (a smooth render's seen_light, when not empty) each lit pixel
// shows that light instead: the mean of its points' light each shifted with
// its own D.
struct doppler_source {
    const position_box* box;
    const pixel_origins* origins;  // may be null
    bool centres = false;
    const std::vector<float>* light = nullptr;
};

// D of pixel (i, j) of a rendered picture as the colour pass takes it from
// source; NaN where no sample landed (with origins).
double pixel_doppler_factor(const raster& picture, const doppler_source& source, const view_parameters& view,
                            fly_by_direction direction, std::int32_t i, std::int32_t j);

// The colour pass's table for the last motion and colour settings asked:
// its matrices built once while the speed, the temperature and the mode
// stay (a movie whose observer moves, or whose speed range has equal ends,
// and a movie's statistics pass and its frames), not once a frame; the
// exposure and the tone curve are set anew each time, at no cost.
class colour_table_cache {
public:
    // The table for this motion and these settings; null when it cannot be
    // built.
    const colour_shift_table* table_for(const motion_parameters& motion, const colour_shift_settings& colour);
    // How many tables were built.
    std::int32_t builds() const { return builds_; }

private:
    bool held_ = false;
    bool built_ = false;
    double beta_ = 0.0;
    colour_shift_settings colour_;
    colour_shift_table table_;
    std::int32_t builds_ = 0;
};

// Adds the picture's lit pixels to *statistics, the table from cache when
// one is given. False for a direction outside the three or a colour model
// that cannot be built.
bool measure_doppler(const raster& picture, const doppler_source& source, const view_parameters& view,
                     fly_by_direction direction, const colour_shift_settings& colour,
                     doppler_statistics* statistics, colour_table_cache* cache = nullptr);

// Replaces every pixel of a rendered picture by its colour seen with its own
// factor; an exposure still to be settled is settled from this picture
// alone. At speed 0, with no exposure and clipping, every byte stays as it
// was. False, and the picture unchanged, for a direction outside the three
// or a colour model that cannot be built. *nearly_black (when given) tells
// whether the picture came out nearly black though it was not at rest. The
// table comes from cache when one is given.
bool apply_doppler(raster* picture, const doppler_source& source, const view_parameters& view,
                   fly_by_direction direction, const colour_shift_settings& colour, bool* nearly_black = nullptr,
                   colour_table_cache* cache = nullptr);

// The same with each pixel's D at its corner.
inline bool apply_doppler(raster* picture, const position_box& box, const view_parameters& view,
                          fly_by_direction direction, const colour_shift_settings& colour)
{
    return apply_doppler(picture, doppler_source{&box, nullptr}, view, direction, colour);
}

#endif

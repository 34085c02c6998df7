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
// side, 1 / gamma at right angles.
#ifndef LUMIRUN_RENDER_DOPPLER_H
#define LUMIRUN_RENDER_DOPPLER_H

#include "image/raster.h"
#include "render/observer.h"
#include "render/position_box.h"
#include "render/renderer.h"
#include "render/spectral_colour.h"

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
struct doppler_source {
    const position_box* box;
    const pixel_origins* origins;  // may be null
    bool centres = false;
};

// What the colour pass learns of a picture before it changes it: enough to
// choose an exposure and a tone curve, for one picture or for one frame of
// a movie. Each lit pixel counts once at rest and once as the colour pass
// sees it before the exposure (shifted, negative channels already mixed
// with grey): in a cell of its log2 luminance y (level_buckets_per_stop to
// a stop from lowest_level_stop) and of log2 (brightest channel / luminance)
// (shape_buckets_per_stop to a stop from 0), which together tell where the
// pixel lands on the display under any exposure and curve: how bright, and
// whether black or at 255. The logarithms come from the bits of each value
// and a table built with + - * /, so every platform gets the same counts.
constexpr int level_buckets_per_stop = 16;
constexpr int lowest_level_stop = -40;
constexpr int level_buckets = 80 * level_buckets_per_stop;
constexpr int shape_buckets_per_stop = 8;
constexpr int shape_buckets = 4 * shape_buckets_per_stop;  // sRGB's blue: 3.8 stops

struct doppler_statistics {
    std::int64_t pixels = 0;  // lit pixels (not black at rest)
    std::int64_t unseen = 0;  // of those, the ones whose light is all gone
    // Counts in cells level * shape_buckets + shape, at rest and seen.
    std::vector<std::int64_t> rest_histogram = std::vector<std::int64_t>(level_buckets * shape_buckets, 0);
    std::vector<std::int64_t> seen_histogram = std::vector<std::int64_t>(level_buckets * shape_buckets, 0);
};

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

// Whether settle_exposure needs the picture's statistics for these
// settings: the automatic exposure (but for the colour alone, whose white
// keeps its luminance), Reinhard's white, and the compressing curve's slope.
bool needs_statistics(const colour_shift_settings& colour);

// The fraction of the lit pixels the compressing curve lets come out black
// (every channel at 2 or below; or as many as at rest and 1 % more) and at
// 255 in some channel.
constexpr double most_black = 0.08;
constexpr double most_at_full = 0.08;

// The settings with the exposure and the curve fixed (auto_exposure
// cleared). Everything is measured on what the display will show: each
// cell's light after the exposure, the curve and the scaling of a channel
// above 1, before the bytes are rounded; a pixel that comes out black counts
// at the darkest level shown.
//   - auto_exposure: the stops that bring the log-average luminance shown
//     back to the one at rest (the picture's own key, as photographic tone
//     mapping keeps it), 0 for the colour alone; rounded to 1/256 stop.
//   - reinhard: its white, the brightest 0.5 % of the lit pixels after the
//     exposure (at least 1).
//   - compress: the largest slope c (1 when it can) for which the exposure
//     that keeps the key (or the one given) leaves at most most_black of
//     the lit pixels black and most_at_full at 255: the light that leaves
//     the display's range on both sides at high speed brought back into it.
//     It turns about the seen log-average.
// At speed 0 (the seen statistics those at rest) nothing changes: exposure
// 0, slope 1.
colour_shift_settings settle_exposure(const colour_shift_settings& colour, const doppler_statistics& statistics);

// A movie's frames' settled exposures and curves, each averaged with its
// neighbours' (weights 1, 2, 1; the first and the last frame keep their
// own, so that a sweep's frame at speed 0 is the photo): the curves' log
// gains, straight lines in log luminance, averaged point by point, so that
// a jump in one frame's metering is spread over three frames.
std::vector<colour_shift_settings> ease_between_frames(const std::vector<colour_shift_settings>& frames);

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

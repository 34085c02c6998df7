// Exposure and tone for a picture whose colours the Doppler pass shifts:
// what the pass counts of the lit pixels, and the exposure and curve chosen
// from those counts, for one picture or the frames of a movie.
#ifndef LUMIRUN_COLOUR_EXPOSURE_H
#define LUMIRUN_COLOUR_EXPOSURE_H

#include <array>
#include <cstdint>
#include <vector>

#include "colour/spectral_colour.h"

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

// Counts one lit pixel: linear r, g, b at rest (luminance above 0) and as
// the colour pass sees it (no channel below 0).
void count_lit_pixel(const std::array<double, 3>& rest, const std::array<double, 3>& seen,
                     doppler_statistics* statistics);

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

#endif

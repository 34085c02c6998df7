// What the smooth renderer's passes share: each worker's buffers, what a
// pass reads, and how a pixel is written. Internal to render/smooth/.
#ifndef LUMIRUN_RENDER_SMOOTH_SMOOTH_WORK_H
#define LUMIRUN_RENDER_SMOOTH_SMOOTH_WORK_H

#include <cstdint>
#include <vector>

#include "render/smooth/smooth_passes.h"

struct kernel_table;

namespace smooth_work {

// Columns drawn together from top to bottom: their source pixels share
// cache lines.
constexpr std::int32_t band_columns = 16;

// A straight piece of an output pixel's edge: between two points across
// the output line (a row, or a column), the source coordinate along the line
// sweeps over [low, high]; mean is the running sum's mean over that sweep,
// NaN until measured (only the pixels that show the source need it; a mean
// that is NaN is measured again, to the same NaN).
struct sweep_piece {
    double low;
    double high;
    double mean[3];

    double centroid() const { return (low + high) / 2.0; }
    double path() const { return high - low; }
};

// One worker's buffers, sized once before any drawing.
struct worker_buffers {
    std::vector<double> prefix;  // running sums of lines, 3 a pixel
    std::vector<sweep_piece> pieces;  // output pixel edges across a line, piece by piece
    std::vector<double> points;       // the edges' source coordinates at the middle and ends
    std::vector<std::int64_t> places;  // where each pixel's edges lie in `pieces`, and their piece count
    std::vector<double> values;      // a band's output pixels, column by column
    std::vector<float> column;       // a band's source columns, column by column
};

struct pass_context {
    const view_parameters* view;
    const smooth_source* source;
    const smooth_target* target;
    const srgb_light_tables* tables;
    double rho_max;  // straight at it: the farthest source corner's apparent distance
    const kernel_table* kernels;  // the vector width the machine is given (render/fast/kernels.h)
};

// The average (linear light, 3 channels) into the target's pixel. Values
// below 0 are kept as floats (shifted light outside sRGB's gamut has them,
// and the colour pass brings it in keeping its hue) and encoded as 0; NaN
// and -0 are stored as 0.
inline void put(const smooth_target& target, const srgb_light_tables& tables, std::int64_t pixel, const double sum[3])
{
    for (int c = 0; c < 3; ++c) {
        const float value = sum[c] > 0.0 || sum[c] < 0.0 ? static_cast<float>(sum[c]) : 0.0f;
        if (target.values)
            target.values[pixel * 3 + c] = value;
        else
            target.bytes[pixel * 3 + c] = encode_light(tables, value);
    }
}

// From left to right: output row `row` (source row `row`).
void draw_row_along_x(const pass_context& p, std::int32_t row, worker_buffers* b);

// From top to bottom: output columns [band * band_columns, ...).
void draw_band_along_y(const pass_context& p, std::int32_t band, worker_buffers* b);

// The sweep pieces one edge of a line needs when the line does not bend.
constexpr int plain_pieces = 2;

// The most pieces an edge is cut into, where it bends hard.
constexpr int most_pieces = 64;

// Straight at it the work of a pixel varies by thousands of times (the
// footprints near the map's limit are huge), so rows are shared out in
// pieces this long.
constexpr std::int32_t radial_chunk = 16;

// Straight at it: output pixels [chunk * radial_chunk, ...) of a row.
void draw_chunk_radial(const pass_context& p, std::int32_t row, std::int32_t chunk);

// Straight at it: the apparent distance (source units) of the source corner
// seen farthest from the observer's point.
double farthest_corner(const view_parameters& view, const smooth_source& s);

}  // namespace smooth_work

#endif

// The smooth renderer's drawing: every output pixel pulls its value through
// the inverse map, rows (or bands of columns) in parallel.
#ifndef LUMIRUN_RENDER_SMOOTH_SMOOTH_PASSES_H
#define LUMIRUN_RENDER_SMOOTH_SMOOTH_PASSES_H

#include <cstdint>
#include <functional>

#include "render/machine.h"
#include "render/observer.h"
#include "render/position_box.h"
#include "render/smooth/linear_light.h"
#include "render/smooth/row_sums.h"

// The source as linear light: floats, or bytes decoded through the table
// as they are read (the two give the same values). Neither: no pixels.
// Pixel (x, y) starts at value (y * stride + x) * 3: a raster's rows may
// hold alignment columns past the picture's width. Straight at it, sums
// (when given, of these very values and this size) let a footprint's long
// row pieces be summed at once (render/smooth/row_sums.h), and turned (when
// given) is the same picture on its side, for tall footprints
// (render/smooth/prefilter.h).
struct smooth_source {
    const float* values;
    const unsigned char* bytes;
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    const smooth_row_sums* sums = nullptr;
    const smooth_source* turned = nullptr;

    bool present() const { return values != nullptr || bytes != nullptr; }
    float at(const srgb_light_tables& t, std::int64_t offset) const
    {
        return values ? values[offset] : t.decode[bytes[offset]];
    }
};

// Where the averages go: rounded to float, then stored, or encoded to the
// nearest byte. The canvas is cleared beforehand; pixel (j, i) is stored at
// value (i * stride + j) * 3.
struct smooth_target {
    float* values;
    unsigned char* bytes;
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    position_box box;  // pixel (j, i) covers [min_x + j, min_x + j + 1) x [min_y + i, ...)
};

struct smooth_view {
    const view_parameters* view;
    fly_by_direction direction;
};

// Called on the calling thread as lines finish, in order: percent
// nondecreasing, line the last output row (column, from top to bottom) done.
using smooth_reporter = std::function<void(int percent, std::int32_t line)>;

// The bytes the workers' buffers take (running sums and edges; straight at
// it none), for `workers` workers, so that callers can tell the whole
// render's memory.
std::uint64_t smooth_working_bytes(fly_by_direction direction, std::int32_t source_width, std::int32_t source_height,
                                   std::int32_t target_width, std::int32_t target_height, int workers);

// Draws the whole canvas. Throws std::bad_alloc when the workers' buffers
// cannot be had (before anything is drawn).
void draw_smooth(const smooth_view& view, const smooth_source& source, const smooth_target& target,
                 const render_machine& machine, const smooth_reporter& report);

#endif

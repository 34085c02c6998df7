// The two-pass relativistic renderer: a source raster in, a rendered raster
// out.
//
// Pass 1 evaluates the apparent position of every sample and keeps only their
// bounding box; the rendered raster is sized to that box and cleared to
// black; pass 2 evaluates every position again and copies the source pixel
// under each sample there, the last write winning. Both passes have two
// implementations behind one frame: the reference path, plain loops that
// define the result, and the fast path, which gives the same bytes on every
// core with the widest vectors the processor has.
//
// Nothing here keeps state between calls: two renders may run at once on
// different threads.
#ifndef LUMIRUN_RENDER_RENDERER_H
#define LUMIRUN_RENDER_RENDERER_H

#include <cstdint>
#include <functional>
#include <vector>

#include "image/raster.h"
#include "render/machine.h"
#include "render/observer.h"
#include "render/position_box.h"
#include "render/sample_coordinates.h"

struct colour_shift_table;
class smooth_sums_cache;

// exact: the two-pass renderer above, the viewer's bytes. smooth: the
// renderer of render/smooth/smooth_renderer.h, which pulls every output
// pixel through the inverse map and filters the source (quality, steps and
// the machine's path are not used; steps are reported as 0 by 0).
enum class render_method : std::int32_t { exact, smooth };

struct render_settings {
    render_method method = render_method::exact;
    fly_by_direction direction = fly_by_direction::left_to_right;
    double speed = 0.0;  // metres per second
    quality_level quality = quality_level::low;
    // The steps a quality outside the four levels renders with; with the
    // default 0.0 such a render is refused.
    sample_steps steps_otherwise;
    observer_position observer;  // observer_z too: see observer_depth
    render_machine machine;
    // Bytes the rendered raster may take: 0 for what the machine can give.
    std::uint64_t memory_limit = 0;
    // A rendered picture wider or taller than this (0: no limit) is refused
    // once pass 1 has sized it, before its memory is asked for: a caller
    // that could never save it need not wait for it.
    std::int32_t largest_side = 0;
    // Whether pass 2 also tells which sample wrote each pixel (see
    // pixel_origins): a plane of 8 bytes a pixel, for the colour pass.
    bool keep_origins = false;
    // The effects of the motion shown (render/observer.h).
    relativity_effects effects = relativity_effects::all;
    // The smooth renderer, given this table (the colour pass's, for this
    // speed): it also averages every source point's light seen with the D
    // of where it is drawn (shifted_linear, before any exposure) into
    // render_output::seen_light, for the colour pass. A pixel spanning a
    // range of D then shows the mean of the shifted light, not the light
    // of its mean shifted with one D.
    const colour_shift_table* seen_colours = nullptr;
    // The smooth renderer straight at it, where the view shrinks the
    // picture hard, sums the source's rows first (render/smooth/row_sums.h);
    // given this cache (made for this very source picture, see
    // smooth_sums_cache), it keeps them there for the next render of the
    // same picture and takes them from there. Their memory counts in
    // memory_limit.
    smooth_sums_cache* smooth_sums = nullptr;
};

// Which sample each rendered pixel shows: the last one written there, on
// either path. sample holds, row by row like the picture's pixels,
// (column << 32) | row of the sample grid, or -1 where no sample landed;
// xs and ys are the grid's sample coordinates, so that the sample at
// (column, row) is the source point (xs[column], ys[row]).
struct pixel_origins {
    std::vector<std::int64_t> sample;
    std::vector<double> xs;
    std::vector<double> ys;
};

// Called after each column of each pass (1, then 2), in column order, on the
// calling thread: percent is trunc((x / W) * 100.0), x being the column's
// sample coordinate and W the source width. The smooth renderer calls (1, 0,
// 0) once its canvas is known, then (2, percent, line) as its output lines
// finish (render/smooth/smooth_renderer.h).
using render_progress = std::function<void(int pass, int percent, std::int32_t column)>;

enum class render_status : std::int32_t {
    done,
    unknown_direction,  // nothing was done
    no_steps,           // a quality outside the four levels and no steps otherwise
    out_of_memory,      // the rendered raster (or the render's tables) could not be had
    too_large,          // a side over largest_side
    unsupported_effects,  // effects outside the four: nothing was done
};

struct render_output {
    render_status status = render_status::done;
    // done: the rendered picture, width a multiple of 4 (the smooth
    // renderer's: image_width its canvas's own, the columns past it black
    // alignment). out_of_memory and too_large: absent, with the size that
    // could not be had (0 by 0 when none was worked out). Otherwise absent
    // and 0 by 0.
    raster picture;
    // Of the finite apparent positions, in the observer's coordinates; all
    // 0.0 when there is none. Set once pass 1 has run.
    position_box box{0.0, 0.0, 0.0, 0.0};
    // The steps used; set unless the direction was unknown.
    sample_steps steps;
    // done with settings.keep_origins: one entry per pixel. Otherwise empty.
    pixel_origins origins;
    // done with settings.seen_colours (smooth): the canvas's shifted light,
    // linear, 3 floats a pixel in the raster's channel order, rows of
    // picture.image_width pixels. Otherwise empty.
    std::vector<float> seen_light;
};

// Renders source. Samples whose position is not finite are skipped in both
// passes. A source whose pixels are absent (but whose size is not 0) gives a
// black raster of the computed size; no missing pixel is read. When
// `replaced` is given, its pixels are released just before the new raster is
// obtained, so that the old picture and the new need not fit in memory side
// by side; a render that ends earlier leaves it alone.
render_output render_picture(const raster& source, const render_settings& settings, const render_progress& progress,
                             raster* replaced = nullptr);

// Pass 1 alone, for what must be known of several renders before any is
// drawn: the status, box and steps render_picture would give, and the
// picture absent but with the size render_picture would give it (done
// only). Progress reports pass 1 alone.
render_output measure_picture(const raster& source, const render_settings& settings, const render_progress& progress);

#endif

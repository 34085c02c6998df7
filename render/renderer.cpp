#include "render/renderer.h"

#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "render/fast/fast_passes.h"
#include "render/fast/terms_view.h"
#include "render/render_passes.h"
#include "render/smooth/smooth_renderer.h"

namespace {

// The rendered raster's size from the box, or false when it cannot be
// represented: width trunc(extent) + 1 rounded up to a multiple of 4, height
// trunc(extent) + 1, both 32-bit.
bool raster_size(const position_box& box, std::int32_t* width, std::int32_t* height)
{
    const double extent_x = box.max_x - box.min_x;
    const double extent_y = box.max_y - box.min_y;
    if (!(extent_x < 2147483644.0) || !(extent_y < 2147483647.0))
        return false;
    const std::int32_t w = static_cast<std::int32_t>(extent_x) + 1;
    if (!round_width_to_4(w, width))
        return false;
    *height = static_cast<std::int32_t>(extent_y) + 1;
    return true;
}

// Tells the progress of one pass for each finished column.
column_reporter pass_reporter(const render_progress& progress, int pass, const std::vector<double>& xs,
                              std::int32_t source_width)
{
    return [&progress, pass, &xs, source_width](std::int32_t column) {
        const auto percent = static_cast<int>((xs[column] / static_cast<double>(source_width)) * 100.0);
        progress(pass, percent, column);
    };
}

std::unique_ptr<render_passes> passes_for(const sample_grid& grid, const render_machine& machine)
{
    if (machine.path == render_path::reference)
        return std::make_unique<reference_passes>(grid);
    return std::make_unique<fast_passes>(grid, machine);
}

// Pass 1 and, when draw is set, pass 2. Without it the picture is left
// absent with the size pass 2 would have drawn.
void render_grid(const raster& source, const sample_grid& grid, const render_settings& settings,
                 const render_progress& progress, raster* replaced, bool draw, render_output* out)
{
    const std::vector<double>& xs = *grid.xs;
    // Both paths count columns and rows in 32 bits, and the fast one pads
    // its rows.
    const std::int64_t most = std::numeric_limits<std::int32_t>::max() - row_padding;
    if (static_cast<std::int64_t>(xs.size()) > most || static_cast<std::int64_t>(grid.ys->size()) > most) {
        out->status = render_status::out_of_memory;
        return;
    }
    const std::unique_ptr<render_passes> passes = passes_for(grid, settings.machine);

    // The first sample's position opens the box even when there is no sample.
    position_box box = empty_box();
    const apparent_point first = apparent_position(*grid.view, grid.direction, 0.0, 0.0);
    include_position(&box, first.x, first.y);
    passes->measure(&box, pass_reporter(progress, 1, xs, source.width));
    if (!(box.min_x <= box.max_x))
        box = position_box{0.0, 0.0, 0.0, 0.0};  // no finite position at all
    out->box = box;

    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!raster_size(box, &width, &height)) {
        out->status = render_status::out_of_memory;
        return;
    }
    // The size is told even when the picture is not drawn or not had.
    out->picture.width = width;
    out->picture.height = height;
    if (settings.largest_side > 0 && (width > settings.largest_side || height > settings.largest_side)) {
        out->status = render_status::too_large;
        return;
    }
    if (!draw)
        return;
    // Released first: the old and the new picture need not fit side by side.
    if (replaced)
        replaced->pixels.reset();
    out->picture = allocate_raster(width, height, settings.memory_limit);
    if (!out->picture.pixels) {
        out->status = render_status::out_of_memory;
        return;
    }

    const column_reporter report = pass_reporter(progress, 2, xs, source.width);
    if (settings.keep_origins) {
        out->origins.sample.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), -1);
        out->origins.xs = xs;
        out->origins.ys = *grid.ys;
    }
    if (source.pixels) {
        draw_target target{source.pixels.get(), source.width, out->picture.pixels.get(), width,
                           box.min_x, box.min_y, height};
        if (settings.keep_origins)
            target.origins = out->origins.sample.data();
        passes->draw(target, report);
    } else {
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(xs.size()); ++i)
            report(i);
    }
}

render_output run_passes(const raster& source, const render_settings& settings, const render_progress& progress,
                         raster* replaced, bool draw)
{
    render_output out;
    if (!is_fly_by_direction(settings.direction)) {
        out.status = render_status::unknown_direction;
        return out;
    }
    if (!is_relativity_effects(settings.effects)) {
        out.status = render_status::unsupported_effects;
        return out;
    }
    out.steps = settings.steps_otherwise;
    steps_for_quality(settings.quality, &out.steps);
    // With a step of 0.0 (or NaN) no loop could end.
    if (!(out.steps.x > 0.0) || !(out.steps.y > 0.0)) {
        out.status = render_status::no_steps;
        return out;
    }
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};

    // The per-column and per-row tables are small next to the rendered
    // raster, but a picture can be large enough that even they do not fit.
    try {
        const std::vector<double> xs = sample_coordinates(source.width, out.steps.x);
        const std::vector<double> ys = sample_coordinates(source.height, out.steps.y);
        render_grid(source, sample_grid{&view, settings.direction, &xs, &ys}, settings, progress, replaced, draw,
                    &out);
    } catch (const std::bad_alloc&) {
        out.picture = raster{};
        out.origins = pixel_origins{};
        out.status = render_status::out_of_memory;
    }
    return out;
}

}  // namespace

render_output render_picture(const raster& source, const render_settings& settings, const render_progress& progress,
                             raster* replaced)
{
    if (settings.method == render_method::smooth)
        return render_smooth(source, settings, progress, replaced, true);
    return run_passes(source, settings, progress, replaced, true);
}

render_output measure_picture(const raster& source, const render_settings& settings, const render_progress& progress)
{
    if (settings.method == render_method::smooth)
        return render_smooth(source, settings, progress, nullptr, false);
    return run_passes(source, settings, progress, nullptr, false);
}

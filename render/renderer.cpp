#include "render/renderer.h"

#include <cstdio>
#include <limits>
#include <new>
#include <vector>

#include "image/alert.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/passes.h"
#include "render/render_tuning.h"
#include "render/sample_grid.h"
#include "render/solver_grid.h"
#include "render/status.h"

double step_x = 0.0;
double step_y = 0.0;

namespace {

const char* const memory_message = "Error: Not enough memory to render the new image!";

void set_steps(std::int32_t quality)
{
    switch (quality) {
    case 1: step_x = step_y = 1.0; break;
    case 2: step_x = step_y = 0.2; break;
    case 3: step_x = step_y = 0.1; break;
    case 4: step_x = step_y = 0.05; break;
    default: break;
    }
}

// Sent after every column whose percentage is a multiple of ten, repeats and
// all; formatted only when it is sent.
void report_progress(const char* format, double x, std::int32_t source_w)
{
    const int percent = static_cast<int>((x / static_cast<double>(source_w)) * 100.0);
    if (percent % 10 != 0)
        return;
    char text[64];
    std::snprintf(text, sizeof text, format, percent);
    set_status_text(text);
}

column_progress::reporter progress_texts(const char* format, const std::vector<double>& xs, std::int32_t source_w)
{
    return [format, &xs, source_w](std::int32_t column) { report_progress(format, xs[column], source_w); };
}

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

std::int32_t fail_for_memory()
{
    show_warning_box(memory_message, "Error!");
    return 1;
}

std::int32_t render_grid(std::int32_t direction, const std::vector<double>& xs, std::vector<double> ys)
{
    const std::int32_t source_w = source_image.width;
    const auto columns = static_cast<std::int64_t>(xs.size());
    const auto rows = static_cast<std::int64_t>(ys.size());
    const std::int64_t most = std::numeric_limits<std::int32_t>::max() - row_padding;
    if (columns > most || rows > most)
        return fail_for_memory();
    const solver_grid grid(direction, xs, std::move(ys));
    pass_setup setup{&grid.view(), &kernels_for(render_simd()), render_threads_for(columns * rows), {}};

    position_box box = empty_box();
    const apparent_point first = apparent_position(direction, 0.0, 0.0);
    include_position(&box, first.x, first.y);
    setup.report = progress_texts("Pass 1/2: %d%% done.", xs, source_w);
    const bool rows_in_order = measure_positions(setup, &box);
    if (!(box.min_x <= box.max_x))
        box = position_box{0.0, 0.0, 0.0, 0.0};  // no finite position at all

    std::int32_t width = 0;
    std::int32_t height = 0;
    const bool representable = raster_size(box, &width, &height);
    if (!representable || !replace_rendered_image(width, height)) {
        if (!representable)
            release_rendered_image();
        return fail_for_memory();
    }

    setup.report = progress_texts("Pass 2/2: %d%% done.", xs, source_w);
    if (source_image.pixels) {
        const draw_target target{source_image.pixels.get(), source_w, rendered_image.pixels.get(), width,
                                 box.min_x, box.min_y, height};
        draw_positions(setup, target, rows_in_order);
    } else {
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(columns); ++i)
            setup.report(i);
    }
    return set_status_text("Relativistic Image Complete.");
}

}  // namespace

std::int32_t render_relativistic(std::int32_t direction, double speed_fraction, std::int32_t quality)
{
    if (direction == 0 || direction == 1)
        observer.observer_z = -0.01;
    else if (direction == 2)
        observer.observer_z = -5.0;
    const double speed = speed_fraction * speed_of_light;
    return render_at_speed(direction, speed, quality);
}

std::int32_t render_at_speed(std::int32_t direction, double speed, std::int32_t quality)
{
    if (direction < 0 || direction > 2)
        return 1;
    set_steps(quality);
    // Before any valid quality was seen the steps are 0.0 and no loop could end.
    if (!(step_x > 0.0) || !(step_y > 0.0))
        return 1;
    set_motion(speed);

    // The per-column and per-row tables are small next to the rendered
    // raster, but a picture can be large enough that even they do not fit.
    try {
        const std::vector<double> xs = sample_coordinates(source_image.width, step_x);
        return render_grid(direction, xs, sample_coordinates(source_image.height, step_y));
    } catch (const std::bad_alloc&) {
        release_rendered_image();
        return fail_for_memory();
    }
}

#include "tests/plain_renderer.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "image/alert.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"
#include "render/sample_grid.h"
#include "render/status.h"

namespace {

struct bounds {
    double min_x = 0.0;
    double max_x = 0.0;
    double min_y = 0.0;
    double max_y = 0.0;
    bool set = false;
};

bool is_finite(apparent_point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Strict comparisons, as the bounding box is defined.
void include(bounds& box, apparent_point p)
{
    if (!is_finite(p))
        return;
    if (!box.set) {
        box = {p.x, p.x, p.y, p.y, true};
        return;
    }
    if (p.x < box.min_x)
        box.min_x = p.x;
    if (p.x > box.max_x)
        box.max_x = p.x;
    if (p.y < box.min_y)
        box.min_y = p.y;
    if (p.y > box.max_y)
        box.max_y = p.y;
}

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
std::int32_t report_progress(const char* format, double x, std::int32_t source_w)
{
    const int percent = static_cast<int>((x / static_cast<double>(source_w)) * 100.0);
    if (percent % 10 != 0)
        return 0;
    char text[64];
    std::snprintf(text, sizeof text, format, percent);
    return set_status_text(text);
}

// The rendered raster's size from the box, or false when it cannot be
// represented: width trunc(extent) + 1 rounded up to a multiple of 4, height
// trunc(extent) + 1, both 32-bit.
bool raster_size(const bounds& box, std::int32_t* width, std::int32_t* height)
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

bounds measure(std::int32_t direction, const std::vector<double>& xs, const std::vector<double>& ys,
               std::int32_t source_w)
{
    bounds box;
    include(box, apparent_position(direction, 0.0, 0.0));
    for (const double x : xs) {
        for (const double y : ys)
            include(box, apparent_position(direction, x, y));
        report_progress("Pass 1/2: %d%% done.", x, source_w);
    }
    return box;
}

void draw(std::int32_t direction, const std::vector<double>& xs, const std::vector<double>& ys,
          std::int32_t source_w, const bounds& box)
{
    const unsigned char* source = source_image.pixels.get();
    unsigned char* destination = rendered_image.pixels.get();
    const std::size_t source_row = static_cast<std::size_t>(source_w) * 3;
    const std::size_t destination_row = static_cast<std::size_t>(rendered_image.width) * 3;
    for (const double x : xs) {
        if (source != nullptr) {
            for (const double y : ys) {
                const apparent_point p = apparent_position(direction, x, y);
                if (!is_finite(p))
                    continue;
                const unsigned char* from = source + source_row * static_cast<std::size_t>(static_cast<std::int32_t>(y))
                                            + static_cast<std::size_t>(static_cast<std::int32_t>(x)) * 3;
                unsigned char* to = destination
                                    + destination_row * static_cast<std::size_t>(static_cast<std::int32_t>(p.y - box.min_y))
                                    + static_cast<std::size_t>(static_cast<std::int32_t>(p.x - box.min_x)) * 3;
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
        report_progress("Pass 2/2: %d%% done.", x, source_w);
    }
}

}  // namespace

std::int32_t plain_render_relativistic(std::int32_t direction, double speed_fraction, std::int32_t quality)
{
    if (direction == 0 || direction == 1)
        observer.observer_z = -0.01;
    else if (direction == 2)
        observer.observer_z = -5.0;
    const double speed = speed_fraction * speed_of_light;
    return plain_render_at_speed(direction, speed, quality);
}

std::int32_t plain_render_at_speed(std::int32_t direction, double speed, std::int32_t quality)
{
    if (direction < 0 || direction > 2)
        return 1;
    set_steps(quality);
    // Before any valid quality was seen the steps are 0.0 and no loop could end.
    if (!(step_x > 0.0) || !(step_y > 0.0))
        return 1;
    set_motion(speed);

    const std::int32_t source_w = source_image.width;
    const std::int32_t source_h = source_image.height;
    const std::vector<double> xs = sample_coordinates(source_w, step_x);
    const std::vector<double> ys = sample_coordinates(source_h, step_y);
    bounds box = measure(direction, xs, ys, source_w);
    if (!box.set)
        box = bounds{0.0, 0.0, 0.0, 0.0, true};

    std::int32_t width = 0;
    std::int32_t height = 0;
    const bool representable = raster_size(box, &width, &height);
    if (!representable || !replace_rendered_image(width, height)) {
        if (!representable)
            release_rendered_image();
        show_warning_box("Error: Not enough memory to render the new image!", "Error!");
        return 1;
    }
    draw(direction, xs, ys, source_w, box);
    return set_status_text("Relativistic Image Complete.");
}

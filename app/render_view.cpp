#include "app/render_view.h"

#include <cstdio>
#include <utility>

#include "app/alert.h"
#include "app/app_state.h"
#include "app/picture_store.h"
#include "app/status.h"

observer_position observer;
double step_x = 0.0;
double step_y = 0.0;

void reset_observer()
{
    observer.observer_x = 0.0;
    observer.observer_y = 100.0;
}

void set_observer(std::int32_t x, std::int32_t y)
{
    observer.observer_x = static_cast<double>(x);
    observer.observer_y = static_cast<double>(y);
}

std::int32_t render_relativistic(fly_by_direction direction, double speed_fraction, quality_level quality)
{
    observer_depth(direction, &observer.observer_z);
    const double speed = speed_fraction * speed_of_light;
    return render_at_speed(direction, speed, quality);
}

std::int32_t render_at_speed(fly_by_direction direction, double speed, quality_level quality)
{
    render_settings settings;
    if (quality == smooth_quality)
        settings.method = render_method::smooth;
    settings.direction = direction;
    settings.speed = speed;
    settings.quality = quality;
    settings.steps_otherwise = {step_x, step_y};
    settings.observer = observer;

    // Every column whose percentage is a multiple of ten sends its text,
    // repeats and all; a text is formatted only when it is sent.
    const auto progress = [](int pass, int percent, std::int32_t) {
        if (percent % 10 != 0)
            return;
        char text[64];
        std::snprintf(text, sizeof text, pass == 1 ? "Pass 1/2: %d%% done." : "Pass 2/2: %d%% done.", percent);
        set_status_text(text);
    };
    render_output out = render_picture(source_image, settings, progress, &rendered_image);

    if (out.status == render_status::unknown_direction)
        return 1;
    // The smooth renderer samples nothing: the steps stay the last ones.
    if (settings.method == render_method::exact) {
        step_x = out.steps.x;
        step_y = out.steps.y;
    }
    switch (out.status) {
    case render_status::done:
        rendered_image = std::move(out.picture);
        return set_status_text("Relativistic Image Complete.");
    case render_status::out_of_memory:
        rendered_image.pixels.reset();
        if (out.picture.width != 0 || out.picture.height != 0) {
            rendered_image.width = out.picture.width;
            rendered_image.height = out.picture.height;
        }
        show_warning_box("Error: Not enough memory to render the new image!", "Error!");
        return 1;
    default:
        return 1;
    }
}

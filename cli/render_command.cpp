#include "cli/render_command.h"

#include <cstdio>

#include "image/jpeg_file.h"

namespace {

// The observer as the viewer places it: at the left edge half-way down after
// an open, or where the user clicked.
observer_position observer_for(const render_options& options, const raster& picture)
{
    observer_position observer;
    if (options.observer_given) {
        observer.observer_x = static_cast<double>(options.observer_x);
        observer.observer_y = static_cast<double>(options.observer_y);
    } else {
        observer.observer_y = static_cast<double>(picture.height / 2);
    }
    return observer;
}

}  // namespace

bool open_source(const render_options& options, raster* picture, std::vector<std::string>* messages)
{
    jpeg_read read = read_jpeg_file(options.input.c_str());
    if (read.result != 0) {
        if (!read.message.empty())
            messages->push_back(read.message);
        if (read.too_large) {
            // Where the viewer says it, for the same words in the same place.
            std::fputs(too_large_text(read.picture).c_str(), stdout);
            std::fflush(stdout);
        }
        messages->push_back("Error opening file " + options.input + ".");
        return false;
    }
    *picture = std::move(read.picture);
    return true;
}

render_settings settings_for(const render_options& options, const raster& source)
{
    render_settings settings;
    settings.direction = static_cast<fly_by_direction>(options.direction);
    settings.speed = static_cast<double>(options.speed_fraction) * speed_of_light;
    settings.quality = static_cast<quality_level>(options.quality);
    settings.observer = observer_for(options, source);
    observer_depth(settings.direction, &settings.observer.observer_z);
    return settings;
}

std::string render_failure_text(render_status status)
{
    return status == render_status::out_of_memory ? "Error: Not enough memory to render the new image!"
                                                  : "The picture cannot be rendered with these settings.";
}

int render_file(const render_options& options, progress_bar* bar, std::vector<std::string>* messages)
{
    raster source;
    if (!open_source(options, &source, messages))
        return 1;

    const render_settings settings = settings_for(options, source);
    const auto progress = [bar](int pass, int percent, std::int32_t) {
        if (bar)
            bar->update(pass, percent);
    };
    const render_output rendered = render_picture(source, settings, progress);
    if (bar)
        rendered.status == render_status::done ? bar->complete() : bar->finish();
    if (rendered.status != render_status::done) {
        messages->push_back(render_failure_text(rendered.status));
        return 1;
    }

    const jpeg_write written = write_jpeg_file(options.output.c_str(), rendered.picture, 100);
    if (written.result != 0) {
        if (!written.message.empty())
            messages->push_back(written.message);
        messages->push_back("Error saving file " + options.output + ".");
        return 1;
    }
    return 0;
}

#include "cli/render_command.h"

#include <cstdio>

#include "cli/standard_streams.h"
#include "image/jpeg_file.h"
#include "render/doppler.h"
#include "render/renderer.h"

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

// "-" is standard input; the stream is read as the file would be.
jpeg_read read_input(const std::string& input)
{
    if (input != "-")
        return read_jpeg_file(input.c_str());
    use_binary_mode(stdin);
    return read_jpeg_stream(stdin);
}

// "-" is standard output.
jpeg_write write_output(const std::string& output, const raster& picture)
{
    if (output != "-")
        return write_jpeg_file(output.c_str(), picture, 100);
    use_binary_mode(stdout);
    return write_jpeg_stream(stdout, "(standard output)", picture, 100);
}

std::string size_text(const raster& picture)
{
    return std::to_string(picture.width) + " by " + std::to_string(picture.height) + " pixels";
}

}  // namespace

int render_file(const render_options& options, progress_bar* bar, std::vector<std::string>* messages)
{
    const jpeg_read read = read_input(options.input);
    if (!read.library_warning.empty())
        messages->push_back("warning: " + read.library_warning);
    if (!read.library_error.empty())
        messages->push_back(read.library_error);
    if (read.result != 0) {
        if (!read.message.empty())
            messages->push_back(read.message);
        if (read.too_large)
            messages->push_back(too_large_text(read.picture));
        messages->push_back("Error opening file " + options.input + ".");
        return 1;
    }

    render_settings settings;
    settings.direction = static_cast<fly_by_direction>(options.direction);
    settings.speed = static_cast<double>(options.speed_fraction) * speed_of_light;
    settings.quality = static_cast<quality_level>(options.quality);
    settings.observer = observer_for(options, read.picture);
    observer_depth(settings.direction, &settings.observer.observer_z);
    settings.largest_side = largest_jpeg_side;
    const auto progress = [bar](int pass, int percent, std::int32_t) {
        if (bar)
            bar->update(pass, percent);
    };
    render_output rendered = render_picture(read.picture, settings, progress);
    if (bar)
        rendered.status == render_status::done ? bar->complete() : bar->finish();
    switch (rendered.status) {
    case render_status::done:
        break;
    case render_status::out_of_memory:
        messages->push_back("Error: Not enough memory to render the new image!");
        return 1;
    case render_status::too_large:
        messages->push_back("Error: the rendered picture would be " + size_text(rendered.picture)
                            + "; a JPEG file holds at most " + std::to_string(largest_jpeg_side)
                            + " on a side.");
        return 1;
    default:
        messages->push_back("The picture cannot be rendered with these settings.");
        return 1;
    }
    if (options.doppler) {
        const view_parameters view{settings.observer, motion_for_speed(settings.speed)};
        if (!apply_doppler(&rendered.picture, rendered.box, view, settings.direction, options.colour)) {
            messages->push_back("The colours cannot be worked out with these settings.");
            return 1;
        }
    }

    const jpeg_write written = write_output(options.output, rendered.picture);
    if (written.result != 0) {
        if (!written.message.empty())
            messages->push_back(written.message);
        messages->push_back("Error saving file " + options.output + ".");
        return 1;
    }
    return 0;
}

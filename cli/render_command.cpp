#include "cli/render_command.h"

#include "image/jpeg_file.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"

namespace {

// The steps of opening (observer reset, load, observer at the left edge
// half-way down), then a click if one was given, then "Save As...".
int open_render_save(const render_options& options, std::string* error)
{
    reset_observer();
    if (load_picture(options.input.c_str()) != 0) {
        *error = "Error opening file " + options.input + ".";
        return 1;
    }
    if (options.observer_given)
        set_observer(options.observer_x, options.observer_y);
    else
        set_observer(0, source_height() / 2);

    render_relativistic(options.direction, static_cast<double>(options.speed_fraction), options.quality);
    if (!rendered_image.pixels) {
        error->clear();
        return 1;
    }
    if (save_picture(options.output.c_str()) != 0) {
        *error = "Error saving file " + options.output + ".";
        return 1;
    }
    return 0;
}

}  // namespace

int render_file(const render_options& options, std::string* error)
{
    const int status = open_render_save(options, error);
    free_images();
    return status;
}

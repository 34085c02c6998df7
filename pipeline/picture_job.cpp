#include "pipeline/picture_job.h"

#include "pipeline/doppler_map.h"

#include "image/file_replace.h"
#include "image/jpeg_file.h"
#include "image/safe_save.h"
#include "pipeline/picture_formats.h"
#include "pipeline/standard_streams.h"
#include "render/doppler.h"

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
    return read_picture(options, picture, messages);
}

bool is_input_file(const render_options& options, const std::string& name)
{
    return options.input == "-" ? is_standard_input(name.c_str())
                                : same_file(options.input.c_str(), name.c_str());
}

std::string same_file_refusal(const render_options& options)
{
    if (options.output == "-" || !is_input_file(options, options.output))
        return std::string();
    return "OUTPUT " + options.output
           + (options.input == "-" ? " is the file standard input (INPUT -) reads"
                                   : " is the file INPUT " + options.input + " names")
           + ": the picture would be replaced by its render; write another file";
}

render_settings settings_for(const render_options& options, const raster& source)
{
    render_settings settings;
    settings.direction = static_cast<fly_by_direction>(options.direction);
    settings.speed = static_cast<double>(options.speed_fraction) * speed_of_light;
    settings.method = options.method;
    settings.quality = static_cast<quality_level>(options.quality);
    settings.observer = observer_for(options, source);
    observer_depth(settings.direction, &settings.observer.observer_z);
    settings.effects = options.effects;
    // The colour pass takes each pixel's D from the sample drawn there.
    // The exact renderer tells which sample each pixel shows; a smooth
    // render averages its points' shifted light (ask_for_seen_light); the
    // map of D takes a smooth pixel's D at its centre.
    settings.keep_origins = (options.doppler || options.doppler_map) && options.method == render_method::exact;
    settings.machine.threads = options.threads;
    return settings;
}

doppler_source colour_source(const render_output& rendered, const render_settings& settings)
{
    return doppler_source{&rendered.box, &rendered.origins, settings.method == render_method::smooth,
                          &rendered.seen_light};
}

void ask_for_seen_light(const render_options& options, colour_table_cache* cache, render_settings* settings)
{
    if (!options.doppler || settings->method != render_method::smooth)
        return;
    settings->seen_colours = cache->table_for(motion_for_speed(settings->speed), options.colour);
}

std::string render_failure_text(const render_output& rendered)
{
    switch (rendered.status) {
    case render_status::out_of_memory:
        return "Error: Not enough memory to render the new image!";
    case render_status::too_large:
        return "Error: the rendered picture would be " + std::to_string(rendered.picture.width) + " by "
               + std::to_string(rendered.picture.height) + " pixels; a JPEG file holds at most "
               + std::to_string(largest_jpeg_side) + " on a side.";
    default:
        return "The picture cannot be rendered with these settings.";
    }
}

bool apply_colour(const render_options& options, const colour_shift_settings& colour,
                  const render_settings& settings, render_output* rendered, std::vector<std::string>* messages,
                  colour_table_cache* cache)
{
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
    if (options.doppler_map) {
        if (map_doppler(&rendered->picture, colour_source(*rendered, settings), view, settings.direction))
            return true;
        messages->push_back("The Doppler factors cannot be worked out with these settings.");
        return false;
    }
    if (!options.doppler)
        return true;
    bool nearly_black = false;
    if (apply_doppler(&rendered->picture, colour_source(*rendered, settings), view, settings.direction,
                      colour, &nearly_black, cache)) {
        if (nearly_black)
            messages->push_back("warning: the picture comes out nearly black; a brighter --exposure (in stops, or"
                                " auto) shows more");
        return true;
    }
    messages->push_back("The colours cannot be worked out with these settings.");
    return false;
}

std::string output_refusal(const std::string& output)
{
    if (output != "-")
        return probe_save_target(output.c_str());
    if (is_terminal(stdout))
        return "Error: picture data is not written to a terminal; send standard output to a file or a pipe.";
    return std::string();
}

int render_file(const render_options& options, job_progress* bar, std::vector<std::string>* messages)
{
    raster source;
    if (!open_source(options, &source, messages))
        return 1;
    // Refused before the render, not after it.
    const std::string refused = output_refusal(options.output);
    if (!refused.empty()) {
        messages->push_back(refused);
        messages->push_back("Error saving file " + options.output + ".");
        return 1;
    }

    render_settings settings = settings_for(options, source);
    // Refused as soon as its size is known: a JPEG file could never hold it.
    settings.largest_side = largest_jpeg_side;
    const auto progress = [bar](int pass, int percent, std::int32_t) {
        if (bar)
            bar->update(pass, percent);
    };
    colour_table_cache tables;
    ask_for_seen_light(options, &tables, &settings);
    render_output rendered = render_picture(source, settings, progress);
    if (bar)
        rendered.status == render_status::done ? bar->complete() : bar->finish();
    if (rendered.status != render_status::done) {
        messages->push_back(render_failure_text(rendered));
        return 1;
    }
    if (!apply_colour(options, options.colour, settings, &rendered, messages, &tables))
        return 1;
    if (options.doppler_map)
        draw_doppler_legend(&rendered.picture);

    return write_picture(options, options.format, options.output, rendered.picture, messages) ? 0 : 1;
}

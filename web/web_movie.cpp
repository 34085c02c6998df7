#include "web/web_movie.h"

#include <cmath>

#include "image/webp_file.h"
#include "pipeline/movie_canvas.h"
#include "pipeline/movie_job.h"
#include "pipeline/picture_job.h"

namespace {

// Where the encoder writes in the in-memory file system.
constexpr const char* movie_path = "/lumirun-movie.webp";

// Milliseconds from the start to frame's start, rounded, as the command
// line times them.
std::int32_t frame_time(const render_options& options, std::int32_t frame)
{
    return static_cast<std::int32_t>(std::llround(1000.0 * frame / options.fps));
}

render_progress frame_report(const percent_report& report, std::int32_t from, std::int32_t share)
{
    return [report, from, share](int pass, int percent, std::int32_t) {
        if (report)
            report(from + share * ((pass == 1 ? 0 : 50) + percent / 2) / 100);
    };
}

}  // namespace

bool webp_movie_bytes(const raster& source, const render_options& options, const percent_report& report,
                      std::vector<std::uint8_t>* bytes, std::vector<std::string>* messages)
{
    const std::int32_t frames = options.frames;
    std::vector<frame_extent> extents;
    for (std::int32_t k = 0; k < frames; ++k) {
        render_settings settings = movie_frame_settings(options, source, k);
        settings.machine.threads = 1;
        const render_output measured = measure_picture(source, settings, frame_report(report, 10 * k / frames, 0));
        if (measured.status != render_status::done) {
            messages->push_back(render_failure_text(measured));
            return false;
        }
        extents.push_back(frame_extent{measured.box, measured.picture.width, measured.picture.height});
    }
    const canvas_layout layout = lay_out_canvas(extents);
    if (!layout.ok || layout.width > webp_max_dimension || layout.height > webp_max_dimension) {
        messages->push_back("The movie's canvas passes the " + std::to_string(webp_max_dimension)
                            + "-pixel limit of WebP on a side.");
        return false;
    }
    raster canvas = allocate_raster(layout.width, layout.height);
    webp_animation animation(layout.width, layout.height, options.lossless);
    if (!canvas.pixels || !animation.ready()) {
        messages->push_back("Error: Not enough memory for the movie's " + std::to_string(layout.width) + " by "
                            + std::to_string(layout.height) + " canvas and its frames!");
        return false;
    }
    for (std::int32_t k = 0; k < frames; ++k) {
        render_settings settings = movie_frame_settings(options, source, k);
        settings.machine.threads = 1;
        const std::int32_t from = 10 + 90 * k / frames;
        const std::int32_t share = 90 * (k + 1) / frames - 90 * k / frames;
        render_output rendered = render_picture(source, settings, frame_report(report, from, share));
        if (rendered.status != render_status::done) {
            messages->push_back(render_failure_text(rendered));
            return false;
        }
        if (!apply_colour(options, options.colour, settings, &rendered, messages))
            return false;
        if (!draw_on_canvas(rendered.picture, place_on_canvas(layout, rendered.box), &canvas)) {
            messages->push_back("Frame " + std::to_string(k) + " does not fit the movie's canvas.");
            return false;
        }
        std::string reason;
        if (!animation.add_frame(canvas, frame_time(options, k), &reason)) {
            messages->push_back("Error encoding frame " + std::to_string(k) + ": " + reason + ".");
            return false;
        }
    }
    const webp_write written = animation.save(movie_path, frame_time(options, frames));
    if (written.result != 0 || !take_file(movie_path, bytes)) {
        messages->push_back(written.message.empty() ? "Error: the movie could not be written." : written.message);
        return false;
    }
    if (report)
        report(100);
    return true;
}

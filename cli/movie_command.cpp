#include "cli/movie_command.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "cli/movie_canvas.h"
#include "cli/movie_options.h"
#include "cli/render_command.h"
#include "image/file_replace.h"
#include "image/temporary_file.h"
#include "image/jpeg_file.h"
#include "image/webp_file.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// JPEG's own limit on a side.
constexpr std::int32_t jpeg_max_dimension = 65500;

// Where the frames go: the animation's encoder, or a file per frame.
class movie_sink {
public:
    movie_sink(const render_options& options, movie_output kind, const raster& canvas)
        : options_(options), kind_(kind)
    {
        if (kind_ == movie_output::webp)
            animation_ = std::make_unique<webp_animation>(canvas.width, canvas.height, options.lossless,
                                                         webp_photo_quality);
    }

    bool ready() const { return kind_ != movie_output::webp || animation_->ready(); }

    bool add(const raster& canvas, std::int32_t frame, std::vector<std::string>* messages)
    {
        if (kind_ == movie_output::webp) {
            std::string reason;
            if (animation_->add_frame(canvas, frame_time(frame), &reason))
                return true;
            messages->push_back("Error encoding frame " + std::to_string(frame) + ": " + reason + ".");
            messages->push_back("Error saving file " + options_.output + ".");
            return false;
        }
        const std::string name = frame_file_name(options_.output, frame);
        const jpeg_write written = write_jpeg_file(name.c_str(), canvas, 100);
        if (written.result == 0)
            return true;
        if (!written.message.empty())
            messages->push_back(written.message);
        messages->push_back("Error saving file " + name + " (frame " + std::to_string(frame)
                            + "); the frames before it are written.");
        return false;
    }

    bool finish(std::vector<std::string>* messages)
    {
        if (kind_ != movie_output::webp)
            return true;
        const webp_write written = animation_->save(options_.output.c_str(), frame_time(options_.frames));
        if (written.result == 0)
            return true;
        if (!written.message.empty())
            messages->push_back(written.message);
        messages->push_back("Error saving file " + options_.output + ".");
        return false;
    }

private:
    // Milliseconds from the start to frame's start, rounded.
    std::int32_t frame_time(std::int32_t frame) const
    {
        return static_cast<std::int32_t>(std::llround(1000.0 * frame / options_.fps));
    }

    const render_options& options_;
    movie_output kind_;
    std::unique_ptr<webp_animation> animation_;
};

render_progress frame_progress(progress_bar* bar, bool measuring, std::int32_t frame, std::int32_t frames)
{
    return [=](int pass, int percent, std::int32_t) {
        if (bar)
            bar->update_movie(measuring, frame, frames, pass, percent);
    };
}

// Pass 1 of every frame; false with the message when one cannot render.
bool measure_frames(const render_options& options, const raster& source, progress_bar* bar,
                    std::vector<frame_extent>* extents, std::vector<std::string>* messages)
{
    for (std::int32_t k = 0; k < options.frames; ++k) {
        const render_output measured = measure_picture(source, movie_frame_settings(options, source, k),
                                                       frame_progress(bar, true, k, options.frames));
        if (measured.status != render_status::done) {
            if (bar)
                bar->finish();
            messages->push_back(render_failure_text(measured.status));
            return false;
        }
        extents->push_back(frame_extent{measured.box, measured.picture.width, measured.picture.height});
    }
    return true;
}

// The canvas, or a refusal naming what does not fit.
bool canvas_for(const canvas_layout& layout, const std::vector<frame_extent>& extents, movie_output kind,
                raster* canvas, std::vector<std::string>* messages)
{
    const std::int32_t limit = kind == movie_output::webp ? webp_max_dimension : jpeg_max_dimension;
    if (!layout.ok || layout.width > limit || layout.height > limit) {
        messages->push_back(
            (layout.ok ? "The movie's canvas of " + std::to_string(layout.width) + " by "
                             + std::to_string(layout.height) + " pixels"
                       : std::string("The movie's canvas"))
            + " passes the " + std::to_string(limit) + "-pixel limit of "
            + (kind == movie_output::webp ? "WebP" : "JPEG") + " on a side.");
        return false;
    }
    *canvas = allocate_raster(layout.width, layout.height);
    // Cleared memory costs nothing until written: holding the largest frame
    // for a moment tells whether a frame and the canvas fit side by side.
    std::int32_t largest = 0;
    for (std::size_t k = 1; k < extents.size(); ++k)
        if (std::int64_t{extents[k].width} * extents[k].height
            > std::int64_t{extents[largest].width} * extents[largest].height)
            largest = static_cast<std::int32_t>(k);
    const raster trial = allocate_raster(extents[largest].width, extents[largest].height);
    if (!canvas->pixels || !trial.pixels) {
        messages->push_back("Error: Not enough memory for the movie's " + std::to_string(layout.width) + " by "
                            + std::to_string(layout.height) + " canvas and its frames!");
        return false;
    }
    return true;
}

}  // namespace

render_settings movie_frame_settings(const render_options& options, const raster& source, std::int32_t frame)
{
    render_settings settings = settings_for(options, source);
    if (options.speed_range) {
        const double fraction = movie_position(options.speed_fraction, options.speed_fraction_to, frame,
                                               options.frames);
        // Single precision, as one picture's speed is kept.
        settings.speed = static_cast<double>(static_cast<float>(fraction)) * speed_of_light;
    }
    if (options.observer_range) {
        settings.observer.observer_x =
            std::round(movie_position(options.observer_x, options.observer_x_to, frame, options.frames));
        settings.observer.observer_y =
            std::round(movie_position(options.observer_y, options.observer_y_to, frame, options.frames));
    }
    return settings;
}

int render_movie(const render_options& options, progress_bar* bar, std::vector<std::string>* messages,
                 movie_timing* timing)
{
    movie_timing spent;
    const movie_output kind = movie_output_kind(options.output);
    // A protected target is refused before the work, not after it.
    if (kind == movie_output::webp && !may_replace_file(options.output.c_str())) {
        messages->push_back(cannot_create_text(options.output.c_str()));
        messages->push_back("Error saving file " + options.output + ".");
        return 1;
    }
    raster source;
    if (!open_source(options, &source, messages))
        return 1;

    clock_type::time_point start = clock_type::now();
    std::vector<frame_extent> extents;
    if (!measure_frames(options, source, bar, &extents, messages))
        return 1;
    const canvas_layout layout = lay_out_canvas(extents);
    raster canvas;
    if (!canvas_for(layout, extents, kind, &canvas, messages))
        return 1;
    movie_sink sink(options, kind, canvas);
    if (!sink.ready()) {
        messages->push_back("Error: Not enough memory to encode the movie!");
        return 1;
    }
    spent.measure = seconds_since(start);

    for (std::int32_t k = 0; k < options.frames; ++k) {
        start = clock_type::now();
        const render_output rendered = render_picture(source, movie_frame_settings(options, source, k),
                                                      frame_progress(bar, false, k, options.frames));
        const bool placed = rendered.status == render_status::done
                            && draw_on_canvas(rendered.picture, place_on_canvas(layout, rendered.box), &canvas);
        spent.render += seconds_since(start);
        if (!placed) {
            if (bar)
                bar->finish();
            messages->push_back(rendered.status == render_status::done
                                    ? "Frame " + std::to_string(k) + " does not fit the movie's canvas."
                                    : render_failure_text(rendered.status));
            return 1;
        }
        start = clock_type::now();
        const bool added = sink.add(canvas, k, messages);
        spent.encode += seconds_since(start);
        if (!added) {
            if (bar)
                bar->finish();
            return 1;
        }
    }
    start = clock_type::now();
    const bool finished = sink.finish(messages);
    spent.encode += seconds_since(start);
    if (bar)
        finished ? bar->complete_movie(options.frames) : bar->finish();
    if (timing)
        *timing = spent;
    return finished ? 0 : 1;
}

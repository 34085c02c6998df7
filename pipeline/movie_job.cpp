#include "pipeline/movie_job.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>

#include "image/file_replace.h"
#include "image/jpeg_file.h"
#include "image/safe_save.h"
#include "image/webp_file.h"
#include "image/y4m_file.h"
#include "pipeline/doppler_map.h"
#include "pipeline/ffmpeg_movie.h"
#include "pipeline/movie_canvas.h"
#include "pipeline/movie_frames.h"
#include "pipeline/picture_formats.h"
#include "pipeline/picture_job.h"
#include "pipeline/standard_streams.h"
#include "render/doppler.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Where the frames go: the animation's encoder, a YUV4MPEG2 stream, ffmpeg,
// or a file per frame.
class movie_sink {
public:
    // memory, when given, takes an animated WebP's bytes instead of a file.
    movie_sink(const render_options& options, movie_output kind, const raster& canvas, std::uint64_t largest_file,
               std::string ffmpeg, std::vector<unsigned char>* memory)
        : options_(options), kind_(kind), largest_file_(largest_file), memory_(memory)
    {
        if (kind_ == movie_output::webp) {
            animation_ = std::make_unique<webp_animation>(image_width_of(canvas), canvas.height, options.lossless);
        } else if (kind_ == movie_output::y4m) {
            y4m_.width = image_width_of(canvas);
            y4m_.height = canvas.height;
            y4m_.full_chroma = options.full_chroma;
            y4m_rate(options.fps, &y4m_.rate_numerator, &y4m_.rate_denominator);
        } else if (kind_ == movie_output::ffmpeg) {
            ffmpeg_container container = ffmpeg_container::mp4;
            ffmpeg_container_of(options.output, &container);
            ffmpeg_ = std::make_unique<ffmpeg_movie>(std::move(ffmpeg), container, options.output, options.fps);
        }
    }

    bool ready() const { return kind_ != movie_output::webp || animation_->ready(); }

    // Opens the stream or starts ffmpeg; false with the lines to tell.
    bool open(const raster& canvas, std::vector<std::string>* messages)
    {
        if (kind_ == movie_output::ffmpeg)
            return ffmpeg_->start(image_width_of(canvas), canvas.height, messages);
        if (kind_ != movie_output::y4m)
            return true;
        if (options_.output == "-") {
            use_binary_mode(stdout);
            stream_ = stdout;
        } else {
            stream_save_ = std::make_unique<streamed_save>(options_.output.c_str());
            if (!stream_save_->refusal().empty()) {
                messages->push_back(stream_save_->refusal());
                messages->push_back("Error saving file " + options_.output + ".");
                return false;
            }
            stream_ = stream_save_->file();
        }
        const std::string header = y4m_header(y4m_);
        if (std::fwrite(header.data(), 1, header.size(), stream_) == header.size())
            return true;
        messages->push_back(cannot_write_text(stream_name(), std::strerror(errno)));
        messages->push_back("Error saving file " + options_.output + ".");
        return false;
    }

    bool add(const raster& canvas, std::int32_t frame, std::vector<std::string>* messages)
    {
        std::string reason;
        if (kind_ == movie_output::frame_files)
            return add_file(canvas, frame, messages);
        if (kind_ == movie_output::webp ? animation_->add_frame(canvas, frame_time(frame), &reason)
            : kind_ == movie_output::y4m ? write_y4m_frame(stream_, y4m_, canvas, &reason)
                                         : ffmpeg_->add(canvas, &reason)) {
            return true;
        }
        // ffmpeg's own words say why it stopped reading.
        if (kind_ == movie_output::ffmpeg) {
            ffmpeg_->abandon(messages);
            return false;
        }
        messages->push_back("Error encoding frame " + std::to_string(frame) + ": " + reason + ".");
        messages->push_back("Error saving file " + options_.output + ".");
        return false;
    }

    bool finish(std::vector<std::string>* messages)
    {
        if (kind_ == movie_output::ffmpeg)
            return ffmpeg_->finish(messages);
        if (kind_ == movie_output::y4m) {
            if (stream_save_) {
                const save_result saved = stream_save_->commit();
                if (saved.result == 0)
                    return true;
                messages->push_back(saved.message);
            } else if (std::fflush(stream_) == 0) {
                return true;
            } else {
                messages->push_back(cannot_write_text(stream_name(), std::strerror(errno)));
            }
            messages->push_back("Error saving file " + options_.output + ".");
            return false;
        }
        if (kind_ != movie_output::webp)
            return true;
        const webp_write written
            = memory_ ? animation_->assemble(options_.output.c_str(), frame_time(options_.frames), memory_, largest_file_)
                      : animation_->save(options_.output.c_str(), frame_time(options_.frames), largest_file_);
        if (written.result == 0)
            return true;
        if (!written.message.empty())
            messages->push_back(written.message);
        messages->push_back("Error saving file " + options_.output + ".");
        return false;
    }

private:
    // One picture file a frame, in the format the pattern's extension names
    // (JPEG when it names none).
    bool add_file(const raster& canvas, std::int32_t frame, std::vector<std::string>* messages)
    {
        const std::string name = frame_file_name(options_.output, frame);
        picture_format format = picture_format::jpeg;
        picture_format_of(options_.output, &format);
        if (save_picture(options_, format, name, canvas, messages))
            return true;
        messages->push_back("Error saving file " + name + " (frame " + std::to_string(frame)
                            + (frame > 0 ? "); the frames before it are written." : ")."));
        return false;
    }

    const char* stream_name() const { return options_.output == "-" ? "(standard output)" : options_.output.c_str(); }

    // Milliseconds from the start to frame's start, rounded.
    std::int32_t frame_time(std::int32_t frame) const
    {
        return static_cast<std::int32_t>(std::llround(1000.0 * frame / options_.fps));
    }

    const render_options& options_;
    movie_output kind_;
    std::uint64_t largest_file_;
    std::vector<unsigned char>* memory_;
    std::unique_ptr<webp_animation> animation_;
    y4m_format y4m_;
    std::unique_ptr<streamed_save> stream_save_;
    std::FILE* stream_ = nullptr;
    std::unique_ptr<ffmpeg_movie> ffmpeg_;
};

render_progress frame_progress(job_progress* bar, bool measuring, std::int32_t frame, std::int32_t frames)
{
    return [=](int pass, int percent, std::int32_t) {
        if (bar)
            bar->update_movie(measuring, frame, frames, pass, percent);
    };
}

// The part of a path before its file name.
std::string folder_part(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Every file the movie writes, checked before any work: 0 when all can be
// written; 1 when one cannot (a missing or read-only folder, a name too
// long), 2 when a frame would replace a file (the input never, others only
// with --overwrite); the lines to tell the user in *messages.
int check_targets(const render_options& options, movie_output kind, std::vector<std::string>* messages)
{
    if (kind != movie_output::frame_files) {
        // Standard output: refused only where it is a terminal.
        const std::string refused
            = options.output == "-" ? output_refusal("-") : probe_save_target(options.output.c_str());
        if (refused.empty())
            return 0;
        messages->push_back(refused);
        messages->push_back("Error saving file " + options.output + ".");
        return 1;
    }
    std::string probed;
    for (std::int32_t k = 0; k < options.frames; ++k) {
        const std::string name = frame_file_name(options.output, k);
        const std::string frame = " (frame " + std::to_string(k) + ")";
        save_target target;
        std::string reason;
        std::string refused;
        if (!find_save_target(name.c_str(), &target, &reason))
            refused = cannot_create_text(name.c_str(), reason);
        else if (target.exists && (!options.overwrite || is_input_file(options, name))) {
            messages->push_back("Error: " + name + frame + " exists; "
                                + (options.overwrite ? "it is the input picture, which a movie never replaces."
                                                     : "a movie replaces existing files only with --overwrite."));
            return 2;
        } else if (k == 0 || folder_part(name) != probed) {
            // One new file in each folder tells whether the folder takes them.
            refused = probe_save_target(name.c_str());
            probed = folder_part(name);
        }
        if (!refused.empty()) {
            messages->push_back(refused);
            messages->push_back("Error saving file " + name + frame + "; no frame is written.");
            return 1;
        }
    }
    return 0;
}

// The largest side each output holds.
std::int32_t side_limit(movie_output kind)
{
    return kind == movie_output::webp ? webp_max_dimension : largest_jpeg_side;
}

// Pass 1 of the frames, in order, stopping early (fewer extents than
// frames) once the canvas must pass the output's side: without a size asked
// for, the canvas is as large as the largest frame. False with the message
// when a frame cannot render.
bool measure_frames(const render_options& options, const raster& source, movie_output kind, job_progress* bar,
                    std::vector<frame_extent>* extents, std::vector<std::string>* messages)
{
    const std::int32_t limit = side_limit(kind);
    const bool sized = options.movie_width > 0 && options.movie_height > 0;
    for (std::int32_t k = 0; k < options.frames; ++k) {
        const render_settings settings = movie_frame_settings(options, source, k);
        const render_output measured
            = measure_picture(source, settings, frame_progress(bar, true, k, options.frames));
        if (measured.status != render_status::done) {
            if (bar)
                bar->finish();
            messages->push_back(render_failure_text(measured));
            return false;
        }
        // The observer's own point, about which a fill crops.
        const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
        const apparent_point seen = apparent_position(view, settings.direction,
                                                      settings.observer.observer_x, settings.observer.observer_y);
        const frame_extent e{measured.box, image_width_of(measured.picture), measured.picture.height, seen.x, seen.y};
        extents->push_back(e);
        if (!sized && (e.width > limit || e.height > limit))
            break;
    }
    return true;
}

std::string megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// The two canvases (one filled while the other is encoded), or a refusal
// naming what does not fit: a side, or the memory of the whole movie at
// once (the canvases, the largest frame and the encoder's buffers, which
// the system would otherwise grant lazily and take back by ending the
// process once they are written).
bool canvases_for(const render_options& options, const canvas_layout& layout,
                  const std::vector<frame_extent>& extents, movie_output kind, std::uint64_t memory,
                  raster canvases[2], std::vector<std::string>* messages)
{
    const std::int32_t limit = side_limit(kind);
    const bool all = static_cast<std::int32_t>(extents.size()) == options.frames;
    const std::string size = std::to_string(layout.image_width) + " by " + std::to_string(layout.height);
    if (!all || !layout.ok || layout.image_width > limit || layout.height > limit) {
        messages->push_back(
            (all && layout.ok ? "The movie's canvas of " + size + " pixels" : std::string("The movie's canvas"))
            + " passes the " + std::to_string(limit) + "-pixel limit of "
            + (kind == movie_output::webp ? "WebP" : kind == movie_output::frame_files ? "JPEG" : "this movie")
            + " on a side"
            + (all || !layout.ok ? std::string(".")
                                 : ": " + size + " pixels at frame " + std::to_string(extents.size() - 1) + " of "
                                       + std::to_string(options.frames) + ", with the other frames still to come."));
        return false;
    }
    std::uint64_t largest = 0;
    for (const frame_extent& e : extents)
        largest = std::max(largest, std::uint64_t{3} * static_cast<std::uint32_t>(e.width)
                                        * static_cast<std::uint32_t>(e.height));
    const std::uint64_t canvas = std::uint64_t{3} * static_cast<std::uint32_t>(layout.width)
                                 * static_cast<std::uint32_t>(layout.height);
    const std::uint64_t encoder
        = kind == movie_output::webp ? webp_encoder_memory(layout.width, layout.height, options.lossless) : 0;
    const std::uint64_t needed = 2 * canvas + largest + encoder;
    const std::uint64_t available = memory != 0 ? memory : memory_available();
    if (available != 0 && needed > available) {
        messages->push_back("Error: Not enough memory for the movie: its " + size + " canvas needs " + megabytes(needed)
                            + " (two canvases, the largest frame and the encoder's buffers), and "
                            + megabytes(available) + " can be had.");
        return false;
    }
    for (int k = 0; k < 2; ++k) {
        canvases[k] = allocate_raster(layout.width, layout.height, memory);
        canvases[k].image_width = layout.image_width;
    }
    if (!canvases[0].pixels || !canvases[1].pixels) {
        messages->push_back("Error: Not enough memory for the movie's " + size + " canvas and its frames!");
        return false;
    }
    return true;
}

// Hands each placed frame to the sink on a second thread, so that the next
// frame renders while this one is encoded; frames reach the sink one at a
// time and in order, so the file's bytes are those of a plain loop.
class encoding_thread {
public:
    // Without threaded, each frame is encoded on the caller's thread, in wait().
    encoding_thread(movie_sink* sink, bool threaded) : sink_(sink), threaded_(threaded) {}
    ~encoding_thread() { wait(); }
    encoding_thread(const encoding_thread&) = delete;
    encoding_thread& operator=(const encoding_thread&) = delete;

    // Starts on canvas, which must stay untouched until the next wait().
    void start(const raster* canvas, std::int32_t frame)
    {
        const auto job = [this, canvas, frame] {
            const clock_type::time_point start = clock_type::now();
            const bool added = sink_->add(*canvas, frame, &messages_);
            seconds_ += seconds_since(start);
            return added;
        };
        try {
            pending_ = std::async(threaded_ ? std::launch::async : std::launch::deferred, job);
        } catch (const std::system_error&) {
            pending_ = std::async(std::launch::deferred, job);  // no thread to be had: runs in wait()
        }
    }

    // Ends the frame started last; false when it failed. Its messages
    // then follow *messages.
    bool wait(std::vector<std::string>* messages = nullptr)
    {
        if (!pending_.valid())
            return true;
        const bool added = pending_.get();
        if (messages)
            messages->insert(messages->end(), messages_.begin(), messages_.end());
        messages_.clear();
        return added;
    }

    double seconds() const { return seconds_; }

private:
    movie_sink* sink_;
    bool threaded_;
    std::future<bool> pending_;
    std::vector<std::string> messages_;
    double seconds_ = 0.0;
};

// Each frame's exposure and curve, settled from its own pixels when the
// options leave them to the picture (so that a frame at speed 0 is the
// photo, and one at high speed keeps both of its sides visible), then
// averaged with the neighbouring frames' (weights 1, 2, 1; the first and
// last keep their own) so that a jump in one frame's metering is spread
// over three and the movie does not flicker. False with the message when a frame cannot render.
bool movie_colour(const render_options& options, const raster& source, job_progress* bar, smooth_sums_cache* sums,
                  std::vector<colour_shift_settings>* colours, std::vector<std::string>* messages)
{
    colours->assign(static_cast<std::size_t>(options.frames), settle_exposure(options.colour, doppler_statistics{}));
    if (!options.doppler || !needs_statistics(options.colour))
        return true;
    colour_table_cache tables;
    for (std::int32_t k = 0; k < options.frames; ++k) {
        render_settings settings = movie_frame_settings(options, source, k);
        ask_for_seen_light(options, &tables, &settings);
        settings.smooth_sums = sums;
        const render_output rendered = render_picture(source, settings, frame_progress(bar, true, k, options.frames));
        if (rendered.status != render_status::done) {
            if (bar)
                bar->finish();
            messages->push_back(render_failure_text(rendered));
            return false;
        }
        const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
        doppler_statistics statistics;
        if (!measure_doppler(rendered.picture, colour_source(rendered, settings), view,
                             settings.direction, options.colour, &statistics, &tables)) {
            messages->push_back("The colours cannot be worked out with these settings.");
            return false;
        }
        (*colours)[static_cast<std::size_t>(k)] = settle_exposure(options.colour, statistics);
    }
    *colours = ease_between_frames(*colours);
    return true;
}

// The movie of options from source (render_movie's work once the source is
// read), into memory when it is given.
int make_movie(const raster& source, const render_options& options, movie_output kind, const std::string& ffmpeg,
               std::vector<unsigned char>* memory, job_progress* bar, std::vector<std::string>* messages,
               movie_timing* timing, const movie_limits& limits);

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

int render_movie(const render_options& options, job_progress* bar, std::vector<std::string>* messages,
                 movie_timing* timing, const movie_limits& limits)
{
    const movie_output kind = movie_output_kind(options.output);
    // What cannot be written, or a movie that needs an ffmpeg there is none
    // of, is refused before the work, not after it.
    const int refused = check_targets(options, kind, messages);
    if (refused != 0)
        return refused;
    std::string ffmpeg;
    if (kind == movie_output::ffmpeg) {
        ffmpeg_container container = ffmpeg_container::mp4;
        ffmpeg_container_of(options.output, &container);
        std::string missing;
        ffmpeg = find_ffmpeg(options.ffmpeg, container, &missing);
        if (ffmpeg.empty()) {
            messages->push_back(missing + ".");
            return 1;
        }
    }
    raster source;
    if (!open_source(options, &source, messages))
        return 1;
    return make_movie(source, options, kind, ffmpeg, nullptr, bar, messages, timing, limits);
}

int render_movie_to_memory(const raster& source, const render_options& options, std::vector<unsigned char>* webp,
                           job_progress* bar, std::vector<std::string>* messages, const movie_limits& limits)
{
    return make_movie(source, options, movie_output::webp, std::string(), webp, bar, messages, nullptr, limits);
}

namespace {

// Measures every frame, settles their colours, lays out the canvas and makes
// the canvases (canvases_for). False with the lines to tell the user.
bool plan_movie(const render_options& options, const raster& source, movie_output kind, job_progress* bar,
                std::uint64_t memory, movie_plan* plan, raster canvases[2], std::vector<std::string>* messages)
{
    if (!measure_frames(options, source, kind, bar, &plan->extents, messages)
        || !movie_colour(options, source, bar, plan->sums.get(), &plan->colours, messages))
        return false;
    const movie_framing framing{options.movie_width, options.movie_height, options.movie_fill};
    plan->layout = lay_out_canvas(plan->extents, framing);
    // The exact renderer's frames draw their alignment columns, as the
    // viewer's pictures do, and its movies keep the canvas's too, unless
    // a size is asked for.
    if (options.method == render_method::exact && framing.width == 0)
        plan->layout.image_width = plan->layout.width;
    if (!canvases_for(options, plan->layout, plan->extents, kind, memory, canvases, messages)) {
        if (bar)
            bar->finish();
        return false;
    }
    return true;
}

// Renders frame k, gives it its colours and draws it on the canvas, black
// around it; *place is where its own picture sits there. False with the
// lines to tell the user.
bool draw_frame(const raster& source, const render_options& options, const movie_plan& plan, std::int32_t k,
                job_progress* bar, colour_table_cache* tables, raster* canvas, canvas_place* place,
                std::vector<std::string>* messages)
{
    render_settings settings = movie_frame_settings(options, source, k);
    ask_for_seen_light(options, tables, &settings);
    settings.smooth_sums = plan.sums.get();
    render_output rendered = render_picture(source, settings, frame_progress(bar, false, k, options.frames));
    if (rendered.status != render_status::done) {
        messages->push_back(render_failure_text(rendered));
        return false;
    }
    if (!apply_colour(options, plan.colours[static_cast<std::size_t>(k)], settings, &rendered, messages, tables))
        return false;
    frame_extent extent = plan.extents[static_cast<std::size_t>(k)];
    extent.box = rendered.box;
    *place = place_on_canvas(plan.layout, extent);
    if (!draw_on_canvas(rendered.picture, *place, canvas)) {
        messages->push_back("Frame " + std::to_string(k) + " does not fit the movie's canvas.");
        return false;
    }
    // The legend at the foot of the movie's frame, not of each render.
    if (options.doppler_map)
        draw_doppler_legend(canvas);
    return true;
}

int make_movie(const raster& source, const render_options& options, movie_output kind, const std::string& ffmpeg,
               std::vector<unsigned char>* memory, job_progress* bar, std::vector<std::string>* messages,
               movie_timing* timing, const movie_limits& limits)
{
    movie_timing spent;
    const clock_type::time_point started = clock_type::now();
    clock_type::time_point start = started;
    movie_plan plan;
    raster canvases[2];
    if (!plan_movie(options, source, kind, bar, limits.memory, &plan, canvases, messages))
        return 1;
    movie_sink sink(options, kind, canvases[0], limits.webp_file_bytes, ffmpeg, memory);
    if (!sink.ready()) {
        messages->push_back("Error: Not enough memory to encode the movie!");
        return 1;
    }
    if (!sink.open(canvases[0], messages))
        return 1;
    spent.measure = seconds_since(start);

    encoding_thread encoder(&sink, options.threads != 1);
    colour_table_cache colour_tables;
    bool ok = true;
    for (std::int32_t k = 0; ok && k < options.frames; ++k) {
        start = clock_type::now();
        raster* canvas = &canvases[k % 2];
        canvas_place place{0.0, 0.0, 1.0};
        // The frame's own lines follow the encoder's, whose frame came first.
        std::vector<std::string> told;
        const bool drawn = draw_frame(source, options, plan, k, bar, &colour_tables, canvas, &place, &told);
        spent.render += seconds_since(start);
        // The frame before must be in before this one goes, and a frame that
        // failed ends the movie.
        ok = encoder.wait(messages) && drawn;
        messages->insert(messages->end(), told.begin(), told.end());
        if (ok)
            encoder.start(canvas, k);
    }
    ok = encoder.wait(messages) && ok;
    start = clock_type::now();
    ok = ok && sink.finish(messages);
    spent.encode = encoder.seconds() + seconds_since(start);
    spent.total = seconds_since(started);
    // A warning that every frame gives is told once.
    messages->erase(std::unique(messages->begin(), messages->end()), messages->end());
    spent.colour_tables = colour_tables.builds();
    if (bar)
        ok ? bar->complete_movie(options.frames) : bar->finish();
    if (timing)
        *timing = spent;
    return ok ? 0 : 1;
}

}  // namespace

movie_frame_maker::movie_frame_maker(const raster& source, const render_options& options, job_progress* bar,
                                     std::vector<std::string>* messages, const movie_limits& limits)
    : source_(source), options_(options), bar_(bar)
{
    // One canvas: the taker has each frame before the next is made.
    raster canvases[2];
    if (!plan_movie(options, source, movie_output::frame_files, bar, limits.memory, &plan_, canvases, messages))
        return;
    canvas_ = std::move(canvases[0]);
    ok_ = true;
}

bool movie_frame_maker::make(std::int32_t frame, std::vector<std::string>* messages)
{
    if (!draw_frame(source_, options_, plan_, frame, bar_, &tables_, &canvas_, &place_, messages))
        return false;
    if (bar_ && frame == options_.frames - 1)
        bar_->complete_movie(options_.frames);
    return true;
}

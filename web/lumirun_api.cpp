#include "web/lumirun_api.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <emscripten.h>

#include "image/jpeg_file.h"
#include "pipeline/job_progress.h"
#include "pipeline/movie_frames.h"
#include "pipeline/movie_job.h"
#include "pipeline/picture_formats.h"
#include "pipeline/picture_job.h"
#include "pipeline/setting_texts.h"
#include "web/web_picture.h"
#include "web/web_readout.h"

// The page's progress bar: a JavaScript callback on the module, when set.
EM_JS(void, lr_report_progress, (int percent), {
    if (Module["onProgress"])
        Module["onProgress"](percent);
});

namespace {

struct session {
    raster source;
    render_options options;
    raster shown;  // the last render or preview, blue, green, red
    double shown_scale = 1.0;
    bool shown_coarse = false;  // a preview reduced to keep within its pixel budget
    // What the shown picture was rendered from, for its readouts.
    render_settings shown_settings;
    position_box shown_box{0.0, 0.0, 0.0, 0.0};
    std::int32_t shown_source_width = 0;
    std::int32_t shown_source_height = 0;
    raster original;  // the source reduced for display
    double original_scale = 1.0;
    std::vector<std::uint8_t> original_rgba;
    double readout[5] = {};
    preview_memory preview;
    bool shown_is_full = false;  // a full render of the current settings
    std::vector<std::uint8_t> rgba;
    std::vector<std::uint8_t> exported;
    std::string messages;
    // A movie made a frame at a time for the page's videos.
    render_options movie_options;
    std::unique_ptr<job_progress> movie_bar;
    std::unique_ptr<movie_frame_maker> movie;
    std::vector<std::uint8_t> movie_rgba;
    std::int32_t movie_layout[2] = {};
};

session& the_session()
{
    static session s;
    return s;
}

void set_messages(const std::vector<std::string>& lines)
{
    std::string& text = the_session().messages;
    text.clear();
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
}

int fail(const std::vector<std::string>& lines)
{
    set_messages(lines);
    return 1;
}

int fail(const std::string& line) { return fail(std::vector<std::string>{line}); }

// Each new percentage once.
percent_report page_progress()
{
    return [last = -1](int percent) mutable {
        if (percent != last)
            lr_report_progress(last = percent);
    };
}

// A movie's progress: measuring every frame is the first 10 %, rendering
// and encoding them the rest.
class movie_progress : public job_progress {
public:
    void update_movie(bool measuring, int frame, int frames, int pass, int percent) override
    {
        const std::int64_t done = std::int64_t{frame} * 100 + (pass == 1 ? 0 : 50) + percent / 2;
        const std::int64_t all = std::int64_t{frames} * 100;
        report_(static_cast<int>(measuring ? 10 * done / all : 10 + 90 * done / all));
    }
    void complete_movie(int) override { report_(100); }

private:
    percent_report report_ = page_progress();
};

// The viewer's defaults after an open; the page's core runs on one thread,
// and a source may take a quarter of the page's memory.
render_options page_options()
{
    render_options options;
    options.threads = 1;
    options.source_memory = page_picture_bytes;
    return options;
}

int keep_source(raster picture, std::vector<std::string> warnings)
{
    session& s = the_session();
    s.source = std::move(picture);
    s.preview = preview_memory{};
    s.shown = raster{};
    s.original = raster{};
    s.shown_is_full = false;
    s.rgba.clear();
    s.movie.reset();
    s.options = page_options();
    set_messages(warnings);
    return 0;
}

// fail's message, as a false.
bool refuse(const std::string& line)
{
    fail(line);
    return false;
}

// A movie's options from the page's texts, as lr_export_movie takes them;
// false with the message kept.
bool movie_options(std::int32_t frames, const char* fps, const char* speed_to, std::int32_t observer_moves,
                   std::int32_t x_to, std::int32_t y_to, render_options* out)
{
    session& s = the_session();
    if (!s.source.pixels)
        return refuse("Open a picture first.");
    render_options options = s.options;
    if (frames < 1 || frames > max_movie_frames)
        return refuse("A movie has 1 to " + std::to_string(max_movie_frames) + " frames.");
    options.frames = frames;
    if (!parse_frame_rate(fps, &options.fps))
        return refuse(std::string("The frame rate ") + fps + " is not a number from 0.1 to 1000.");
    options.speed_range = speed_to[0] != '\0';
    if (options.speed_range && !parse_speed_percent(speed_to, &options.speed_fraction_to))
        return refuse(std::string("The speed ") + speed_to + " is not a percentage below 100.");
    options.observer_range = observer_moves != 0;
    options.observer_x_to = x_to;
    options.observer_y_to = y_to;
    *out = options;
    return true;
}

int export_picture(picture_format format)
{
    session& s = the_session();
    if (!s.shown_is_full)
        return fail("Render the picture first.");
    std::vector<std::string> lines;
    if (!picture_bytes(s.shown, format, &s.exported, &lines))
        return fail(lines);
    s.messages.clear();
    return 0;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* lr_messages() { return the_session().messages.c_str(); }

EMSCRIPTEN_KEEPALIVE int lr_open(const std::uint8_t* bytes, std::size_t size, const char* name)
{
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(bytes), size, "rb");
    if (!file)
        return fail(std::string("Error: Can't open file ") + name + " for reading.");
    picture_read read = read_picture_stream(file, name, true, page_picture_bytes);
    std::fclose(file);
    // The command line's lines, in its order; a picture too large for the
    // page also names the page's limit.
    std::vector<std::string> lines;
    for (const read_message& message : read.messages) {
        const bool too_large = !read.ok && message.kind == read_message_kind::failure && !read.picture.pixels
                               && read.picture.width > 0 && message.text == too_large_text(read.picture);
        lines.push_back(too_large ? page_too_large_text(read.picture.width, read.picture.height)
                                  : command_line_text(message));
    }
    if (!read.ok) {
        lines.push_back(std::string("Error opening file ") + name + ".");
        return fail(lines);
    }
    return keep_source(std::move(read.picture), lines);
}

EMSCRIPTEN_KEEPALIVE int lr_open_rgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height)
{
    raster picture = raster_from_rgba(rgba, width, height, page_picture_bytes);
    if (!picture.pixels)
        return fail(page_too_large_text(width, height));
    return keep_source(std::move(picture), {});
}

EMSCRIPTEN_KEEPALIVE int lr_refuse_undecoded(const std::uint8_t* bytes, std::size_t size, const char* name,
                                             std::int32_t width, std::int32_t height)
{
    if (width > 0 && height > 0)
        return fail(page_too_large_text(width, height));
    if (declared_size(bytes, size, &width, &height) && passes_page_limit(width, height))
        return fail(page_too_large_text(width, height));
    // The reader says what the file is not, as lumirun-render does.
    return lr_open(bytes, size, name);
}

EMSCRIPTEN_KEEPALIVE std::int32_t lr_source_width() { return image_width_of(the_session().source); }
EMSCRIPTEN_KEEPALIVE std::int32_t lr_source_height() { return the_session().source.height; }

EMSCRIPTEN_KEEPALIVE int lr_set_settings(const char* speed, std::int32_t direction, const char* quality,
                                         std::int32_t observer_x, std::int32_t observer_y, std::int32_t doppler,
                                         const char* exposure, const char* effects, std::int32_t doppler_map)
{
    render_options options = the_session().options;
    if (!parse_speed_percent(speed, &options.speed_fraction))
        return fail(std::string("The speed ") + speed + " is not a percentage below 100.");
    if (direction < 0 || direction > 2)
        return fail("The direction must be 0, 1 or 2.");
    if (!parse_render_quality(quality, &options.method, &options.quality))
        return fail(std::string("The quality ") + quality + " is none the renderer knows.");
    if (doppler < 0 || doppler > 2)
        return fail("The Doppler choice must be off, colour or full.");
    // Automatic as on the command line: its exposure is then the default's.
    options.colour.auto_exposure = std::string(exposure) == "auto";
    options.colour.exposure = colour_shift_settings{}.exposure;
    if (!options.colour.auto_exposure && !parse_exposure(exposure, &options.colour.exposure))
        return fail(std::string("The exposure ") + exposure + " is not a number of stops from -20 to 20.");
    // A page that gives none shows them all.
    const std::string effects_text = effects ? effects : "all";
    if (!parse_effects(effects_text, &options.effects))
        return fail("The effects " + effects_text + " are none the renderer knows: all, contraction, light-time or"
                    " none.");
    if (doppler != 0 && !shows_light_time(options.effects))
        return fail("Doppler colours need the effects all or light-time: " + effects_text
                    + " shows no light travelling.");
    if (doppler_map != 0 && doppler != 0)
        return fail("The map of D shows the Doppler factor instead of colours: not with Doppler colours.");
    if (doppler_map != 0 && !shows_light_time(options.effects))
        return fail("The map of D needs the effects all or light-time: " + effects_text
                    + " shows no light travelling.");
    options.doppler_map = doppler_map != 0;
    options.direction = direction;
    options.observer_given = true;
    options.observer_x = observer_x;
    options.observer_y = observer_y;
    options.doppler = doppler != 0;
    options.colour.mode = doppler == 1 ? doppler_mode::colour_only : doppler_mode::colour_and_brightness;
    // The command line's tone curve for Doppler colours, so that the page
    // shows and saves what lumirun-render writes.
    options.colour.tone = tone_map::compress;
    the_session().options = options;
    the_session().messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE int lr_render()
{
    session& s = the_session();
    if (!s.source.pixels)
        return fail("Open a picture first.");
    std::vector<std::string> lines;
    render_output rendered;
    if (!render_for_page(s.source, s.options, page_progress(), &s.shown, &rendered, &lines)) {
        s.shown_is_full = false;
        return fail(lines);
    }
    s.shown = std::move(rendered.picture);
    s.shown_scale = 1.0;
    s.shown_coarse = false;
    s.shown_settings = settings_for(s.options, s.source);
    s.shown_box = rendered.box;
    s.shown_source_width = image_width_of(s.source);
    s.shown_source_height = s.source.height;
    s.shown_is_full = true;
    s.rgba.clear();
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE int lr_preview(std::int32_t view_width, std::int32_t view_height, double pixel_budget)
{
    session& s = the_session();
    if (!s.source.pixels)
        return fail("Open a picture first.");
    std::vector<std::string> lines;
    preview_output preview = preview_for_page(s.source, s.options, view_width, view_height, pixel_budget, &s.preview,
                                               &lines);
    if (!preview.picture.pixels)
        return fail(lines);
    s.shown = std::move(preview.picture);
    s.shown_scale = preview.scale;
    s.shown_coarse = preview.coarse;
    s.shown_settings = preview.settings;
    s.shown_box = preview.box;
    s.shown_source_width = preview.source_width;
    s.shown_source_height = preview.source_height;
    s.shown_is_full = false;
    s.rgba.clear();
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* lr_picture_rgba()
{
    session& s = the_session();
    if (!s.shown.pixels)
        return nullptr;
    if (s.rgba.empty() && !rgba_from_raster(s.shown, &s.rgba))
        return nullptr;
    return s.rgba.data();
}

EMSCRIPTEN_KEEPALIVE std::int32_t lr_picture_width() { return image_width_of(the_session().shown); }
EMSCRIPTEN_KEEPALIVE std::int32_t lr_picture_height() { return the_session().shown.height; }
EMSCRIPTEN_KEEPALIVE double lr_picture_scale() { return the_session().shown_scale; }
EMSCRIPTEN_KEEPALIVE std::int32_t lr_picture_coarse() { return the_session().shown_coarse ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE const double* lr_view_readout()
{
    session& s = the_session();
    const render_settings settings = settings_for(s.options, s.source);
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
    const view_readout r = readout_for_view(view, settings.direction, image_width_of(s.source), s.source.height);
    s.readout[0] = r.beta;
    s.readout[1] = r.gamma;
    s.readout[2] = r.d_min;
    s.readout[3] = r.d_max;
    s.readout[4] = 0.0;
    return s.readout;
}

EMSCRIPTEN_KEEPALIVE const double* lr_pixel_readout(double x, double y)
{
    session& s = the_session();
    const render_settings& settings = s.shown_settings;
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
    const pixel_readout r = s.shown.pixels ? readout_at(view, settings.direction, s.shown_box, s.shown_source_width,
                                                        s.shown_source_height, x, y)
                                           : pixel_readout{};
    s.readout[0] = r.seen ? 1.0 : 0.0;
    s.readout[1] = r.d;
    s.readout[2] = r.x * s.shown_scale;
    s.readout[3] = r.y * s.shown_scale;
    s.readout[4] = r.light_distance * s.shown_scale;
    return s.readout;
}

EMSCRIPTEN_KEEPALIVE int lr_original(std::int32_t view_width, std::int32_t view_height)
{
    session& s = the_session();
    if (!s.source.pixels)
        return fail("Open a picture first.");
    std::vector<std::string> lines;
    preview_output original = original_for_page(s.source, view_width, view_height, &lines);
    if (!original.picture.pixels || !rgba_from_raster(original.picture, &s.original_rgba))
        return fail(lines.empty() ? std::vector<std::string>{"Error: Not enough memory to show the picture!"} : lines);
    s.original = std::move(original.picture);
    s.original_scale = original.scale;
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* lr_original_rgba() { return the_session().original_rgba.data(); }
EMSCRIPTEN_KEEPALIVE std::int32_t lr_original_width() { return image_width_of(the_session().original); }
EMSCRIPTEN_KEEPALIVE std::int32_t lr_original_height() { return the_session().original.height; }
EMSCRIPTEN_KEEPALIVE double lr_original_scale() { return the_session().original_scale; }

EMSCRIPTEN_KEEPALIVE int lr_export_jpeg() { return export_picture(picture_format::jpeg); }
EMSCRIPTEN_KEEPALIVE int lr_export_png() { return export_picture(picture_format::png); }

EMSCRIPTEN_KEEPALIVE int lr_export_movie(std::int32_t frames, const char* fps, const char* speed_to,
                                         std::int32_t observer_moves, std::int32_t x_to, std::int32_t y_to,
                                         std::int32_t lossless)
{
    session& s = the_session();
    render_options options;
    if (!movie_options(frames, fps, speed_to, observer_moves, x_to, y_to, &options))
        return 1;
    options.lossless = lossless != 0;
    options.output = "lumirun.webp";  // for messages only
    std::vector<std::string> lines;
    movie_progress progress;
    if (render_movie_to_memory(s.source, options, &s.exported, &progress, &lines) != 0)
        return fail(lines);
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE int lr_movie_start(std::int32_t frames, const char* fps, const char* speed_to,
                                        std::int32_t observer_moves, std::int32_t x_to, std::int32_t y_to,
                                        std::int32_t width, std::int32_t height, std::int32_t fill)
{
    session& s = the_session();
    s.movie.reset();
    if (!movie_options(frames, fps, speed_to, observer_moves, x_to, y_to, &s.movie_options))
        return 1;
    const bool sized = width != 0 || height != 0;
    if (sized && !(width >= 1 && width <= max_movie_side && height >= 1 && height <= max_movie_side))
        return fail("A video's sides are 1 to " + std::to_string(max_movie_side) + " pixels.");
    s.movie_options.movie_width = sized ? width : 0;
    s.movie_options.movie_height = sized ? height : 0;
    s.movie_options.movie_fill = sized && fill != 0;
    std::vector<std::string> lines;
    s.movie_bar = std::make_unique<movie_progress>();
    auto movie = std::make_unique<movie_frame_maker>(s.source, s.movie_options, s.movie_bar.get(), &lines);
    if (!movie->ok())
        return fail(lines);
    s.movie = std::move(movie);
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE int lr_movie_frame(std::int32_t frame)
{
    session& s = the_session();
    if (!s.movie || frame < 0 || frame >= s.movie_options.frames)
        return fail("Start the movie first.");
    std::vector<std::string> lines;
    if (!s.movie->make(frame, &lines))
        return fail(lines);
    const raster& canvas = s.movie->canvas();
    if (!rgba_from_raster(canvas, &s.movie_rgba))
        return fail("Error: Not enough memory for the movie's frame!");
    s.movie_layout[0] = image_width_of(canvas);
    s.movie_layout[1] = canvas.height;
    s.messages.clear();
    return 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* lr_movie_rgba() { return the_session().movie_rgba.data(); }
EMSCRIPTEN_KEEPALIVE const std::int32_t* lr_movie_layout() { return the_session().movie_layout; }

EMSCRIPTEN_KEEPALIVE const char* lr_kernels(std::int32_t portable) { return use_page_kernels(portable != 0); }

EMSCRIPTEN_KEEPALIVE const std::uint8_t* lr_export_data() { return the_session().exported.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t lr_export_size() { return the_session().exported.size(); }
}

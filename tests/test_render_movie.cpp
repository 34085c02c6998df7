// lumirun-render's movies: every frame of a lossless WebP is, in its place on
// the shared canvas, the single render with that frame's settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <webp/demux.h>

#include "pipeline/movie_job.h"
#include "pipeline/picture_formats.h"
#include "pipeline/picture_job.h"
#include "pipeline/program_pipe.h"
#include "cli/render_options.h"
#include "image/jpeg_file.h"
#include "render/doppler.h"
#include "colour/spectral_colour.h"
#include "tests/jpeg_test_support.h"
#include "tests/test_support.h"

using namespace test_support;

namespace {

struct decoded_movie {
    bool ok = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t loop_count = 1;
    std::vector<bytes> frames;  // canvas-sized, red, green, blue, alpha
    std::vector<int> timestamps;
};

// Through libwebp's own animation decoder, as a viewer would show it.
decoded_movie decode_movie(const std::string& path)
{
    decoded_movie movie;
    const bytes file = read_file(path);
    const WebPData data{file.data(), file.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return movie;
    WebPAnimInfo info;
    movie.ok = WebPAnimDecoderGetInfo(decoder, &info) != 0;
    movie.width = static_cast<std::int32_t>(info.canvas_width);
    movie.height = static_cast<std::int32_t>(info.canvas_height);
    movie.loop_count = info.loop_count;
    const std::size_t size = std::size_t{4} * info.canvas_width * info.canvas_height;
    while (movie.ok && WebPAnimDecoderHasMoreFrames(decoder)) {
        std::uint8_t* pixels = nullptr;
        int timestamp = 0;
        movie.ok = WebPAnimDecoderGetNext(decoder, &pixels, &timestamp) != 0;
        if (movie.ok) {
            movie.frames.emplace_back(pixels, pixels + size);
            movie.timestamps.push_back(timestamp);
        }
    }
    WebPAnimDecoderDelete(decoder);
    return movie;
}

// The canvas pixels that differ from frame placed at (x0, y0), black around
// it; and the first such, for the message.
std::int64_t misplaced_pixels(const bytes& canvas, std::int32_t width, std::int32_t height, const raster& frame,
                              std::int32_t x0, std::int32_t y0, std::string* first)
{
    std::int64_t wrong = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned char* c = canvas.data() + (static_cast<std::size_t>(y) * width + x) * 4;
            std::vector<unsigned char> expected{0, 0, 0};
            if (x >= x0 && y >= y0 && x - x0 < frame.width && y - y0 < frame.height)
                expected = pixel_at(frame, x - x0, y - y0);
            if (c[0] != expected[2] || c[1] != expected[1] || c[2] != expected[0] || c[3] != 255) {
                if (wrong++ == 0)
                    *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return wrong;
}

struct sweep {
    const char* name;
    std::int32_t direction;
    std::vector<const char*> speeds;  // frame k's --speed
    std::vector<std::pair<std::int32_t, std::int32_t>> observers;  // frame k's --observer
    bool speed_range;
};

}  // namespace

TEST(render_movie, EveryLosslessFrameIsTheSingleRenderInItsPlace)
{
    temp_folder folder;
    const std::string input = folder.path("in.jpg");
    ASSERT_EQ(write_jpeg_file(input.c_str(), f_picture(52, 37), 95).result, 0);
    const raster source = read_jpeg_file(input.c_str()).picture;
    ASSERT_TRUE(source.pixels);
    std::vector<std::string> messages;

    const std::vector<sweep> sweeps = {
        {"speed 0:90", 0, {"0", "45", "90"}, {{5, 20}, {5, 20}, {5, 20}}, true},
        {"speed 90:0", 1, {"90", "45", "0"}, {{30, 3}, {30, 3}, {30, 3}}, true},
        {"observer", 0, {"85", "85", "85"}, {{-10, 4}, {20, 20}, {50, 36}}, false},
        {"observer", 1, {"85", "85", "85"}, {{50, 36}, {20, 20}, {-10, 4}}, false},
    };
    for (const sweep& s : sweeps) {
        SCOPED_TRACE(std::string(s.name) + ", direction " + std::to_string(s.direction));
        render_options options;
        options.input = input;
        options.output = folder.path("movie.webp");
        options.direction = s.direction;
        options.quality = 2;
        options.observer_given = true;
        options.frames = 3;
        options.lossless = true;
        ASSERT_TRUE(parse_speed_percent(s.speeds.front(), &options.speed_fraction));
        ASSERT_TRUE(parse_speed_percent(s.speeds.back(), &options.speed_fraction_to));
        options.speed_range = s.speed_range;
        options.observer_range = !s.speed_range;
        options.observer_x = s.observers.front().first;
        options.observer_y = s.observers.front().second;
        options.observer_x_to = s.observers.back().first;
        options.observer_y_to = s.observers.back().second;
        ASSERT_EQ(render_movie(options, nullptr, &messages), 0) << (messages.empty() ? "" : messages.back());

        // The single renders, and the canvas they share.
        std::vector<render_output> singles;
        double left = 1e300;
        double top = 1e300;
        for (std::size_t k = 0; k < 3; ++k) {
            render_options single = options;
            single.frames = 0;
            ASSERT_TRUE(parse_speed_percent(s.speeds[k], &single.speed_fraction));
            single.observer_x = s.observers[k].first;
            single.observer_y = s.observers[k].second;
            singles.push_back(render_picture(source, settings_for(single, source), [](int, int, std::int32_t) {}));
            left = std::min(left, singles.back().box.min_x);
            top = std::min(top, singles.back().box.min_y);
        }
        std::int32_t right = 0;
        std::int32_t bottom = 0;
        for (const render_output& r : singles) {
            right = std::max(right, static_cast<std::int32_t>(std::lround(r.box.min_x - left)) + r.picture.width);
            bottom = std::max(bottom, static_cast<std::int32_t>(std::lround(r.box.min_y - top)) + r.picture.height);
        }

        const decoded_movie movie = decode_movie(options.output);
        ASSERT_TRUE(movie.ok);
        EXPECT_EQ(movie.width, (right + 3) / 4 * 4);
        EXPECT_EQ(movie.height, bottom);
        EXPECT_EQ(movie.loop_count, 0u);
        // 24 frames a second: each frame's end, in milliseconds.
        EXPECT_EQ(movie.timestamps, (std::vector<int>{42, 83, 125}));
        ASSERT_EQ(movie.frames.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            std::string first;
            EXPECT_EQ(misplaced_pixels(movie.frames[k], movie.width, movie.height, singles[k].picture,
                                       static_cast<std::int32_t>(std::lround(singles[k].box.min_x - left)),
                                       static_cast<std::int32_t>(std::lround(singles[k].box.min_y - top)), &first),
                      0)
                << "frame " << k << ", first at " << first;
        }
    }
}

namespace {

// The mean log2 sRGB luminance of a picture's non-black pixels, bytes in
// blue, green, red order (bgr) or red, green, blue.
double log_average(const unsigned char* pixels, std::size_t count, bool bgr)
{
    double sum = 0.0;
    int n = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const unsigned char* p = pixels + 3 * k;
        if (p[0] == 0 && p[1] == 0 && p[2] == 0)
            continue;
        const double r = srgb_to_linear((bgr ? p[2] : p[0]) / 255.0);
        const double b = srgb_to_linear((bgr ? p[0] : p[2]) / 255.0);
        const double y = 0.2126 * r + 0.7152 * srgb_to_linear(p[1] / 255.0) + 0.0722 * b;
        sum += std::log2(std::max(y, 1e-4));  // black counts as about byte 0.5
        ++n;
    }
    return sum / n;
}

}  // namespace

// With --doppler each frame is metered on its own and the exposures and
// curves are eased between neighbouring frames: each frame is its single
// render coloured with those settings. In a sweep of 24 frames from 0 to
// 90 % the frame at speed 0 looks as the photo does (its log-average within
// a quarter stop of the photo drawn at speed 0), every frame keeps the
// photo's key, and the exposure changes smoothly, never turning back.
TEST(render_movie, ADopplerMovieMetersEachFrameAndEasesBetweenThem)
{
    temp_folder folder;
    const std::string input = folder.path("in.jpg");
    ASSERT_EQ(write_jpeg_file(input.c_str(), gradient_picture(45, 31), 95).result, 0);
    constexpr std::int32_t frames = 24;
    const parse_result parsed = [&] {
        const std::string output = folder.path("movie.webp");
        const char* argv[] = {"lumirun-render", input.c_str(), output.c_str(), "--frames", "24", "--speed", "0:90",
                              "--observer", "20,15", "--doppler", "--lossless"};
        return parse_render_arguments(11, argv);
    }();
    ASSERT_EQ(parsed.outcome, parse_outcome::run) << parsed.error;
    std::vector<std::string> messages;
    ASSERT_EQ(render_movie(parsed.options, nullptr, &messages), 0) << (messages.empty() ? "" : messages.back());
    // The source as the movie job reads it: 45 columns, not the raster's 48.
    raster source;
    ASSERT_TRUE(read_picture(parsed.options, &source, &messages));

    std::vector<render_output> singles;
    std::vector<render_settings> settings;
    std::vector<colour_shift_settings> colours;
    colour_table_cache tables;
    for (std::int32_t k = 0; k < frames; ++k) {
        settings.push_back(movie_frame_settings(parsed.options, source, k));
        ask_for_seen_light(parsed.options, &tables, &settings.back());
        singles.push_back(render_picture(source, settings.back(), [](int, int, std::int32_t) {}));
        const render_output& r = singles.back();
        doppler_statistics statistics;
        ASSERT_TRUE(measure_doppler(r.picture, colour_source(r, settings[k]),
                                    view_parameters{settings[k].observer, motion_for_speed(settings[k].speed)},
                                    settings[k].direction, parsed.options.colour, &statistics));
        colours.push_back(settle_exposure(parsed.options.colour, statistics));
    }
    colours = ease_between_frames(colours);
    double left = 1e300;
    double top = 1e300;
    for (std::int32_t k = 0; k < frames; ++k) {
        render_output& r = singles[k];
        ASSERT_TRUE(apply_doppler(&r.picture, colour_source(r, settings[k]),
                                  view_parameters{settings[k].observer, motion_for_speed(settings[k].speed)},
                                  settings[k].direction, colours[k]));
        left = std::min(left, r.box.min_x);
        top = std::min(top, r.box.min_y);
    }
    const decoded_movie movie = decode_movie(parsed.options.output);
    ASSERT_TRUE(movie.ok);
    ASSERT_EQ(movie.frames.size(), static_cast<std::size_t>(frames));
    // The photo as the renderer draws it at speed 0, before the colour pass.
    const render_output photo_drawn = render_picture(source, settings[0], [](int, int, std::int32_t) {});
    const double photo = log_average(photo_drawn.picture.pixels.get(),
                                     static_cast<std::size_t>(photo_drawn.picture.width) * photo_drawn.picture.height,
                                     true);
    std::vector<double> shown;
    for (std::int32_t k = 0; k < frames; ++k) {
        std::string first;
        EXPECT_EQ(misplaced_pixels(movie.frames[k], movie.width, movie.height, singles[k].picture,
                                   static_cast<std::int32_t>(std::lround(singles[k].box.min_x - left)),
                                   static_cast<std::int32_t>(std::lround(singles[k].box.min_y - top)), &first),
                  0)
            << "frame " << k << ", first at " << first;
        shown.push_back(log_average(singles[k].picture.pixels.get(),
                                    static_cast<std::size_t>(singles[k].picture.width) * singles[k].picture.height,
                                    true));
        std::printf("frame %d: log-average %.3f stops from the photo's\n", k, shown.back() - photo);
    }
    EXPECT_NEAR(shown[0], photo, 0.25);
    // The picture's key kept within what the dark end's bytes round away.
    for (std::int32_t k = 0; k < frames; ++k)
        EXPECT_NEAR(shown[k], photo, 0.75) << "frame " << k;
    // The gain at the photo's key climbs with the speed, never back by a
    // visible step (a tenth of a stop; the frames' edges come and go): no
    // flicker.
    std::vector<double> gain;
    for (const colour_shift_settings& c : colours)
        gain.push_back(c.exposure + (c.contrast - 1.0) * (photo - c.pivot));
    for (std::int32_t k = 1; k + 1 < frames; ++k)
        EXPECT_GE(gain[k + 1] - gain[k], -0.1) << "frame " << k;
}

// A WebP movie that cannot be put in place leaves what was there, and no
// stray file; a frame sequence keeps the frames before the one that failed.
TEST(render_movie, FailuresLeaveNoHalfWrittenFile)
{
    temp_folder folder;
    render_options options;
    options.input = folder.path("in.jpg");
    ASSERT_EQ(write_jpeg_file(options.input.c_str(), gradient_picture(24, 17), 95).result, 0);
    options.frames = 3;
    options.speed_range = true;
    options.speed_fraction_to = 0.9f;

    // A folder where the movie should go: found only when the file is done.
    options.output = folder.path("movie.webp");
    ASSERT_TRUE(std::filesystem::create_directory(options.output));
    std::vector<std::string> messages;
    EXPECT_EQ(render_movie(options, nullptr, &messages), 1);
    EXPECT_EQ(messages.back(), "Error saving file " + options.output + ".");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.jpg", "movie.webp"}));
    EXPECT_TRUE(std::filesystem::is_empty(options.output));

    // A folder that appears where frame 1 goes once frame 1 renders, after
    // the check of every name before the work.
    options.output = folder.path("frame-%02d.jpg");
    struct make_folder_at_frame_1 : job_progress {
        std::string path;
        void update_movie(bool measuring, int frame, int, int, int) override
        {
            if (!measuring && frame == 1 && !std::filesystem::exists(path))
                std::filesystem::create_directory(path);
        }
    } hook;
    hook.path = folder.path("frame-01.jpg");
    messages.clear();
    EXPECT_EQ(render_movie(options, &hook, &messages), 1);
    EXPECT_EQ(messages.back(), "Error saving file " + folder.path("frame-01.jpg")
                                   + " (frame 1); the frames before it are written.");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"frame-00.jpg", "frame-01.jpg", "in.jpg", "movie.webp"}));
}

namespace {

// A small movie of a 24 by 17 picture into folder, 3 frames.
render_options small_movie(const temp_folder& folder, const std::string& output)
{
    render_options options;
    options.input = folder.path("in.jpg");
    EXPECT_EQ(write_jpeg_file(options.input.c_str(), gradient_picture(24, 17), 95).result, 0);
    options.output = folder.path(output);
    options.frames = 3;
    options.speed_range = true;
    options.speed_fraction_to = 0.9f;
    options.lossless = true;
    return options;
}

// The frames pass 1 measured.
struct measured_frames : job_progress {
    std::vector<int> frames;
    void update_movie(bool measuring, int frame, int, int, int) override
    {
        if (measuring && (frames.empty() || frames.back() != frame))
            frames.push_back(frame);
    }
};

}  // namespace

// The memory of the whole movie is one sum (two canvases, the largest frame
// and the encoder's buffers) against what can be had, here a bound that
// each canvas alone would pass.
TEST(render_movie, MemoryIsCheckedAsOneSum)
{
    temp_folder folder;
    const render_options options = small_movie(folder, "movie.webp");
    std::vector<std::string> messages;
    ASSERT_EQ(render_movie(options, nullptr, &messages), 0);
    const decoded_movie movie = decode_movie(options.output);
    ASSERT_TRUE(movie.ok);
    const std::uint64_t canvas = std::uint64_t{3} * movie.width * movie.height;
    std::filesystem::remove(options.output);

    movie_limits limits;
    limits.memory = 2 * canvas;
    EXPECT_EQ(render_movie(options, nullptr, &messages, nullptr, limits), 1);
    EXPECT_EQ(messages.back(), "Error: Not enough memory for the movie: its " + std::to_string(movie.width) + " by "
                                   + std::to_string(movie.height) + " canvas needs 1 MB (two canvases, the largest"
                                   " frame and the encoder's buffers), and 1 MB can be had.");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.jpg"}));
    limits.memory = 2 * canvas + canvas + webp_encoder_memory(movie.width, movie.height, true);
    EXPECT_EQ(render_movie(options, nullptr, &messages, nullptr, limits), 0);
}

// An animated WebP whose file would pass the format's size is refused, and
// the file of that name stays as it was.
TEST(render_movie, WebPFileOverItsSizeIsNeverWritten)
{
    temp_folder folder;
    const render_options options = small_movie(folder, "movie.webp");
    write_file(options.output, {'o', 'l', 'd'});
    movie_limits limits;
    limits.webp_file_bytes = 1000;
    std::vector<std::string> messages;
    EXPECT_EQ(render_movie(options, nullptr, &messages, nullptr, limits), 1);
    ASSERT_EQ(messages.size(), 2u);
    const std::string start = "Error: Can't write file " + options.output + ": the movie would be ";
    EXPECT_EQ(messages[0].compare(0, start.size(), start), 0) << messages[0];
    EXPECT_NE(messages[0].find(" bytes, and a WebP file holds at most 1000."), std::string::npos) << messages[0];
    EXPECT_EQ(messages[1], "Error saving file " + options.output + ".");
    EXPECT_EQ(read_file(options.output), (bytes{'o', 'l', 'd'}));
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.jpg", "movie.webp"}));
}

// The page's movie: in memory and on one thread, the file's bytes (here
// with the exposure settled over every frame); refused as the file would be,
// with no bytes.
TEST(render_movie, InMemoryOnOneThreadItHasTheFileBytes)
{
    temp_folder folder;
    render_options options = small_movie(folder, "movie.webp");
    options.lossless = false;
    options.doppler = true;
    options.colour.auto_exposure = true;
    std::vector<std::string> messages;
    ASSERT_EQ(render_movie(options, nullptr, &messages), 0);
    raster source;
    ASSERT_TRUE(open_source(options, &source, &messages));
    options.threads = 1;
    bytes webp;
    ASSERT_EQ(render_movie_to_memory(source, options, &webp, nullptr, &messages), 0);
    EXPECT_EQ(webp, read_file(options.output));

    movie_limits limits;
    limits.webp_file_bytes = 100;
    webp.clear();
    EXPECT_EQ(render_movie_to_memory(source, options, &webp, nullptr, &messages, limits), 1);
    EXPECT_TRUE(webp.empty());
    EXPECT_EQ(messages.back(), "Error saving file " + options.output + ".");
}

// The page's videos: frames made one at a time are the lossless WebP
// movie's canvases pixel for pixel; a canvas beyond the memory is refused.
TEST(render_movie, FramesMadeOneAtATimeAreTheLosslessMovieCanvases)
{
    temp_folder folder;
    render_options options = small_movie(folder, "movie.webp");
    std::vector<std::string> messages;
    ASSERT_EQ(render_movie(options, nullptr, &messages), 0);
    const decoded_movie movie = decode_movie(options.output);
    ASSERT_TRUE(movie.ok);
    raster source;
    ASSERT_TRUE(open_source(options, &source, &messages));
    movie_frame_maker maker(source, options, nullptr, &messages);
    ASSERT_TRUE(maker.ok());
    for (std::int32_t frame = 0; frame < options.frames; ++frame) {
        ASSERT_TRUE(maker.make(frame, &messages));
        const raster& canvas = maker.canvas();
        ASSERT_EQ(image_width_of(canvas), movie.width);
        ASSERT_EQ(canvas.height, movie.height);
        EXPECT_GE(maker.place().x, 0);
        EXPECT_GE(maker.place().y, 0);
        const bytes& frame_pixels = movie.frames[static_cast<std::size_t>(frame)];
        std::int64_t differ = 0;
        for (std::int32_t y = 0; y < movie.height; ++y)
            for (std::int32_t x = 0; x < movie.width; ++x)
                for (int c = 0; c < 3; ++c)
                    differ += canvas.pixels[3 * (std::size_t{1} * y * canvas.width + x) + c]
                              != frame_pixels[4 * (std::size_t{1} * y * movie.width + x) + 2 - c];
        EXPECT_EQ(differ, 0) << "frame " << frame;
    }
    EXPECT_TRUE(messages.empty());

    movie_limits limits;
    limits.memory = 1000;
    const movie_frame_maker refused(source, options, nullptr, &messages, limits);
    EXPECT_FALSE(refused.ok());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error: Not enough memory for the movie: ", 0), 0u) << messages[0];
}

// Measuring stops at the first frame that makes the canvas too wide, and
// nothing is written.
TEST(render_movie, CanvasTooLargeIsFoundAtTheFirstFrameThatMakesIt)
{
    temp_folder folder;
    render_options options;
    options.input = jpeg_test_image("testorig.jpg");
    options.frames = 20;
    options.speed_range = true;
    ASSERT_TRUE(parse_speed_percent("99.999", &options.speed_fraction));
    for (const char* output : {"wide.webp", "wide-%02d.jpg"}) {
        SCOPED_TRACE(output);
        options.output = folder.path(output);
        if (options.output.back() == 'g') {  // a JPEG frame holds 65500 pixels on a side
            ASSERT_TRUE(parse_speed_percent("99.99999", &options.speed_fraction));
        }
        measured_frames measured;
        std::vector<std::string> messages;
        EXPECT_EQ(render_movie(options, &measured, &messages), 1);
        EXPECT_EQ(measured.frames, (std::vector<int>{0}));
        ASSERT_FALSE(messages.empty());
        EXPECT_NE(messages.back().find("on a side: "), std::string::npos) << messages.back();
        EXPECT_NE(messages.back().find(" pixels at frame 0 of 20, with the other frames still to come."),
                  std::string::npos)
            << messages.back();
        EXPECT_TRUE(folder.entries().empty());
    }
}

// --doppler's colour table is built once while the speed stays.
TEST(render_movie, ColourTableIsBuiltOncePerSpeed)
{
    temp_folder folder;
    render_options options = small_movie(folder, "movie.webp");
    options.doppler = true;
    options.speed_range = false;
    options.speed_fraction = 0.6f;
    options.observer_range = true;
    options.observer_given = true;
    options.observer_x_to = 20;
    options.observer_y_to = 10;
    std::vector<std::string> messages;
    movie_timing timing;
    ASSERT_EQ(render_movie(options, nullptr, &messages, &timing), 0);
    EXPECT_EQ(timing.colour_tables, 1);
    options.speed_range = true;  // 60 % to 90 %: three speeds
    ASSERT_EQ(render_movie(options, nullptr, &messages, &timing), 0);
    EXPECT_EQ(timing.colour_tables, 3);
}

#ifndef _WIN32
// A program that writes more to its standard error than a pipe holds before
// it reads its input: its messages are read while the frames are written,
// so that neither side waits for the other, and their last 64 KiB kept.
TEST(program_pipe, ReadsTheMessagesWhileTheInputIsWritten)
{
    program_pipe program;
    std::string reason;
    const std::string script = "i=0; while [ $i -lt 4000 ]; do echo \"line $i of the messages\" >&2; i=$((i+1)); done;"
                               " cat > /dev/null; printf 'last\\033[0m' >&2; exit 3";
    ASSERT_TRUE(program.start("/bin/sh", {"-c", script}, &reason)) << reason;
    const std::string frame(1 << 20, 'x');
    for (int k = 0; k < 4; ++k)
        ASSERT_EQ(std::fwrite(frame.data(), 1, frame.size(), program.input()), frame.size());
    EXPECT_EQ(program.finish(), 3);
    EXPECT_EQ(program.messages().size(), 65536u);
    EXPECT_EQ(last_lines(program.messages(), 2), "line 3999 of the messages / last\\x1b[0m");
    // A program that cannot run is told at once, with the system's reason.
    program_pipe missing;
    EXPECT_FALSE(missing.start("/nonexistent/ffmpeg", {}, &reason));
    EXPECT_EQ(reason, "No such file or directory");
}
#endif

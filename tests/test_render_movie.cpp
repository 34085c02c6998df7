// lumirun-render's movies: every frame of a lossless WebP is, in its place on
// the shared canvas, the single render with that frame's settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <webp/demux.h>

#include "pipeline/doppler_map.h"
#include "pipeline/movie_job.h"
#include "pipeline/picture_formats.h"
#include "pipeline/picture_job.h"
#include "pipeline/program_pipe.h"
#include "cli/render_options.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"
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

// Where each single render sits on the movie's canvas, and the canvas's
// size: as large as the largest frame, each frame's offset in the union of
// the boxes (rounded) scaled to the room the canvas leaves it.
struct expected_canvas {
    std::int32_t width = 0;  // the picture's own columns
    std::int32_t height = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> places;
};

expected_canvas canvas_of(const std::vector<render_output>& singles)
{
    expected_canvas canvas;
    double left = 1e300;
    double top = 1e300;
    for (const render_output& r : singles) {
        left = std::min(left, r.box.min_x);
        top = std::min(top, r.box.min_y);
        canvas.width = std::max(canvas.width, image_width_of(r.picture));
        canvas.height = std::max(canvas.height, r.picture.height);
    }
    double across = 0.0;
    double down = 0.0;
    for (const render_output& r : singles) {
        across = std::max(across, std::round(r.box.min_x - left) + image_width_of(r.picture));
        down = std::max(down, std::round(r.box.min_y - top) + r.picture.height);
    }
    const auto squeeze = [](double in_union, double whole, std::int32_t size, std::int32_t room) {
        return whole > size ? static_cast<std::int32_t>(std::lround(in_union * (room - size) / (whole - size))) : 0;
    };
    for (const render_output& r : singles)
        canvas.places.emplace_back(
            squeeze(std::round(r.box.min_x - left), across, image_width_of(r.picture), canvas.width),
            squeeze(std::round(r.box.min_y - top), down, r.picture.height, canvas.height));
    return canvas;
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
        for (std::size_t k = 0; k < 3; ++k) {
            render_options single = options;
            single.frames = 0;
            ASSERT_TRUE(parse_speed_percent(s.speeds[k], &single.speed_fraction));
            single.observer_x = s.observers[k].first;
            single.observer_y = s.observers[k].second;
            singles.push_back(render_picture(source, settings_for(single, source), [](int, int, std::int32_t) {}));
        }
        const expected_canvas canvas = canvas_of(singles);

        const decoded_movie movie = decode_movie(options.output);
        ASSERT_TRUE(movie.ok);
        EXPECT_EQ(movie.width, (canvas.width + 3) / 4 * 4);
        EXPECT_EQ(movie.height, canvas.height);
        EXPECT_EQ(movie.loop_count, 0u);
        // 24 frames a second: each frame's end, in milliseconds.
        EXPECT_EQ(movie.timestamps, (std::vector<int>{42, 83, 125}));
        ASSERT_EQ(movie.frames.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            std::string first;
            EXPECT_EQ(misplaced_pixels(movie.frames[k], movie.width, movie.height, singles[k].picture,
                                       canvas.places[k].first, canvas.places[k].second, &first),
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
    for (std::int32_t k = 0; k < frames; ++k) {
        render_output& r = singles[k];
        ASSERT_TRUE(apply_doppler(&r.picture, colour_source(r, settings[k]),
                                  view_parameters{settings[k].observer, motion_for_speed(settings[k].speed)},
                                  settings[k].direction, colours[k]));
    }
    const expected_canvas canvas = canvas_of(singles);
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
                                   canvas.places[k].first, canvas.places[k].second, &first),
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

// --size: a picture red above and blue below, at speed 0. Fit shrinks the
// largest frame to the size and centres it between black bars, its rows
// averaged; fill enlarges it to cover the size and crops it about the
// observer, whose half is all that shows (the row at the other half's edge
// interpolated a quarter of the way to it).
TEST(render_movie, SizeFitsOrFillsEveryFrame)
{
    temp_folder folder;
    const std::string input = folder.path("in.png");
    raster halves = allocate_raster(40, 32);
    for (std::int32_t y = 0; y < 32; ++y)
        for (std::int32_t x = 0; x < 40; ++x)
            halves.pixels[(static_cast<std::size_t>(y) * 40 + x) * 3 + (y < 16 ? 2 : 0)] = 255;
    {
        std::FILE* file = std::fopen(input.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::string reason;
        EXPECT_TRUE(write_png(file, halves, &reason)) << reason;
        ASSERT_EQ(std::fclose(file), 0);
    }
    struct framing_case {
        const char* size;
        const char* framing;
        const char* observer;
    };
    const std::string bar(20, 'k');
    const std::string red = bar + std::string(20, 'r') + bar;
    const std::string blue = bar + std::string(20, 'b') + bar;
    const std::vector<framing_case> cases = {
        {"60x16", "--fit", "0,16"},
        {"80x32", "--fill", "0,4"},
        {"80x32", "--fill", "0,28"},
    };
    for (const framing_case& c : cases) {
        SCOPED_TRACE(std::string(c.size) + " " + c.framing + ", observer " + c.observer);
        const std::string output = folder.path("movie.webp");
        const char* argv[] = {"lumirun-render", input.c_str(), output.c_str(), "--duration", "0.1", "--fps", "20",
                              "--speed", "0:0", "--observer", c.observer, "--size", c.size, c.framing, "--lossless"};
        const parse_result parsed = parse_render_arguments(15, argv);
        ASSERT_EQ(parsed.outcome, parse_outcome::run) << parsed.error;
        std::vector<std::string> messages;
        ASSERT_EQ(render_movie(parsed.options, nullptr, &messages), 0) << (messages.empty() ? "" : messages.back());
        const decoded_movie movie = decode_movie(output);
        ASSERT_TRUE(movie.ok);
        // 0.1 s at 20 frames a second; the animation keeps the second,
        // which is the first, as a longer first frame.
        EXPECT_EQ(parsed.options.frames, 2);
        ASSERT_EQ(movie.frames.size(), 1u);
        std::int32_t width = 0, height = 0;
        ASSERT_TRUE(parse_movie_size(c.size, &width, &height));
        ASSERT_EQ(movie.width, width);
        ASSERT_EQ(movie.height, height);
        for (const bytes& frame : movie.frames) {
            // Each pixel as a letter: k black, r red, b blue, R and B a
            // quarter of the other mixed in.
            std::string seen;
            for (std::int32_t y = 0; y < height; ++y) {
                for (std::int32_t x = 0; x < width; ++x) {
                    const unsigned char* p = frame.data() + (static_cast<std::size_t>(y) * width + x) * 4;
                    seen += p[0] == 0 && p[1] == 0 && p[2] == 0 ? 'k'
                            : p[0] == 255 && p[1] == 0 && p[2] == 0 ? 'r'
                            : p[0] == 0 && p[1] == 0 && p[2] == 255 ? 'b'
                            : p[0] == 191 && p[1] == 0 && p[2] == 64 ? 'R'
                            : p[0] == 64 && p[1] == 0 && p[2] == 191 ? 'B'
                                                                  : '?';
                }
            }
            const bool fit = std::string(c.framing) == "--fit";
            const bool top = std::string(c.observer) == "0,4";
            std::string expected;
            for (std::int32_t y = 0; y < height; ++y)
                expected += fit   ? (y < 8 ? red : blue)
                            : top ? std::string(80, y < 31 ? 'r' : 'R')
                                  : std::string(80, y > 0 ? 'b' : 'B');
            EXPECT_EQ(seen, expected);
        }
    }
}

// --doppler-map: every pixel the colour of the D the colour pass takes
// (the smooth renderer's, at the pixel's centre), grey at speed 0, the
// scale's ends where D passes 8 or 1/8, and the legend along the bottom:
// the bar from 1/8 to 8, white ticks. A movie's frames carry it too.
TEST(render_movie, DopplerMapShowsEachPixelsFactorAndALegend)
{
    temp_folder folder;
    const std::string input = folder.path("in.jpg");
    ASSERT_EQ(write_jpeg_file(input.c_str(), f_picture(160, 120), 95).result, 0);
    const auto rgb = [](const raster& r, std::int32_t x, std::int32_t y) {
        const std::vector<unsigned char> bgr = pixel_at(r, x, y);
        return std::array<unsigned char, 3>{bgr[2], bgr[1], bgr[0]};
    };
    const auto as_rgb = [](const std::array<unsigned char, 3>& bgr) {
        return std::array<unsigned char, 3>{bgr[2], bgr[1], bgr[0]};
    };
    using colour = std::array<unsigned char, 3>;
    EXPECT_EQ(as_rgb(doppler_map_colour(1.0)), (colour{128, 128, 128}));
    EXPECT_EQ(as_rgb(doppler_map_colour(8.0)), (colour{0, 64, 255}));
    EXPECT_EQ(as_rgb(doppler_map_colour(100.0)), (colour{0, 64, 255}));
    EXPECT_EQ(as_rgb(doppler_map_colour(0.125)), (colour{255, 32, 0}));
    EXPECT_EQ(as_rgb(doppler_map_colour(2.0)), (colour{85, 107, 170}));  // a third of the way to blue
    EXPECT_EQ(as_rgb(doppler_map_colour(0.5)), (colour{170, 96, 85}));

    for (const char* speed : {"0", "99"}) {
        SCOPED_TRACE(std::string("speed ") + speed);
        const std::string output = folder.path(std::string("map-") + speed + ".png");
        const char* argv[] = {"lumirun-render", input.c_str(), output.c_str(), "--speed", speed, "--doppler-map"};
        const parse_result parsed = parse_render_arguments(6, argv);
        ASSERT_EQ(parsed.outcome, parse_outcome::run) << parsed.error;
        std::vector<std::string> messages;
        ASSERT_EQ(render_file(parsed.options, nullptr, &messages), 0);
        render_options reading = parsed.options;
        reading.input = output;
        raster map;
        ASSERT_TRUE(open_source(reading, &map, &messages));
        raster source;
        ASSERT_TRUE(open_source(parsed.options, &source, &messages));
        const render_settings settings = settings_for(parsed.options, source);
        const render_output rendered = render_picture(source, settings, [](int, int, std::int32_t) {});
        const std::int32_t width = image_width_of(map);
        ASSERT_EQ(width, image_width_of(rendered.picture));
        ASSERT_EQ(map.height, rendered.picture.height);
        const view_parameters view{settings.observer, motion_for_speed(settings.speed)};
        std::int64_t wrong = 0;
        std::int64_t ends[2] = {0, 0};
        const std::int32_t legend_top = map.height - doppler_legend_height;
        for (std::int32_t y = 0; y < legend_top; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::vector<unsigned char> drawn = pixel_at(rendered.picture, x, y);
                colour expected{0, 0, 0};
                if (drawn != std::vector<unsigned char>{0, 0, 0}) {
                    const double d = doppler_factor(
                        view.motion, doppler_cosine(view, settings.direction, x + 0.5 + rendered.box.min_x,
                                                    y + 0.5 + rendered.box.min_y));
                    expected = as_rgb(doppler_map_colour(d));
                    ends[0] += d <= 0.125;
                    ends[1] += d >= 8.0;
                }
                wrong += rgb(map, x, y) != expected;
                if (speed[0] == '0')
                    wrong += expected != colour{0, 0, 0} && expected != colour{128, 128, 128};
            }
        }
        EXPECT_EQ(wrong, 0);
        if (speed[0] == '9') {
            EXPECT_GT(ends[0], 0);
            EXPECT_GT(ends[1], 0);
        }
        // The legend: the bar's ends, the ticks under 1 and 8, black
        // between them.
        EXPECT_EQ(rgb(map, 0, legend_top), (colour{255, 32, 0}));
        EXPECT_EQ(rgb(map, width - 1, legend_top + 7), (colour{0, 64, 255}));
        EXPECT_EQ(rgb(map, width - 1, legend_top + 8), (colour{255, 255, 255}));
        EXPECT_EQ(rgb(map, (3 * (width - 1) + 3) / 6, legend_top + 8), (colour{255, 255, 255}));
        EXPECT_EQ(rgb(map, width - 3, legend_top + 8), (colour{0, 0, 0}));
    }

    // A movie: each frame's legend at the foot of the canvas.
    const std::string movie_name = folder.path("map.webp");
    const char* argv[] = {"lumirun-render", input.c_str(), movie_name.c_str(), "--frames", "2", "--speed", "0:90",
                          "--doppler-map", "--lossless"};
    const parse_result parsed = parse_render_arguments(9, argv);
    ASSERT_EQ(parsed.outcome, parse_outcome::run) << parsed.error;
    std::vector<std::string> messages;
    ASSERT_EQ(render_movie(parsed.options, nullptr, &messages), 0);
    const decoded_movie movie = decode_movie(movie_name);
    ASSERT_TRUE(movie.ok);
    ASSERT_EQ(movie.frames.size(), 2u);
    for (const bytes& frame : movie.frames) {
        const unsigned char* left = frame.data() + static_cast<std::size_t>(movie.height - 16) * movie.width * 4;
        EXPECT_EQ((colour{left[0], left[1], left[2]}), (colour{255, 32, 0}));
    }
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

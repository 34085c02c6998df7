// lumirun-render's command line and progress bar.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/render_options.h"

namespace {

parse_result parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "lumirun-render");
    return parse_render_arguments(static_cast<int>(arguments.size()), arguments.data());
}

}  // namespace

TEST(render_arguments, DefaultsAreThoseAfterAnOpen)
{
    const parse_result result = parse({"in.jpg", "out.jpg"});
    ASSERT_EQ(result.outcome, parse_outcome::run);
    EXPECT_EQ(result.options.input, "in.jpg");
    EXPECT_EQ(result.options.output, "out.jpg");
    EXPECT_EQ(result.options.speed_fraction, 0.5f);
    EXPECT_EQ(result.options.direction, 0);
    EXPECT_EQ(result.options.method, render_method::smooth);
    EXPECT_FALSE(result.options.observer_given);
    EXPECT_FALSE(result.options.quiet);
    EXPECT_FALSE(result.options.doppler);
    EXPECT_EQ(result.options.colour.mode, doppler_mode::colour_and_brightness);
    EXPECT_EQ(result.options.colour.temperature, 6500.0);
    EXPECT_EQ(result.options.colour.exposure, 0.0);
    EXPECT_EQ(result.options.colour.tone, tone_map::clip);
}

TEST(render_arguments, EveryOptionInBothFormsAndInAnyPlace)
{
    const parse_result result = parse({"--speed", "80", "in.jpg", "--direction=straight-at-it", "--quality", "ultra",
                                       "out.jpg", "--observer=-3,250", "--quiet", "--doppler=colour",
                                       "--temperature", "5000", "--exposure=-1.5", "--tonemap", "reinhard"});
    ASSERT_EQ(result.outcome, parse_outcome::run) << result.error;
    EXPECT_EQ(result.options.input, "in.jpg");
    EXPECT_EQ(result.options.output, "out.jpg");
    EXPECT_EQ(result.options.speed_fraction, static_cast<float>(0.8));
    EXPECT_EQ(result.options.direction, 2);
    EXPECT_EQ(result.options.method, render_method::exact);
    EXPECT_EQ(result.options.quality, 4);
    EXPECT_TRUE(result.options.observer_given);
    EXPECT_EQ(result.options.observer_x, -3);
    EXPECT_EQ(result.options.observer_y, 250);
    EXPECT_TRUE(result.options.quiet);
    EXPECT_TRUE(result.options.doppler);
    EXPECT_EQ(result.options.colour.mode, doppler_mode::colour_only);
    EXPECT_EQ(result.options.colour.temperature, 5000.0);
    EXPECT_EQ(result.options.colour.exposure, -1.5);
    EXPECT_FALSE(result.options.colour.auto_exposure);
    EXPECT_EQ(result.options.colour.tone, tone_map::reinhard);

    const parse_result full = parse({"in.jpg", "--doppler=colour", "out.jpg", "--doppler"});
    ASSERT_EQ(full.outcome, parse_outcome::run) << full.error;
    EXPECT_TRUE(full.options.doppler);
    EXPECT_EQ(full.options.colour.mode, doppler_mode::colour_and_brightness);  // the last one given
    EXPECT_TRUE(full.options.colour.auto_exposure);  // the default with --doppler
    EXPECT_EQ(full.options.colour.tone, tone_map::compress);  // the default with --doppler
    const parse_result automatic = parse({"in.jpg", "out.jpg", "--doppler", "--exposure", "2", "--exposure=auto"});
    ASSERT_EQ(automatic.outcome, parse_outcome::run) << automatic.error;
    EXPECT_TRUE(automatic.options.colour.auto_exposure);

    EXPECT_EQ(full.options.effects, relativity_effects::all);  // the default
    const parse_result effects = parse({"in.jpg", "out.jpg", "--effects=contraction", "--effects", "light-time",
                                        "--doppler"});
    ASSERT_EQ(effects.outcome, parse_outcome::run) << effects.error;
    EXPECT_EQ(effects.options.effects, relativity_effects::light_time);  // the last one given

    const parse_result dashed = parse({"--", "-in.jpg", "--out.jpg"});
    ASSERT_EQ(dashed.outcome, parse_outcome::run);
    EXPECT_EQ(dashed.options.input, "-in.jpg");
    EXPECT_EQ(dashed.options.output, "--out.jpg");

    EXPECT_EQ(parse({"in.jpg", "--help", "--speed", "bad"}).outcome, parse_outcome::help);
    EXPECT_EQ(parse({"-h"}).outcome, parse_outcome::help);
    // Like --help, --version answers whatever else the line holds.
    EXPECT_EQ(parse({"in.jpg", "--version", "--bogus"}).outcome, parse_outcome::version);
    EXPECT_EQ(parse({"--", "--version", "out.jpg"}).outcome, parse_outcome::run);
}

// The dialog's "Apply" rule: q = x / 100 taken when q >= 0 and, rounded to
// single precision, below 1.
TEST(render_arguments, SpeedFollowsTheApplyRuleButStrictly)
{
    float speed = -1.0f;
    EXPECT_TRUE(parse_speed_percent("75", &speed));
    EXPECT_EQ(speed, 0.75f);
    EXPECT_TRUE(parse_speed_percent("50%", &speed));
    EXPECT_EQ(speed, 0.5f);
    EXPECT_TRUE(parse_speed_percent("0", &speed));
    EXPECT_EQ(speed, 0.0f);
    EXPECT_TRUE(parse_speed_percent("99.99999", &speed));
    EXPECT_EQ(speed, static_cast<float>(0.9999999));
    EXPECT_LT(speed, 1.0f);
    EXPECT_TRUE(parse_speed_percent("2.5e1", &speed));
    EXPECT_EQ(speed, 0.25f);

    speed = 0.125f;
    for (const char* refused : {"100", "99.999999", "-5", "-0.001", "abc", "", " 50", "50 ", "50abc", "%", "nan",
                                "inf", "1e400"}) {
        EXPECT_FALSE(parse_speed_percent(refused, &speed)) << refused;
        EXPECT_EQ(speed, 0.125f) << refused;
    }
}

TEST(render_arguments, DirectionAndQualityByNumberOrName)
{
    std::int32_t value = -1;
    const std::vector<std::pair<const char*, int>> directions = {
        {"0", 0}, {"1", 1}, {"2", 2}, {"left-to-right", 0}, {"top-to-bottom", 1}, {"straight-at-it", 2}};
    for (const auto& [text, expected] : directions) {
        EXPECT_TRUE(parse_direction(text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    const std::vector<std::pair<const char*, int>> qualities = {{"1", 1}, {"2", 2},      {"3", 3},    {"4", 4},
                                                                {"low", 1}, {"medium", 2}, {"high", 3}, {"ultra", 4}};
    for (const auto& [text, expected] : qualities) {
        EXPECT_TRUE(parse_quality(text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* refused : {"3", "-1", "00", "left", "Left-To-Right", ""})
        EXPECT_FALSE(parse_direction(refused, &value)) << refused;
    for (const char* refused : {"0", "5", "Low", "ultra-high", "1.0"})
        EXPECT_FALSE(parse_quality(refused, &value)) << refused;
    // smooth is the other renderer; the exact one keeps the quality given.
    render_method method = render_method::exact;
    EXPECT_TRUE(parse_render_quality("smooth", &method, &value) && method == render_method::smooth);
    EXPECT_TRUE(parse_render_quality("high", &method, &value) && method == render_method::exact && value == 3);
    EXPECT_FALSE(parse_render_quality("Smooth", &method, &value));
}

TEST(render_arguments, ObserverIsTwoWholeNumbers)
{
    std::int32_t x = 0, y = 0;
    EXPECT_TRUE(parse_observer("120,-7", &x, &y));
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, -7);
    EXPECT_TRUE(parse_observer("-2147483648,2147483647", &x, &y));
    EXPECT_EQ(x, INT32_MIN);
    EXPECT_EQ(y, INT32_MAX);
    for (const char* refused : {"10", "10,", ",5", "a,b", "1,2,3", "1.5,2", "2147483648,0", "1, 2"})
        EXPECT_FALSE(parse_observer(refused, &x, &y)) << refused;
}

TEST(render_arguments, ColourSettingsWithinTheirRanges)
{
    double value = -1.0;
    const std::vector<std::pair<const char*, double>> temperatures = {{"1000", 1000.0}, {"40000", 40000.0},
                                                                      {"6500.5", 6500.5}, {"3e3", 3000.0}};
    for (const auto& [text, expected] : temperatures) {
        EXPECT_TRUE(parse_temperature(text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    const std::vector<std::pair<const char*, double>> exposures = {{"0", 0.0}, {"-20", -20.0}, {"20", 20.0},
                                                                   {"+1.25", 1.25}, {".5", 0.5}};
    for (const auto& [text, expected] : exposures) {
        EXPECT_TRUE(parse_exposure(text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    value = 7.0;
    for (const char* refused : {"999.9", "40000.1", "-6500", "", " 6500", "6500K", "nan", "inf"})
        EXPECT_FALSE(parse_temperature(refused, &value)) << refused;
    for (const char* refused : {"20.01", "-21", "1e400", "one", "1 "})
        EXPECT_FALSE(parse_exposure(refused, &value)) << refused;
    EXPECT_EQ(value, 7.0);
    tone_map tone = tone_map::reinhard;
    EXPECT_TRUE(parse_tone_map("clip", &tone));
    EXPECT_EQ(tone, tone_map::clip);
    EXPECT_TRUE(parse_tone_map("reinhard", &tone));
    EXPECT_EQ(tone, tone_map::reinhard);
    EXPECT_TRUE(parse_tone_map("compress", &tone));
    EXPECT_EQ(tone, tone_map::compress);
    EXPECT_FALSE(parse_tone_map("Reinhard", &tone));
    EXPECT_FALSE(parse_tone_map("", &tone));
}

TEST(render_arguments, UsageErrorsSayWhatIsWrong)
{
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{}, "missing INPUT and OUTPUT"},
        {{"in.jpg"}, "missing OUTPUT"},
        {{"a", "b", "c"}, "unexpected argument 'c'"},
        {{"a", "b", "--x\n\x1b"}, "unknown option '--x\\x0a\\x1b'"},
        {{"", "b"}, "an empty name for INPUT"},
        {{"a", ""}, "an empty name for OUTPUT"},
        {{"a", "b", "--fast"}, "unknown option '--fast'"},
        {{"a", "b", "--speed"}, "option '--speed' needs a value"},
        {{"a", "b", "--speed", "fast"}, "--speed takes a percentage of the speed of light, at least 0 and below 100, "
                                        "not 'fast'"},
        {{"a", "b", "--direction=3"}, "--direction takes 0, 1, 2, left-to-right, top-to-bottom or straight-at-it, "
                                      "not '3'"},
        {{"a", "b", "--quality", "5"}, "--quality takes smooth, or 1, 2, 3, 4, low, medium, high or ultra, not '5'"},
        {{"a", "b", "--observer", "5"}, "--observer takes two whole numbers X,Y, not '5'"},
        {{"a", "b", "--doppler=full"}, "--doppler takes no value, or =colour for the colour alone, not 'full'"},
        {{"a", "b", "--doppler="}, "--doppler takes no value, or =colour for the colour alone, not ''"},
        {{"a", "b", "--doppler", "--temperature", "300"}, "--temperature takes kelvin from 1000 to 40000, not '300'"},
        {{"a", "b", "--doppler", "--exposure=bright"}, "--exposure takes stops from -20 to 20, not 'bright'"},
        {{"a", "b", "--doppler", "--tonemap"}, "option '--tonemap' needs a value"},
        {{"a", "b", "--doppler", "--tonemap", "gamma"}, "--tonemap takes compress, clip or reinhard, not 'gamma'"},
        {{"a", "b", "--exposure", "1"}, "--temperature, --exposure and --tonemap need --doppler"},
        {{"a", "b.png", "--doppler-map", "--doppler"},
         "--doppler-map shows the Doppler factor instead of colours: not with --doppler"},
        {{"a", "b.png", "--doppler-map", "--exposure", "1"}, "--temperature, --exposure and --tonemap need --doppler"},
        {{"a", "b.png", "--doppler-map", "--effects", "contraction"},
         "--doppler-map needs --effects all or light-time: contraction shows no light travelling, so nothing to shift"},
        {{"a", "b.jpg", "--effects", "warp"}, "--effects takes all, contraction, light-time or none, not 'warp'"},
        {{"a", "b.jpg", "--effects", "none", "--doppler"},
         "--doppler needs --effects all or light-time: none shows no light travelling, so nothing to shift"},
        // Movies.
        {{"a", "b.webp", "--frames", "3", "--speed", "50:100"},
         "--speed A:B takes two percentages of the speed of light, each at least 0 and below 100, not '50:100'"},
        {{"a", "b.webp", "--frames", "3", "--speed=a:b"},
         "--speed A:B takes two percentages of the speed of light, each at least 0 and below 100, not 'a:b'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "1:2:3"},
         "--speed A:B takes two percentages of the speed of light, each at least 0 and below 100, not '1:2:3'"},
        {{"a", "b.webp", "--frames", "0", "--speed", "0:90"}, "--frames takes a whole number from 1 to 100000, not '0'"},
        {{"a", "b.webp", "--frames", "100001"}, "--frames takes a whole number from 1 to 100000, not '100001'"},
        {{"a", "b.webp", "--frames", "3"}, "--frames needs a range to move: --speed A:B or --observer X1,Y1:X2,Y2"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--speed", "40"},
         "--frames needs a range to move: --speed A:B or --observer X1,Y1:X2,Y2"},
        {{"a", "b.webp", "--frames", "3", "--observer", "1,2:"},
         "--observer X1,Y1:X2,Y2 takes two positions of two whole numbers each, not '1,2:'"},
        {{"a", "b.webp", "--speed", "0:90"}, "a range (A:B) needs --frames N"},
        {{"a", "b.webp", "--fps", "30"}, "--fps needs --frames N"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--fps", "0.09"},
         "--fps takes a number of frames per second from 0.1 to 1000, not '0.09'"},
        {{"a", "b.jpg", "--frames", "3", "--speed", "0:90"},
         "with --frames, OUTPUT is NAME.webp, NAME.y4m, NAME.mp4, NAME.webm, NAME.mkv, NAME.gif or a frame pattern"
         " such as frame-%04d.png (one picture file a frame), not 'b.jpg'"},
        {{"a", "f-%d.jpg", "--frames", "3", "--speed", "0:90", "--lossless"},
         "--lossless is for a .webp movie; frame files are JPEG at quality 100"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--fps", "0x10"},
         "--fps takes a number of frames per second from 0.1 to 1000, not '0x10'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--fps", " 24"},
         "--fps takes a number of frames per second from 0.1 to 1000, not ' 24'"},
        {{"a", "b.jpg", "--overwrite"}, "--overwrite needs --frames N"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--overwrite"},
         "--overwrite is for a frame pattern; other outputs are replaced whole"},
        {{"a", "f-%5d.jpg", "--frames", "3", "--speed", "0:90"},
         "with --frames, OUTPUT is NAME.webp, NAME.y4m, NAME.mp4, NAME.webm, NAME.mkv, NAME.gif or a frame pattern"
         " such as frame-%04d.png (one picture file a frame), not 'f-%5d.jpg'"},
        {{"a", "b.mp4", "--frames", "3", "--speed", "0:90", "--lossless"}, "--lossless is for a .webp movie"},
        {{"a", "-", "--frames", "3", "--speed", "0:90"},
         "a movie to standard output is a YUV4MPEG2 stream: add --format y4m"},
        {{"a", "b.y4m", "--frames", "3", "--speed", "0:90", "--ffmpeg", "f"},
         "--ffmpeg is for .mp4, .webm, .mkv and .gif movies"},
        // A movie's size and length.
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size", "0x10"},
         "--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to 16383, not '0x10'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size", "-4x10"},
         "--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to 16383, not '-4x10'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size", "16384x10"},
         "--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to 16383, not '16384x10'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size=1920*1080"},
         "--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to 16383, not '1920*1080'"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size", "1920x"},
         "--size takes WIDTHxHEIGHT, each a whole number of pixels from 1 to 16383, not '1920x'"},
        {{"a", "b.mp4", "--frames", "3", "--speed", "0:90", "--size", "1921x1080"},
         "--size for an MP4, WebM or Matroska movie takes even sides (its colour is kept for 2 by 2 pixels),"
         " not '1921x1080'"},
        {{"a", "b.jpg", "--size", "640x480"}, "--size is for a movie (--frames N or --duration SECONDS)"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--fill"}, "--fill needs --size WIDTHxHEIGHT"},
        {{"a", "b.webp", "--frames", "3", "--speed", "0:90", "--size", "64x64", "--fit", "--fill"},
         "--fit and --fill exclude each other: give one of them"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "0"},
         "--duration takes seconds, a number above 0 and at most 1000000, not '0'"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "-2"},
         "--duration takes seconds, a number above 0 and at most 1000000, not '-2'"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "2s"},
         "--duration takes seconds, a number above 0 and at most 1000000, not '2s'"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "1e7"},
         "--duration takes seconds, a number above 0 and at most 1000000, not '1e7'"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "4000.1", "--fps", "25"},
         "--duration 4000.1 at 25 frames a second makes more than 100000 frames"},
        {{"a", "b.webp", "--speed", "0:90", "--duration", "2", "--frames", "48"},
         "--frames and --duration both set the number of frames; give one of them"},
        // Formats.
        {{"a", "b.tif"}, "OUTPUT must end in .jpg, .jpeg, .png or .webp (or be - with --format jpeg|png|webp), not"
                         " 'b.tif'"},
        {{"a", "b"}, "OUTPUT must end in .jpg, .jpeg, .png or .webp (or be - with --format jpeg|png|webp), not 'b'"},
        {{"a", "b.png", "--format", "png"},
         "--format is for OUTPUT - (standard output); a file's format comes from its extension"},
        {{"a", "-", "--format", "gif"}, "--format takes jpeg, png, webp or y4m, not 'gif'"},
        {{"a", "-", "--format", "y4m"}, "--format y4m is for a movie (--frames N); a picture is jpeg, png or webp"},
        {{"a", "b.jpg", "--jpeg-quality", "0"}, "--jpeg-quality takes a whole number from 1 to 100, not '0'"},
        {{"a", "b.png", "--jpeg-quality", "90"}, "--jpeg-quality is for JPEG output"},
        {{"a", "b.jpg", "--chroma", "422"}, "--chroma takes 444 or 420, not '422'"},
        {{"a", "b.webp", "--chroma", "444"}, "--chroma is for JPEG and YUV4MPEG2 output"},
        {{"a", "b.jpg", "--depth", "16"}, "--depth is for PNG output"},
        {{"a", "b.png", "--depth", "12"}, "--depth takes 8 or 16, not '12'"},
        {{"a", "b.jpg", "--lossless"}, "--lossless is for WebP output"},
    };
    for (const auto& [arguments, message] : cases) {
        const parse_result result = parse(arguments);
        EXPECT_EQ(result.outcome, parse_outcome::usage_error) << message;
        EXPECT_EQ(result.error, message);
    }
}

TEST(render_arguments, MovieRangesFramesAndOutputNames)
{
    const parse_result result = parse({"in.jpg", "out.WebP", "--frames=48", "--speed", "10:95%", "--observer",
                                       "-5,7:300,-2", "--fps", "12.5", "--lossless"});
    ASSERT_EQ(result.outcome, parse_outcome::run) << result.error;
    const render_options& o = result.options;
    EXPECT_EQ(o.frames, 48);
    EXPECT_TRUE(o.speed_range && o.observer_range && o.observer_given && o.lossless);
    EXPECT_EQ(o.speed_fraction, 0.1f);
    EXPECT_EQ(o.speed_fraction_to, 0.95f);
    EXPECT_EQ(std::vector<std::int32_t>({o.observer_x, o.observer_y, o.observer_x_to, o.observer_y_to}),
              std::vector<std::int32_t>({-5, 7, 300, -2}));
    EXPECT_EQ(o.fps, 12.5);
    EXPECT_FALSE(o.overwrite);
    const parse_result over = parse({"in.jpg", "f-%d.jpg", "--frames", "2", "--speed", "0:9", "--overwrite",
                                     "--fps", "1e1"});
    ASSERT_EQ(over.outcome, parse_outcome::run) << over.error;
    EXPECT_TRUE(over.options.overwrite);
    EXPECT_EQ(over.options.fps, 10.0);

    // --duration: seconds times the frame rate, rounded, at least one frame;
    // --size with fit unless --fill.
    const std::vector<std::pair<std::vector<const char*>, std::int32_t>> durations = {
        {{"--duration", "2"}, 48}, {{"--duration", "2.5", "--fps", "10"}, 25},
        {{"--fps", "10", "--duration", "0.05"}, 1}, {{"--duration", "0.001"}, 1},
        {{"--duration", "0.0625"}, 2}, {{"--duration", "4000", "--fps", "25"}, 100000}};
    for (const auto& [extra, frames] : durations) {
        std::vector<const char*> arguments = {"in.jpg", "out.mp4", "--speed", "0:90", "--size", "1920x1080"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const parse_result timed = parse(arguments);
        ASSERT_EQ(timed.outcome, parse_outcome::run) << timed.error;
        EXPECT_EQ(timed.options.frames, frames) << extra[1];
        EXPECT_EQ(timed.options.movie_width, 1920);
        EXPECT_EQ(timed.options.movie_height, 1080);
        EXPECT_FALSE(timed.options.movie_fill);
    }
    const parse_result filled = parse({"in.jpg", "out.gif", "--frames", "2", "--speed", "0:9", "--size=33X17",
                                       "--fill"});
    ASSERT_EQ(filled.outcome, parse_outcome::run) << filled.error;
    EXPECT_EQ(std::vector<std::int32_t>({filled.options.movie_width, filled.options.movie_height}),
              std::vector<std::int32_t>({33, 17}));
    EXPECT_TRUE(filled.options.movie_fill);

    // A frame pattern: one %d, or %0Nd with N from 1 to 10 (zeros, never
    // blanks), any other % written %%.
    for (const char* name : {"f%d.jpg", "frame-%04d.jpg", "%010d", "a/%03d.jpeg", "50%%-%d.jpg", "%d%%"})
        EXPECT_EQ(movie_output_kind(name), movie_output::frame_files) << name;
    for (const char* name : {"f.jpg", "f%s.jpg", "f%d%d.jpg", "100%-%d.jpg", "f%%d.jpg", "f%011d.jpg", "f%0d.jpg",
                             "f%-4d.jpg", "f%04d.webp", "f%ld.jpg", "webp", "%10d", "a/%3d.jpeg", "f%5d.jpg",
                             "f%00d.jpg", "f%004d.jpg", "f%d%", "f%%%d%.jpg"})
        EXPECT_EQ(movie_output_kind(name), movie_output::unknown) << name;
    // A .webp name takes % literally.
    for (const char* name : {"x.WEBP", "speed-50%.webp", "100%%.webp", "%s.webp"})
        EXPECT_EQ(movie_output_kind(name), movie_output::webp) << name;
    EXPECT_EQ(movie_output_kind("x.WEBP"), movie_output::webp);
    for (const char* name : {"x.y4m", "-"})
        EXPECT_EQ(movie_output_kind(name), movie_output::y4m) << name;
    for (const char* name : {"x.mp4", "x.WebM", "x.mkv", "x.gif"})
        EXPECT_EQ(movie_output_kind(name), movie_output::ffmpeg) << name;
    EXPECT_EQ(frame_file_name("frame-%04d.jpg", 7), "frame-0007.jpg");
    EXPECT_EQ(frame_file_name("%3d-%d", 12345), "%3d-%d");  // not a pattern: left alone
    EXPECT_EQ(frame_file_name("f%03d.jpg", 12345), "f12345.jpg");
    EXPECT_EQ(frame_file_name("%%%d-100%%.jpg", 7), "%7-100%.jpg");
    EXPECT_EQ(frame_file_name("f%010d", 2147483647), "f2147483647");
    EXPECT_EQ(frame_file_name("speed-50%.webp", 3), "speed-50%.webp");

    // Frame k of N at k / (N - 1), both ends exact; one frame is the first end.
    EXPECT_EQ(movie_position(0.25, 0.75, 0, 5), 0.25);
    EXPECT_EQ(movie_position(0.25, 0.75, 1, 5), 0.375);
    EXPECT_EQ(movie_position(0.1f, 0.9f, 2, 3), static_cast<double>(0.9f));
    EXPECT_EQ(movie_position(7.0, 9.0, 0, 1), 7.0);
}

TEST(render_arguments, OutputFormatFromExtensionOrFormat)
{
    const std::vector<std::pair<std::vector<const char*>, picture_format>> cases = {
        {{"in.png", "out.JPG"}, picture_format::jpeg},  {{"in.jpg", "out.jpeg"}, picture_format::jpeg},
        {{"in.jpg", "out.Png"}, picture_format::png},   {{"in.jpg", "a.b/out.webp"}, picture_format::webp},
        {{"in.jpg", "-"}, picture_format::jpeg},        {{"in.jpg", "-", "--format=png"}, picture_format::png},
        {{"-", "-", "--format", "webp", "--lossless"}, picture_format::webp},
        {{"in.jpg", "f-%03d.png", "--frames", "2", "--speed", "0:50", "--depth", "16"}, picture_format::png},
    };
    for (const auto& [arguments, format] : cases) {
        const parse_result result = parse(arguments);
        ASSERT_EQ(result.outcome, parse_outcome::run) << result.error;
        EXPECT_EQ(result.options.format, format) << arguments[1];
    }
    const parse_result all = parse({"in.jpg", "out.jpg", "--jpeg-quality", "85", "--chroma=444", "--no-auto-orient"});
    ASSERT_EQ(all.outcome, parse_outcome::run) << all.error;
    EXPECT_EQ(all.options.jpeg_quality, 85);
    EXPECT_TRUE(all.options.full_chroma);
    EXPECT_FALSE(all.options.auto_orient);
    EXPECT_TRUE(parse({"in.jpg", "out.jpg"}).options.auto_orient);
}

TEST(progress_bar, BothPassesMapOntoOneBar)
{
    EXPECT_EQ(render_percent(1, 0), 0);
    EXPECT_EQ(render_percent(1, 91), 45);
    EXPECT_EQ(render_percent(2, 0), 50);
    EXPECT_EQ(render_percent(2, 70), 85);
    EXPECT_EQ(render_percent(2, 99), 99);

    EXPECT_EQ(progress_line(0, 10), "[..........]   0%");
    EXPECT_EQ(progress_line(45, 10), "[####......]  45%");
    EXPECT_EQ(progress_line(100, 10), "[##########] 100%");

    // A movie: the whole step on the bar, the frame counted from 1.
    EXPECT_EQ(movie_progress_line(true, 2, 4, 0, 10), "[#####.....]  50%  measuring 3 of 4");
    EXPECT_EQ(movie_progress_line(false, 1, 4, 60, 10), "[####......]  40%  frame 2 of 4,  60%");
}

TEST(progress_bar, RedrawsOnlyWhenThePercentageChangesAndEndsTheLine)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    progress_bar bar(stream);
    const int steps[][2] = {{1, 0}, {1, 1}, {1, 99}, {2, 0}, {2, 50}, {2, 51}};
    for (const auto& step : steps)
        bar.update(step[0], step[1]);
    bar.complete();
    bar.finish();  // after complete: nothing more
    std::rewind(stream);
    std::string written;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
        written += static_cast<char>(c);
    std::fclose(stream);
    const std::string expected = "\r" + progress_line(0, 40) + "\r" + progress_line(49, 40) + "\r"
                                 + progress_line(50, 40) + "\r" + progress_line(75, 40) + "\r"
                                 + progress_line(100, 40) + "\n";
    EXPECT_EQ(written, expected);
}

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
    EXPECT_EQ(result.options.quality, 1);
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
    EXPECT_EQ(result.options.quality, 4);
    EXPECT_TRUE(result.options.observer_given);
    EXPECT_EQ(result.options.observer_x, -3);
    EXPECT_EQ(result.options.observer_y, 250);
    EXPECT_TRUE(result.options.quiet);
    EXPECT_TRUE(result.options.doppler);
    EXPECT_EQ(result.options.colour.mode, doppler_mode::colour_only);
    EXPECT_EQ(result.options.colour.temperature, 5000.0);
    EXPECT_EQ(result.options.colour.exposure, -1.5);
    EXPECT_EQ(result.options.colour.tone, tone_map::reinhard);

    const parse_result full = parse({"in.jpg", "--doppler=colour", "out.jpg", "--doppler"});
    ASSERT_EQ(full.outcome, parse_outcome::run) << full.error;
    EXPECT_TRUE(full.options.doppler);
    EXPECT_EQ(full.options.colour.mode, doppler_mode::colour_and_brightness);  // the last one given

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
    EXPECT_FALSE(parse_tone_map("Reinhard", &tone));
    EXPECT_FALSE(parse_tone_map("", &tone));
}

TEST(render_arguments, UsageErrorsSayWhatIsWrong)
{
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{}, "missing INPUT and OUTPUT"},
        {{"in.jpg"}, "missing OUTPUT"},
        {{"a", "b", "c"}, "unexpected argument 'c'"},
        {{"a", "b", "--fast"}, "unknown option '--fast'"},
        {{"a", "b", "--speed"}, "option '--speed' needs a value"},
        {{"a", "b", "--speed", "fast"}, "--speed takes a percentage of the speed of light, at least 0 and below 100, "
                                        "not 'fast'"},
        {{"a", "b", "--direction=3"}, "--direction takes 0, 1, 2, left-to-right, top-to-bottom or straight-at-it, "
                                      "not '3'"},
        {{"a", "b", "--quality", "5"}, "--quality takes 1, 2, 3, 4, low, medium, high or ultra, not '5'"},
        {{"a", "b", "--observer", "5"}, "--observer takes two whole numbers X,Y, not '5'"},
        {{"a", "b", "--doppler=full"}, "--doppler takes no value, or =colour for the colour alone, not 'full'"},
        {{"a", "b", "--doppler="}, "--doppler takes no value, or =colour for the colour alone, not ''"},
        {{"a", "b", "--doppler", "--temperature", "300"}, "--temperature takes kelvin from 1000 to 40000, not '300'"},
        {{"a", "b", "--doppler", "--exposure=bright"}, "--exposure takes stops from -20 to 20, not 'bright'"},
        {{"a", "b", "--doppler", "--tonemap"}, "option '--tonemap' needs a value"},
        {{"a", "b", "--doppler", "--tonemap", "gamma"}, "--tonemap takes clip or reinhard, not 'gamma'"},
        {{"a", "b", "--exposure", "1"}, "--temperature, --exposure and --tonemap need --doppler"},
    };
    for (const auto& [arguments, message] : cases) {
        const parse_result result = parse(arguments);
        EXPECT_EQ(result.outcome, parse_outcome::usage_error) << message;
        EXPECT_EQ(result.error, message);
    }
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

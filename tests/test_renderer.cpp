#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"
#include "render/sample_coordinates.h"
#include "tests/test_support.h"

using test_support::pixel_at;
using test_support::raster_digest;
using test_support::reset_core_state;
using test_support::ui_recorder;

namespace {

std::vector<unsigned char> copy_of(const raster& r)
{
    std::size_t bytes = 0;
    raster_byte_count(r.width, r.height, &bytes);
    return std::vector<unsigned char>(r.pixels.get(), r.pixels.get() + bytes);
}

const char* const memory_error = "Error!|Error: Not enough memory to render the new image!";

}  // namespace

TEST(SampleGrid, CoordinatesCarryTheRoundingOfRepeatedAddition)
{
    EXPECT_EQ(sample_coordinates(640, 0.05).size(), 12801u);
    EXPECT_EQ(sample_coordinates(640, 0.1).size(), 6400u);
    EXPECT_EQ(sample_coordinates(640, 0.2).size(), 3200u);
    EXPECT_EQ(sample_coordinates(640, 1.0).size(), 640u);
    const std::vector<double> fifths = sample_coordinates(3, 0.2);
    ASSERT_GT(fifths.size(), 10u);
    EXPECT_EQ(fifths[10], 1.9999999999999998);
    EXPECT_EQ(static_cast<int>(fifths[10]), 1);  // reads source column 1
    EXPECT_TRUE(sample_coordinates(0, 0.2).empty());
}

TEST(Renderer, SpeedZeroAlongRowsOrColumnsIsTheIdentity)
{
    ui_recorder ui;
    for (int direction : {0, 1}) {
        reset_core_state();
        test_support::make_f_picture(12, 7);
        set_observer(0, 3);
        render_relativistic(test_support::direction(direction), 0.0, test_support::quality(1));
        ASSERT_TRUE(rendered_image.pixels);
        EXPECT_EQ(rendered_width(), 12);
        EXPECT_EQ(rendered_height(), 7);
        EXPECT_EQ(copy_of(rendered_image), copy_of(source_image)) << "direction " << direction;
    }
}

TEST(Renderer, SpeedZeroStraightAtItDrawsAtTwentyTimesTheScale)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(8, 5);
    set_observer(0, 2);
    render_relativistic(test_support::direction(2), 0.0, test_support::quality(1));
    ASSERT_TRUE(rendered_image.pixels);
    EXPECT_EQ(rendered_width(), 20 * (8 - 1) + 4);
    EXPECT_EQ(rendered_height(), 20 * (5 - 1) + 1);
    for (int y = 0; y < rendered_height(); ++y) {
        for (int x = 0; x < rendered_width(); ++x) {
            const bool sample = x % 20 == 0 && y % 20 == 0;
            const std::vector<unsigned char> expected
                = sample ? pixel_at(source_image, x / 20, y / 20) : std::vector<unsigned char>{0, 0, 0};
            ASSERT_EQ(pixel_at(rendered_image, x, y), expected) << x << "," << y;
        }
    }
}

TEST(Renderer, HalfSpeedSizesOfA640By480Picture)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_gradient_picture(640, 480);
    const int expected[3][2] = {{508, 480}, {640, 519}, {172, 331}};
    for (int direction = 0; direction < 3; ++direction) {
        set_observer(0, 240);
        render_relativistic(test_support::direction(direction), 0.5, test_support::quality(1));
        EXPECT_EQ(rendered_width(), expected[direction][0]) << direction;
        EXPECT_EQ(rendered_height(), expected[direction][1]) << direction;
    }
}

TEST(Renderer, LeftEdgeLandsInColumnZero)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(640, 480);
    set_observer(0, 240);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    // The sample (0, 0) has the smallest apparent x of all.
    EXPECT_EQ(pixel_at(rendered_image, 0, 0), pixel_at(source_image, 0, 0));
}

TEST(Renderer, ProgressTextsForEveryColumnOfEachTenthPercent)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_gradient_picture(640, 8);
    set_observer(0, 4);
    const std::int32_t reply = render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    EXPECT_EQ(reply, 7);  // the sink's reply to the last text
    std::vector<std::string> expected;
    for (const char* pass : {"Pass 1/2: %d%% done.", "Pass 2/2: %d%% done."}) {
        for (int percent = 0; percent < 100; percent += 10) {
            char text[40];
            std::snprintf(text, sizeof text, pass, percent);
            for (int column = 0; column < 7; ++column)
                expected.emplace_back(text);
        }
    }
    expected.emplace_back("Relativistic Image Complete.");
    EXPECT_EQ(ui.status_texts, expected);
}

TEST(Renderer, EmptySourceGivesFourByOneBlackRaster)
{
    ui_recorder ui;
    reset_core_state();
    source_image = allocate_raster(0, 0);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    EXPECT_EQ(rendered_width(), 4);
    EXPECT_EQ(rendered_height(), 1);
    EXPECT_EQ(copy_of(rendered_image), std::vector<unsigned char>(12, 0));
    EXPECT_EQ(ui.status_texts, std::vector<std::string>{"Relativistic Image Complete."});

    // Width but no rows: columns are still stepped and reported.
    reset_core_state();
    source_image = allocate_raster(20, 0);
    ui.status_texts.clear();
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    EXPECT_EQ(rendered_width(), 4);
    EXPECT_EQ(rendered_height(), 1);
    EXPECT_EQ(ui.status_texts.size(), 2u * 10u + 1u);  // columns 0, 2, 4, ... 18 each pass
}

TEST(Renderer, TwoRendersLeaveOneRasterAndSameBytes)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(36, 21);
    set_observer(5, 9);
    render_relativistic(test_support::direction(1), 0.7, test_support::quality(2));
    const std::string first = raster_digest(rendered_image);
    render_relativistic(test_support::direction(1), 0.7, test_support::quality(2));
    EXPECT_EQ(raster_digest(rendered_image), first);
    EXPECT_TRUE(ui.warnings.empty());
}

// The same bytes on every platform and compiler: digests of renders in each
// direction and quality, recorded once and checked by the Linux and the
// Windows build alike.
TEST(Renderer, DigestsAreTheSameEverywhere)
{
    ui_recorder ui;
    struct expectation {
        int direction;
        double speed;
        int quality;
        const char* digest;
    };
    const expectation cases[] = {
        {0, 0.5, 1, "6d22cb349c44415f"},
        {1, 0.8, 2, "ba4643a242d9fd86"},
        {2, 0.5, 3, "86e1a5f981c8f76d"},
        {0, 0.9900000095367432, 4, "408b7d2f5fd67e83"},
    };
    for (const expectation& c : cases) {
        reset_core_state();
        test_support::make_f_picture(44, 33);
        set_observer(7, 16);
        render_relativistic(test_support::direction(c.direction), c.speed, test_support::quality(c.quality));
        EXPECT_EQ(raster_digest(rendered_image), c.digest) << c.direction << " " << c.quality;
    }
}

TEST(Renderer, UnobtainableRasterIsReportedOnce)
{
    ui_recorder ui;
    reset_core_state();
    // Extents beyond 32 bits: a tall picture at the fastest speed.
    source_image = allocate_raster(4, 1500000);
    rendered_image = allocate_raster(8, 8);
    ASSERT_TRUE(source_image.pixels && rendered_image.pixels);
    set_observer(0, 0);
    EXPECT_EQ(render_relativistic(test_support::direction(0), 0.99999994039535522, test_support::quality(1)), 1);
    EXPECT_EQ(ui.warnings, std::vector<std::string>{memory_error});
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_FALSE(ui.status_texts.empty());
    EXPECT_EQ(ui.status_texts.back().rfind("Pass 1/2:", 0), 0u);

    // Representable sizes whose bytes cannot be allocated.
    ui.warnings.clear();
    reset_core_state();
    source_image = allocate_raster(4, 100000);
    ASSERT_TRUE(source_image.pixels);
    set_observer(0, 0);
    EXPECT_EQ(render_relativistic(test_support::direction(0), 0.99999994039535522, test_support::quality(1)), 1);
    EXPECT_EQ(ui.warnings, std::vector<std::string>{memory_error});
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_GT(static_cast<double>(rendered_width()) * rendered_height() * 3, 1e12);
}

// Offsets into rasters of 2 GiB and more are 64-bit: direction 2 draws at 20
// times the scale, so a 1600 x 1200 picture needs 31984 x 23981 pixels.
TEST(Renderer, RastersPastTwoGigabytesAreAddressedWithoutWrapping)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_gradient_picture(1600, 1200);
    set_observer(0, 0);
    render_relativistic(test_support::direction(2), 0.0, test_support::quality(1));
    if (!rendered_image.pixels)
        GTEST_SKIP() << "no 2.3 GB allocation on this machine";
    ASSERT_EQ(rendered_width(), 31984);
    ASSERT_EQ(rendered_height(), 23981);
    EXPECT_EQ(pixel_at(rendered_image, 20 * 1599, 20 * 1199), pixel_at(source_image, 1599, 1199));
    EXPECT_EQ(pixel_at(rendered_image, 20 * 800, 20 * 1100), pixel_at(source_image, 800, 1100));
    EXPECT_EQ(pixel_at(rendered_image, 20 * 800 + 1, 20 * 1100), (std::vector<unsigned char>{0, 0, 0}));
    free_images();
}

TEST(Renderer, NonFiniteSamplesAreSkipped)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(8, 4);
    // At the speed of light itself gamma is infinite and no position is finite.
    render_at_speed(test_support::direction(0), 3e8, test_support::quality(1));
    ASSERT_TRUE(rendered_image.pixels);
    EXPECT_EQ(rendered_width(), 4);
    EXPECT_EQ(rendered_height(), 1);
    EXPECT_EQ(copy_of(rendered_image), std::vector<unsigned char>(12, 0));
}

TEST(Renderer, AbsentSourcePixelsGiveABlackRasterOfTheComputedSize)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(8, 5);
    free_images();  // as after a cancelled open: the size stays
    set_observer(0, 2);
    render_relativistic(test_support::direction(0), 0.0, test_support::quality(1));
    ASSERT_TRUE(rendered_image.pixels);
    EXPECT_EQ(rendered_width(), 8);
    EXPECT_EQ(rendered_height(), 5);
    EXPECT_EQ(copy_of(rendered_image), std::vector<unsigned char>(8 * 5 * 3, 0));
    EXPECT_EQ(ui.status_texts.back(), "Relativistic Image Complete.");
}

TEST(Renderer, UnknownQualityKeepsStepsAndUnknownDirectionRendersNothing)
{
    ui_recorder ui;
    reset_core_state();
    test_support::make_f_picture(8, 5);
    step_x = step_y = 0.0;  // as at start-up
    EXPECT_EQ(render_relativistic(test_support::direction(0), 0.5, test_support::quality(7)), 1);
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_TRUE(ui.status_texts.empty());

    render_relativistic(test_support::direction(0), 0.5, test_support::quality(2));
    const std::string medium = raster_digest(rendered_image);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(0));
    EXPECT_EQ(step_x, 0.2);
    EXPECT_EQ(raster_digest(rendered_image), medium);
    // "Smooth (no gaps)" samples nothing: the steps stay for the next such render.
    render_relativistic(test_support::direction(0), 0.5, smooth_quality);
    EXPECT_NE(raster_digest(rendered_image), medium);
    EXPECT_EQ(step_x, 0.2);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(0));
    EXPECT_EQ(raster_digest(rendered_image), medium);

    const double depth = observer.observer_z;
    EXPECT_EQ(render_relativistic(test_support::direction(5), 0.5, test_support::quality(1)), 1);
    EXPECT_EQ(observer.observer_z, depth);
    EXPECT_EQ(raster_digest(rendered_image), medium);
}

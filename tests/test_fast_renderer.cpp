// The fast path against the reference path: the same status, raster, box,
// steps, progress and (asked for or not) pixel origins, whatever the vector
// width and the number of threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "render/fast/draw_pass.h"
#include "render/fast/measure_pass.h"
#include "render/fast/solver_terms.h"
#include "render/renderer.h"
#include "tests/test_support.h"

using test_support::raster_digest;

namespace {

struct outcome {
    render_status status = render_status::done;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string digest;
    double box[4] = {};
    double steps[2] = {};
    std::vector<std::string> progress;  // "pass percent column"
    std::vector<std::int64_t> origins;
};

bool operator==(const outcome& a, const outcome& b)
{
    return a.status == b.status && a.width == b.width && a.height == b.height && a.digest == b.digest
           && std::equal(a.box, a.box + 4, b.box) && std::equal(a.steps, a.steps + 2, b.steps)
           && a.progress == b.progress && a.origins == b.origins;
}

std::ostream& operator<<(std::ostream& out, const outcome& o)
{
    return out << "status " << static_cast<int>(o.status) << ", " << o.width << " x " << o.height << ", digest "
               << o.digest << ", box " << o.box[0] << " " << o.box[1] << " " << o.box[2] << " " << o.box[3] << ", "
               << o.progress.size() << " reports";
}

struct scene {
    std::int32_t width;
    std::int32_t height;
    bool letter_f;  // else a gradient
    std::int32_t observer_x;
    std::int32_t observer_y;
};

raster picture_of(const scene& s)
{
    return s.letter_f ? test_support::f_picture(s.width, s.height) : test_support::gradient_picture(s.width, s.height);
}

// As the viewer asks: the depth from the direction, the speed a fraction of c.
render_settings settings_for(const scene& s, std::int32_t direction, double speed_fraction, std::int32_t quality)
{
    render_settings settings;
    settings.direction = test_support::direction(direction);
    settings.speed = speed_fraction * speed_of_light;
    settings.quality = test_support::quality(quality);
    settings.observer = observer_position{static_cast<double>(s.observer_x), static_cast<double>(s.observer_y), 0.0};
    observer_depth(settings.direction, &settings.observer.observer_z);
    return settings;
}

outcome run(const raster& source, const render_settings& settings)
{
    outcome o;
    const render_output out = render_picture(source, settings, [&o](int pass, int percent, std::int32_t column) {
        o.progress.push_back(std::to_string(pass) + " " + std::to_string(percent) + " " + std::to_string(column));
    });
    o.status = out.status;
    o.width = out.picture.width;
    o.height = out.picture.height;
    o.digest = raster_digest(out.picture);
    const double box[4] = {out.box.min_x, out.box.max_x, out.box.min_y, out.box.max_y};
    std::copy(box, box + 4, o.box);
    o.steps[0] = out.steps.x;
    o.steps[1] = out.steps.y;
    o.origins = out.origins.sample;
    return o;
}

// Renders the picture both ways and compares everything: without origins,
// and with them, which must change nothing else.
void expect_same(const raster& source, render_settings settings, const std::string& what, render_machine fast)
{
    settings.machine.path = render_path::reference;
    settings.keep_origins = true;
    outcome reference = run(source, settings);
    settings.machine = fast;
    EXPECT_EQ(run(source, settings), reference) << what << ", " << fast.threads << " threads, "
                                                << kernels_for(fast).name << ", origins";
    settings.keep_origins = false;
    reference.origins.clear();
    EXPECT_EQ(run(source, settings), reference) << what << ", " << fast.threads << " threads, "
                                                << kernels_for(fast).name;
}

void expect_same(const scene& s, std::int32_t direction, double speed, std::int32_t quality, render_machine machine)
{
    expect_same(picture_of(s), settings_for(s, direction, speed, quality),
                std::to_string(s.width) + " x " + std::to_string(s.height) + (s.letter_f ? " F" : " gradient")
                    + ", observer (" + std::to_string(s.observer_x) + ", " + std::to_string(s.observer_y)
                    + "), direction " + std::to_string(direction) + ", speed " + std::to_string(speed) + ", quality "
                    + std::to_string(quality),
                machine);
}

render_machine threads(int count)
{
    render_machine machine;
    machine.threads = count;
    return machine;
}

}  // namespace

// Every direction, quality, a range of speeds and observers inside, on the
// edge of and outside odd-sized pictures; the thread count varies from case
// to case, more threads than cores included.
TEST(FastRenderer, MatchesTheReferencePath)
{
    const scene scenes[] = {
        {37, 23, false, 18, 11},   // width not a multiple of 4, observer inside
        {44, 33, true, 0, 16},     // as after opening: left edge, middle row
        {13, 29, false, -25, 60},  // observer outside, below and to the left
        {5, 1, false, 2, 0},       // one row
        {1, 7, true, 3, -4},       // one column
        {9, 230, false, 4, 100},   // tall: rows drawn in several tiles
    };
    const double speeds[] = {0.0, 1e-9, 0.5, 0.8999999761581421, 0.9900000095367432};
    const int thread_counts[] = {2, 3, 1, 5};
    int n = 0;
    for (const scene& s : scenes)
        for (std::int32_t direction = 0; direction < 3; ++direction)
            for (std::int32_t quality = 1; quality <= 4; ++quality)
                for (double speed : speeds)
                    expect_same(s, direction, speed, quality, threads(thread_counts[n++ % 4]));
}

// The effects other than all go through the same solvers with other terms
// (render/observer.h): the same bytes both ways, and none is the picture at
// rest.
TEST(FastRenderer, EveryEffectMatchesTheReferencePath)
{
    const scene scenes[] = {{37, 23, false, 18, 11}, {44, 33, true, 0, 16}, {13, 29, false, -25, 60}};
    const relativity_effects effects[] = {relativity_effects::contraction, relativity_effects::light_time,
                                          relativity_effects::none};
    int n = 0;
    for (const scene& s : scenes)
        for (std::int32_t direction = 0; direction < 3; ++direction)
            for (const relativity_effects e : effects) {
                render_settings settings = settings_for(s, direction, 0.8999999761581421, 1 + n % 4);
                settings.effects = e;
                expect_same(picture_of(s), settings,
                            "effects " + std::to_string(static_cast<int>(e)) + ", direction "
                                + std::to_string(direction),
                            threads(1 + n++ % 3));
                if (e != relativity_effects::none)
                    continue;
                settings.machine = render_machine{};
                const outcome none = run(picture_of(s), settings);
                settings.speed = 0.0;
                settings.effects = relativity_effects::all;
                EXPECT_EQ(none, run(picture_of(s), settings)) << direction;
            }
}

TEST(FastRenderer, EveryVectorWidthAndThreadCountGivesTheSameBytes)
{
    const scene s{41, 27, false, 30, 9};
    for (simd_level level : test_support::supported_simd_levels()) {
        for (int count : {1, 2, 4, 7}) {
            render_machine machine = threads(count);
            machine.simd_chosen = true;
            machine.simd = level;
            for (std::int32_t direction = 0; direction < 3; ++direction)
                expect_same(s, direction, 0.75, direction == 2 ? 3 : 4, machine);
        }
    }
}

// The automatic thread count, on a picture large enough to use every core.
TEST(FastRenderer, DefaultSettingsOnALargerPicture)
{
    const scene s{203, 151, false, 100, 70};
    for (std::int32_t direction = 0; direction < 3; ++direction)
        expect_same(s, direction, 0.6, 3, render_machine{});
}

// Sizes that cannot be had, no pixels, nothing finite, no rows, unknown
// settings: the same outcome on both paths.
TEST(FastRenderer, FailuresAndEmptyPicturesMatchTheReferencePath)
{
    const scene s{8, 4, true, 0, 0};
    // Extents beyond 32 bits.
    expect_same(allocate_raster(4, 1500000), settings_for(s, 0, 0.99999994039535522, 1), "extents", threads(3));
    // At the speed of light no position is finite; beyond it gamma is NaN.
    for (double speed : {1.0, 4.0 / 3.0}) {
        expect_same(s, 0, speed, 2, threads(3));
        expect_same(s, 2, speed, 2, threads(3));
    }
    // Pixels absent, size kept.
    raster absent = test_support::f_picture(12, 5);
    absent.pixels.reset();
    expect_same(absent, settings_for(s, 1, 0.5, 3), "no pixels", threads(3));
    // Columns but no rows, and nothing at all.
    for (std::int32_t width : {20, 0})
        expect_same(allocate_raster(width, 0), settings_for(s, 2, 0.5, 2), "no rows", threads(3));
    // Unknown direction; unknown quality with and without steps to fall back on.
    expect_same(s, 3, 0.5, 1, threads(3));
    expect_same(s, 0, 0.5, 9, threads(3));
    render_settings otherwise = settings_for(s, 0, 0.5, 9);
    otherwise.steps_otherwise = {0.2, 0.2};
    expect_same(test_support::f_picture(8, 4), otherwise, "steps otherwise", threads(3));
}

// The box comes back in the observer's coordinates and gives the raster's
// size: trunc(extent) + 1, the width rounded up to a multiple of 4.
TEST(FastRenderer, ReturnsTheBoxTheRasterIsSizedTo)
{
    const raster source = test_support::gradient_picture(640, 480);
    const scene s{640, 480, false, 0, 240};
    const render_output out = render_picture(source, settings_for(s, 0, 0.5, 1), [](int, int, std::int32_t) {});
    ASSERT_EQ(out.status, render_status::done);
    EXPECT_EQ(out.box.min_x, -138.5640647257915);
    EXPECT_EQ(out.box.max_x, 368.9268219669946);
    EXPECT_EQ(out.box.min_y, 0.0);
    EXPECT_EQ(out.box.max_y, 479.0);
    EXPECT_EQ(out.picture.width, 508);  // trunc(507.49...) + 1 = 508
    EXPECT_EQ(out.picture.height, 480);
    EXPECT_EQ(out.steps.x, 1.0);
    EXPECT_EQ(out.steps.y, 1.0);
}

// Nothing is shared between renders: two at once on different pictures give
// what each gives alone.
TEST(FastRenderer, TwoRendersAtOnceGiveWhatEachGivesAlone)
{
    const raster first = test_support::f_picture(64, 48);
    const raster second = test_support::gradient_picture(57, 61);
    const render_settings first_settings = settings_for({64, 48, true, 5, 20}, 2, 0.7, 3);
    const render_settings second_settings = settings_for({57, 61, false, 30, 0}, 1, 0.9, 4);
    const outcome first_alone = run(first, first_settings);
    const outcome second_alone = run(second, second_settings);
    for (int round = 0; round < 3; ++round) {
        outcome first_together;
        std::thread other([&] { first_together = run(first, first_settings); });
        const outcome second_together = run(second, second_settings);
        other.join();
        EXPECT_EQ(first_together, first_alone);
        EXPECT_EQ(second_together, second_alone);
    }
}

// Direction 2 shares its destination rows among workers only where pass 1
// found every column's Ys in order; otherwise one worker draws them all.
// Either way the bytes are the reference path's.
TEST(FastRenderer, StraightAtItDrawsTheSameWithRowsSharedOrNot)
{
    const scene s{29, 19, true, 11, 4};
    const raster source = picture_of(s);
    render_settings settings = settings_for(s, 2, 0.6, 3);
    settings.machine.path = render_path::reference;
    const render_output reference = render_picture(source, settings, [](int, int, std::int32_t) {});
    ASSERT_EQ(reference.status, render_status::done);

    const view_parameters view{settings.observer, motion_for_speed(settings.speed)};
    const solver_terms terms(view, 2, sample_coordinates(s.width, 0.1), sample_coordinates(s.height, 0.1));
    const pass_setup setup{&terms.view(), &kernels_for(render_machine{}), 3, [](std::int32_t) {}};
    position_box box = empty_box();
    const apparent_point first = apparent_position(view, fly_by_direction::straight_at_it, 0.0, 0.0);
    include_position(&box, first.x, first.y);
    ASSERT_TRUE(measure_positions(setup, &box));
    const std::int32_t width = reference.picture.width;
    const std::int32_t height = reference.picture.height;
    for (bool rows_in_order : {true, false}) {
        const raster drawn = allocate_raster(width, height);
        draw_positions(setup, {source.pixels.get(), s.width, drawn.pixels.get(), width, box.min_x, box.min_y, height},
                       rows_in_order);
        EXPECT_EQ(raster_digest(drawn), raster_digest(reference.picture)) << rows_in_order;
    }
}

// What cannot be had is refused once pass 1 has sized it, before the memory
// is asked for: over the memory the render may take, or over the largest
// side its caller can use. The old raster goes only when the new one comes.
TEST(FastRenderer, RefusesWhatCannotBeHadBeforeAskingForIt)
{
    const raster source = test_support::f_picture(40, 30);
    render_settings settings = settings_for({40, 30, true, 0, 15}, 2, 0.0, 1);  // 784 x 581 at speed 0
    settings.memory_limit = 784 * 581 * 3 - 1;
    raster old = allocate_raster(4, 4);
    render_output out = render_picture(source, settings, [](int, int, std::int32_t) {}, &old);
    EXPECT_EQ(out.status, render_status::out_of_memory);
    EXPECT_EQ(out.picture.width, 784);
    EXPECT_EQ(out.picture.height, 581);
    EXPECT_FALSE(out.picture.pixels);

    settings.memory_limit = 0;
    settings.largest_side = 783;
    old = allocate_raster(4, 4);
    out = render_picture(source, settings, [](int, int, std::int32_t) {}, &old);
    EXPECT_EQ(out.status, render_status::too_large);
    EXPECT_EQ(out.picture.width, 784);
    EXPECT_FALSE(out.picture.pixels);
    EXPECT_TRUE(old.pixels);

    settings.largest_side = 784;
    out = render_picture(source, settings, [](int, int, std::int32_t) {}, &old);
    EXPECT_EQ(out.status, render_status::done);
    EXPECT_FALSE(old.pixels);
}

// The renderer against the plain algorithm (tests/plain_renderer.h): the
// same raster, size and bytes, the same texts in the same order, the same
// boxes and results, whatever the vector width and the number of threads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/raster.h"
#include "render/observer.h"
#include "render/passes.h"
#include "render/render_tuning.h"
#include "render/renderer.h"
#include "render/sample_grid.h"
#include "render/solver_grid.h"
#include "tests/plain_renderer.h"
#include "tests/test_support.h"

using test_support::raster_digest;
using test_support::ui_recorder;

namespace {

struct outcome {
    std::int32_t result = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::string digest;
    std::vector<std::string> texts;
    std::vector<std::string> warnings;
};

bool operator==(const outcome& a, const outcome& b)
{
    return a.result == b.result && a.width == b.width && a.height == b.height && a.digest == b.digest
           && a.texts == b.texts && a.warnings == b.warnings;
}

std::ostream& operator<<(std::ostream& out, const outcome& o)
{
    return out << "result " << o.result << ", " << o.width << " x " << o.height << ", digest " << o.digest << ", "
               << o.texts.size() << " texts, " << o.warnings.size() << " boxes";
}

struct scene {
    std::int32_t width;
    std::int32_t height;
    bool letter_f;  // else a gradient
    std::int32_t observer_x;
    std::int32_t observer_y;
};

void set_up(const scene& s)
{
    test_support::reset_core_state();
    if (s.letter_f)
        test_support::make_f_picture(s.width, s.height);
    else
        test_support::make_gradient_picture(s.width, s.height);
    set_observer(s.observer_x, s.observer_y);
}

template <class Render>
outcome run(ui_recorder& ui, Render render)
{
    ui.status_texts.clear();
    ui.warnings.clear();
    outcome o;
    o.result = render();
    o.width = rendered_width();
    o.height = rendered_height();
    o.digest = raster_digest(rendered_image);
    o.texts = ui.status_texts;
    o.warnings = ui.warnings;
    return o;
}

// Renders the scene both ways from the same state and compares everything.
void expect_same(const scene& s, std::int32_t direction, double speed, std::int32_t quality)
{
    ui_recorder ui;
    set_up(s);
    const outcome plain = run(ui, [&] { return plain_render_relativistic(direction, speed, quality); });
    set_up(s);
    const outcome fast = run(ui, [&] { return render_relativistic(direction, speed, quality); });
    EXPECT_EQ(fast, plain) << s.width << " x " << s.height << (s.letter_f ? " F" : " gradient") << ", observer ("
                           << s.observer_x << ", " << s.observer_y << "), direction " << direction << ", speed "
                           << speed << ", quality " << quality << ", " << render_threads_for(0) << " threads, "
                           << simd_level_name(render_simd());
}

// Puts the defaults back after a test that changed them.
class tuning_guard {
public:
    tuning_guard() : level_(render_simd()) {}
    ~tuning_guard()
    {
        set_render_simd(level_);
        set_render_threads(0);
    }
    tuning_guard(const tuning_guard&) = delete;
    tuning_guard& operator=(const tuning_guard&) = delete;

private:
    simd_level level_;
};

}  // namespace

// Every direction, quality, a range of speeds and observers inside, on the
// edge of and outside odd-sized pictures; the thread count varies from case
// to case, more threads than cores included.
TEST(FastRenderer, MatchesThePlainAlgorithm)
{
    const tuning_guard guard;
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
    for (const scene& s : scenes) {
        for (std::int32_t direction = 0; direction < 3; ++direction) {
            for (std::int32_t quality = 1; quality <= 4; ++quality) {
                for (double speed : speeds) {
                    set_render_threads(thread_counts[n++ % 4]);
                    expect_same(s, direction, speed, quality);
                }
            }
        }
    }
}

TEST(FastRenderer, EveryVectorWidthAndThreadCountGivesTheSameBytes)
{
    const tuning_guard guard;
    const scene s{41, 27, false, 30, 9};
    for (simd_level level : supported_simd_levels()) {
        ASSERT_TRUE(set_render_simd(level));
        for (int threads : {1, 2, 4, 7}) {
            set_render_threads(threads);
            for (std::int32_t direction = 0; direction < 3; ++direction)
                expect_same(s, direction, 0.75, direction == 2 ? 3 : 4);
        }
    }
}

// The automatic thread count, on a picture large enough to use every core.
TEST(FastRenderer, DefaultSettingsOnALargerPicture)
{
    const tuning_guard guard;
    set_render_threads(0);
    const scene s{203, 151, false, 100, 70};
    for (std::int32_t direction = 0; direction < 3; ++direction)
        expect_same(s, direction, 0.6, 3);
}

// Sizes that cannot be had, no pixels, nothing finite, no rows: the same
// boxes, texts and results as the plain algorithm.
TEST(FastRenderer, FailuresAndEmptyPicturesMatchThePlainAlgorithm)
{
    const tuning_guard guard;
    set_render_threads(3);
    ui_recorder ui;
    const auto both = [&ui](auto prepare, auto render_plain, auto render_fast) {
        prepare();
        const outcome plain = run(ui, render_plain);
        prepare();
        const outcome fast = run(ui, render_fast);
        EXPECT_EQ(fast, plain);
    };
    // Extents beyond 32 bits.
    both([] {
             test_support::reset_core_state();
             allocate_source_image(4, 1500000);
             set_observer(0, 0);
         },
         [] { return plain_render_relativistic(0, 0.99999994039535522, 1); },
         [] { return render_relativistic(0, 0.99999994039535522, 1); });
    // At the speed of light no position is finite; beyond it gamma is NaN.
    for (double speed : {3e8, 4e8}) {
        both([] { test_support::make_f_picture(8, 4); }, [speed] { return plain_render_at_speed(0, speed, 2); },
             [speed] { return render_at_speed(0, speed, 2); });
        both([] { test_support::make_f_picture(8, 4); }, [speed] { return plain_render_at_speed(2, speed, 2); },
             [speed] { return render_at_speed(2, speed, 2); });
    }
    // Pixels absent, size kept.
    both([] {
             test_support::make_f_picture(12, 5);
             free_images();
             set_observer(0, 2);
         },
         [] { return plain_render_relativistic(1, 0.5, 3); }, [] { return render_relativistic(1, 0.5, 3); });
    // Columns but no rows, and nothing at all.
    for (std::int32_t width : {20, 0}) {
        both([width] {
                 test_support::reset_core_state();
                 allocate_source_image(width, 0);
             },
             [] { return plain_render_relativistic(2, 0.5, 2); }, [] { return render_relativistic(2, 0.5, 2); });
    }
}

// Direction 2 shares its destination rows among workers only where pass 1
// found every column's Ys in order; otherwise one worker draws them all.
// Either way the bytes are the plain algorithm's.
TEST(FastRenderer, StraightAtItDrawsTheSameWithRowsSharedOrNot)
{
    ui_recorder ui;
    const scene s{29, 19, true, 11, 4};
    set_up(s);
    plain_render_relativistic(2, 0.6, 3);
    const std::string plain = raster_digest(rendered_image);
    const std::int32_t width = rendered_width();
    const std::int32_t height = rendered_height();

    const solver_grid grid(2, sample_coordinates(s.width, 0.1), sample_coordinates(s.height, 0.1));
    const pass_setup setup{&grid.view(), &kernels_for(render_simd()), 3, [](std::int32_t) {}};
    position_box box = empty_box();
    const apparent_point first = apparent_position(2, 0.0, 0.0);
    include_position(&box, first.x, first.y);
    ASSERT_TRUE(measure_positions(setup, &box));
    for (bool rows_in_order : {true, false}) {
        ASSERT_TRUE(replace_rendered_image(width, height));
        draw_positions(setup, {source_image.pixels.get(), s.width, rendered_image.pixels.get(), width, box.min_x,
                               box.min_y, height},
                       rows_in_order);
        EXPECT_EQ(raster_digest(rendered_image), plain) << rows_in_order;
    }
}

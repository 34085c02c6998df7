// Every vector width computes the positions apparent_position computes, bit
// for bit, and lists the writes the plain loop order makes last.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "render/fast/kernels.h"
#include "render/observer.h"
#include "render/sample_coordinates.h"
#include "render/fast/solver_terms.h"
#include "render/smooth/inverse_map.h"
#include "tests/test_support.h"
#include "tests/test_support.h"

namespace {

bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

view_parameters scene_view(std::int32_t direction, std::int32_t ox, std::int32_t oy, double speed)
{
    return view_parameters{observer_position{static_cast<double>(ox), static_cast<double>(oy),
                                             direction == 2 ? -5.0 : -0.01},
                           motion_for_speed(speed)};
}

apparent_point position(const view_parameters& view, std::int32_t direction, double x, double y)
{
    return apparent_position(view, static_cast<fly_by_direction>(direction), x, y);
}

// Coordinates so large that a position overflows: the discriminant is then
// NaN (inf - inf) with a finite b, or b itself is infinite.
const double overflowing[] = {1e160, -1e160, 1e308};

// Sample coordinates as the renderer makes them (carrying the rounding of
// repeated addition), some arbitrary ones and some that overflow.
std::vector<double> coordinates(std::mt19937& random, std::int32_t limit)
{
    std::vector<double> values = sample_coordinates(limit, 0.2);
    std::uniform_real_distribution<double> spread(-5.0, limit + 5.0);
    for (int k = 0; k < 6; ++k)
        values.push_back(spread(random));
    values.insert(values.end(), std::begin(overflowing), std::end(overflowing));
    return values;
}

const double speeds[] = {0.0, 3e-1, 0.5 * 3e8, 0.9900000095367432 * 3e8, 0.99999994039535522 * 3e8, 3e8, 4e8};

}  // namespace

// A grid of one sample folds to a box of that sample's position alone, so
// its bounds are the position's exact bits (or stay empty when it is not
// finite).
TEST(RenderKernels, PositionsHaveTheBitsOfApparentPosition)
{
    std::mt19937 random(7);
    for (simd_level level : test_support::supported_simd_levels()) {
        const kernel_table& kernels = kernels_for(level);
        for (std::int32_t direction = 0; direction < 3; ++direction) {
            for (double speed : speeds) {
                const view_parameters view = scene_view(direction, 3, 2, speed);
                const std::vector<double> xs = coordinates(random, 4);
                const std::vector<double> ys = coordinates(random, 3);
                for (double x : xs) {
                    for (double y : ys) {
                        const solver_terms grid(view, direction, {x}, {y});
                        position_box box = empty_box();
                        kernels.fold_bounds(grid.view(), 0, 1, &box);
                        const apparent_point p = position(view, direction, x, y);
                        position_box expected = empty_box();
                        include_position(&expected, p.x, p.y);
                        ASSERT_TRUE(same_bits(box.min_x, expected.min_x) && same_bits(box.max_x, expected.max_x)
                                    && same_bits(box.min_y, expected.min_y) && same_bits(box.max_y, expected.max_y))
                            << kernels.name << ", direction " << direction << ", speed " << speed << ", sample (" << x
                            << ", " << y << "): " << box.min_x << " " << box.min_y << " against " << p.x << " "
                            << p.y;
                    }
                }
            }
        }
    }
}

// The destinations of every row range of a column: the truncated offsets
// from the box, -1 where nothing is finite, and as writes the samples whose
// next one in the range goes elsewhere.
TEST(RenderKernels, DestinationsListTheLastWriteOfEveryRun)
{
    std::mt19937 random(11);
    for (simd_level level : test_support::supported_simd_levels()) {
        const kernel_table& kernels = kernels_for(level);
        for (std::int32_t direction = 0; direction < 3; ++direction) {
            for (double speed : {0.0, 0.5 * 3e8, 0.95 * 3e8, 3e8}) {
                const view_parameters view = scene_view(direction, 1, 2, speed);
                const std::vector<double> xs = sample_coordinates(3, 0.25);
                const std::vector<double> ys = sample_coordinates(4, 0.1);  // 40 rows
                const solver_terms grid(view, direction, xs, ys);
                position_box box = empty_box();
                for (double x : xs) {
                    for (double y : ys) {
                        const apparent_point p = position(view, direction, x, y);
                        include_position(&box, p.x, p.y);
                    }
                }
                if (!(box.min_x <= box.max_x))
                    box = position_box{0.0, 0.0, 0.0, 0.0};
                std::uniform_int_distribution<std::int32_t> row(0, static_cast<std::int32_t>(ys.size()));
                for (std::int32_t i = 0; i < static_cast<std::int32_t>(xs.size()); ++i) {
                    std::int32_t begin = row(random);
                    std::int32_t end = row(random);
                    if (begin > end)
                        std::swap(begin, end);
                    std::vector<std::int64_t> expected_pixels;
                    for (std::int32_t j = begin; j < end; ++j) {
                        const apparent_point p = position(view, direction, xs[i], ys[j]);
                        const bool finite = std::isfinite(p.x) && std::isfinite(p.y);
                        expected_pixels.push_back(
                            finite ? (std::int64_t{static_cast<std::int32_t>(p.y - box.min_y)} << 32)
                                         | static_cast<std::int32_t>(p.x - box.min_x)
                                   : -1);
                    }
                    std::vector<std::int32_t> expected_writes;
                    for (std::size_t k = 0; k < expected_pixels.size(); ++k) {
                        const bool last = k + 1 == expected_pixels.size();
                        if (expected_pixels[k] >= 0 && (last || expected_pixels[k + 1] != expected_pixels[k]))
                            expected_writes.push_back(static_cast<std::int32_t>(k));
                    }
                    std::vector<std::int64_t> pixels(expected_pixels.size() + destination_slack);
                    std::vector<std::int32_t> writes(expected_pixels.size() + destination_slack);
                    const std::int32_t count = kernels.destinations(grid.view(), i, begin, end, box.min_x,
                                                                    box.min_y, pixels.data(), writes.data());
                    pixels.resize(expected_pixels.size());
                    writes.resize(static_cast<std::size_t>(count));
                    ASSERT_EQ(pixels, expected_pixels) << kernels.name << ", direction " << direction << ", speed "
                                                       << speed << ", column " << i << ", rows " << begin << ".."
                                                       << end;
                    ASSERT_EQ(writes, expected_writes) << kernels.name << ", direction " << direction;
                }
            }
        }
    }
}

// The box of many samples folded in vectors is the box of folding them one
// by one, but for the sign of a zero bound; positions that are not finite,
// among finite ones in the same vector, are left out.
TEST(RenderKernels, BoundsOfManyColumnsAreThoseOfThePlainFold)
{
    for (simd_level level : test_support::supported_simd_levels()) {
        const kernel_table& kernels = kernels_for(level);
        for (std::int32_t direction = 0; direction < 3; ++direction) {
            const view_parameters view = scene_view(direction, 6, 9, 0.7 * 3e8);
            std::vector<double> xs = sample_coordinates(13, 0.2);
            std::vector<double> ys = sample_coordinates(11, 0.1);
            xs.insert(xs.begin() + 7, std::begin(overflowing), std::end(overflowing));
            for (std::size_t at : {3u, 20u, 21u, 50u})
                ys.insert(ys.begin() + static_cast<std::ptrdiff_t>(at), overflowing[at % 3]);
            const solver_terms grid(view, direction, xs, ys);
            position_box box = empty_box();
            kernels.fold_bounds(grid.view(), 0, static_cast<std::int32_t>(xs.size()), &box);
            position_box expected = empty_box();
            for (double x : xs) {
                for (double y : ys) {
                    const apparent_point p = position(view, direction, x, y);
                    include_position(&expected, p.x, p.y);
                }
            }
            EXPECT_EQ(box.min_x, expected.min_x) << kernels.name << " " << direction;
            EXPECT_EQ(box.max_x, expected.max_x) << kernels.name << " " << direction;
            EXPECT_EQ(box.min_y, expected.min_y) << kernels.name << " " << direction;
            EXPECT_EQ(box.max_y, expected.max_y) << kernels.name << " " << direction;
        }
    }
}

// Pass 1 also says whether every column's Ys are finite and never decrease
// down the column, which direction 2's pass 2 relies on to share its work.
TEST(RenderKernels, FoldTellsWhetherEveryColumnIsInOrder)
{
    const auto scalar_in_order = [](const view_parameters& view, std::int32_t direction,
                                    const std::vector<double>& xs, const std::vector<double>& ys) {
        for (double x : xs) {
            double above = -__builtin_inf();
            for (double y : ys) {
                const apparent_point p = position(view, direction, x, y);
                if (!std::isfinite(p.x) || !std::isfinite(p.y) || !(p.y >= above))
                    return false;
                above = p.y;
            }
        }
        return true;
    };
    for (simd_level level : test_support::supported_simd_levels()) {
        const kernel_table& kernels = kernels_for(level);
        for (std::int32_t direction = 0; direction < 3; ++direction) {
            for (double speed : {0.0, 0.5 * 3e8, 0.99999994039535522 * 3e8, 3e8}) {
                const view_parameters view = scene_view(direction, 4, 5, speed);
                const std::vector<double> xs = sample_coordinates(9, 0.5);
                std::vector<double> ys = sample_coordinates(11, 0.2);
                for (int variant = 0; variant < 3; ++variant) {
                    if (variant == 1)
                        std::swap(ys[17], ys[18]);  // one pair out of order
                    if (variant == 2)
                        ys[30] = 1e308;  // not finite in directions 1 and 2
                    const solver_terms grid(view, direction, xs, ys);
                    position_box box = empty_box();
                    const auto columns = static_cast<std::int32_t>(xs.size());
                    const bool in_order = kernels.fold_bounds(grid.view(), 0, columns, &box);
                    EXPECT_EQ(in_order, scalar_in_order(view, direction, xs, ys)) << kernels.name << ", direction "
                                                                            << direction << ", speed " << speed
                                                                            << ", variant " << variant;
                }
            }
        }
    }
}

// The smooth renderer's edges along rows and columns: every width gives
// source_x's (source_y's) bits, in the full lanes and the rest, for every
// effect and speeds up to where the lines bend most.
TEST(RenderKernels, SmoothLinePointsHaveTheBitsOfTheInverseMap)
{
    const relativity_effects effects[] = {relativity_effects::all, relativity_effects::contraction,
                                          relativity_effects::light_time, relativity_effects::none};
    for (simd_level level : test_support::supported_simd_levels()) {
        const kernel_table& k = kernels_for(level);
        for (int along_rows = 0; along_rows < 2; ++along_rows)
            for (relativity_effects e : effects)
                for (double speed : {0.3, 0.6, 0.99, 0.9999}) {
                    view_parameters view{observer_position{-3.25, 17.5, -0.01}, motion_for_speed(speed * 3e8), e};
                    double across = 0.0;
                    const line_map map = map_along_line(view, along_rows != 0, &across);
                    const auto at = [&](double apparent, double y) {
                        return along_rows ? source_x(view, apparent, y) : source_y(view, apparent, y);
                    };
                    // 37 edges from -12.7, on the line 11.25 (0.5 and 1 beyond too).
                    const std::int32_t count = 37;
                    std::vector<double> out(count + 1, -7.0);
                    for (double y : {11.25, 11.75, 12.25}) {
                        k.line_points(map, -12.7, count, (y - across) * (y - across), out.data());
                        for (std::int32_t j = 0; j < count; ++j)
                            EXPECT_TRUE(same_bits(out[j], at(-12.7 + static_cast<double>(j), y)))
                                << k.name << " " << speed << " " << j;
                        EXPECT_EQ(out[count], -7.0) << k.name;
                    }
                    // 65 points across one edge.
                    std::vector<double> squares(65), ends(66, -7.0);
                    for (std::size_t t = 0; t < 65; ++t) {
                        const double d = (11.25 + (static_cast<double>(t) / 64.0)) - across;
                        squares[t] = d * d;
                    }
                    k.edge_points(map, 401.5, squares.data(), 65, ends.data());
                    for (std::size_t t = 0; t < 65; ++t)
                        EXPECT_TRUE(same_bits(ends[t], at(401.5, 11.25 + (static_cast<double>(t) / 64.0))))
                            << k.name << " " << speed << " " << t;
                    EXPECT_EQ(ends[65], -7.0) << k.name;
                }
    }
}

TEST(RenderKernels, TheBestLevelIsSupportedAndNamed)
{
    EXPECT_TRUE(simd_level_supported(best_simd_level()));
    EXPECT_TRUE(simd_level_supported(simd_level::portable));
    EXPECT_EQ(kernels_for(render_machine{}).level, best_simd_level());
}

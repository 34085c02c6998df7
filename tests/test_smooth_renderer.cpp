// The smooth renderer: its inverse maps against the solvers, its canvas, its
// edge cases, and its pictures against a brute-force reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image/jpeg_file.h"
#include "render/renderer.h"
#include "render/smooth/inverse_map.h"
#include "render/smooth/smooth_renderer.h"
#include "tests/test_support.h"

using test_support::pixel_at;
using test_support::raster_digest;

namespace {

render_settings smooth_settings(std::int32_t direction, double speed_fraction, double ox, double oy)
{
    render_settings settings;
    settings.method = render_method::smooth;
    settings.direction = test_support::direction(direction);
    settings.speed = speed_fraction * speed_of_light;
    settings.observer = observer_position{ox, oy, 0.0};
    observer_depth(settings.direction, &settings.observer.observer_z);
    return settings;
}

view_parameters view_of(const render_settings& s) { return view_parameters{s.observer, motion_for_speed(s.speed)}; }

const auto no_progress = [](int, int, std::int32_t) {};

// The source point seen at the apparent point (x, y), through the closed
// forms; false where none is.
bool inverse(const view_parameters& view, std::int32_t direction, double x, double y, double* sx, double* sy)
{
    if (direction == 0) {
        *sx = source_x(view, x, y);
        *sy = y;
        return true;
    }
    if (direction == 1) {
        *sx = x;
        *sy = source_y(view, y, x);
        return true;
    }
    return source_point_radial(view, x, y, sx, sy);
}

// ---- The brute-force reference ------------------------------------------
//
// K x K points evenly spread over each output pixel, each mapped back to the
// source. The footprint's extent on each axis, w, is the spread of those
// points (scaled from the K - 1 gaps between them to K). Each point stands
// for its 1 / K share of the footprint on each axis and takes the average of
// the piecewise-constant source over a box that wide about it, or 1 - w wide
// where that is wider: the source's own pixels where the view shrinks it,
// bilinear interpolation in the limit where it magnifies it. The mean of
// the K x K values, in linear light, is the pixel.
constexpr int reference_k = 16;

// The average over [x - r / 2, x + r / 2] of a line of n pixels (outside:
// black) as weights of its pixels.
void box_weights(double x, double r, std::int32_t n, std::vector<std::pair<std::int32_t, double>>* out)
{
    out->clear();
    const double lo = x - (r / 2.0);
    const double hi = x + (r / 2.0);
    for (auto i = static_cast<std::int32_t>(std::max(0.0, std::floor(lo)));
         i < n && static_cast<double>(i) < hi; ++i) {
        const double overlap = std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i));
        if (overlap > 0.0)
            out->push_back({i, overlap / r});
    }
}

raster reference_picture(const raster& source, const render_settings& settings, const position_box& box,
                         std::int32_t width, std::int32_t height)
{
    const view_parameters view = view_of(settings);
    const auto direction = static_cast<std::int32_t>(settings.direction);
    const linear_picture light = decode_picture(source);
    const srgb_light_tables& tables = srgb_light();
    raster out = allocate_raster(width, height);
    std::vector<double> xs, ys;
    std::vector<std::pair<std::int32_t, double>> wx, wy;
    for (std::int32_t i = 0; i < height; ++i) {
        for (std::int32_t j = 0; j < width; ++j) {
            const int k = reference_k;
            xs.clear();
            ys.clear();
            for (int a = 0; a < k; ++a) {
                for (int b = 0; b < k; ++b) {
                    double sx = 0.0, sy = 0.0;
                    if (inverse(view, direction, box.min_x + j + (b + 0.5) / k, box.min_y + i + (a + 0.5) / k, &sx,
                                &sy)) {
                        xs.push_back(sx);
                        ys.push_back(sy);
                    }
                }
            }
            if (xs.empty())
                continue;
            const double stretch = static_cast<double>(k) / (k - 1);
            const double w_x = (*std::max_element(xs.begin(), xs.end()) - *std::min_element(xs.begin(), xs.end()))
                               * stretch;
            const double w_y = (*std::max_element(ys.begin(), ys.end()) - *std::min_element(ys.begin(), ys.end()))
                               * stretch;
            const double r_x = std::max(1.0 - w_x, w_x / k);
            const double r_y = std::max(1.0 - w_y, w_y / k);
            double sum[3] = {0.0, 0.0, 0.0};
            for (std::size_t p = 0; p < xs.size(); ++p) {
                box_weights(xs[p], r_x, source.width, &wx);
                box_weights(ys[p], r_y, source.height, &wy);
                for (const auto& y : wy)
                    for (const auto& x : wx)
                        for (int c = 0; c < 3; ++c)
                            sum[c] += x.second * y.second
                                      * light.values[(static_cast<std::size_t>(y.first) * source.width + x.first) * 3
                                                     + c];
            }
            unsigned char* pixel = out.pixels.get() + (static_cast<std::size_t>(i) * width + j) * 3;
            for (int c = 0; c < 3; ++c)
                pixel[c] = encode_light(tables, static_cast<float>(sum[c] / (static_cast<double>(k) * k)));
        }
    }
    return out;
}

struct error_figures {
    double mean = 0.0;       // mean absolute error per channel, 8-bit units
    double over_8 = 0.0;     // share of pixels with a channel off by more than 8
};

error_figures compare(const raster& a, const raster& b)
{
    error_figures e;
    double total = 0.0;
    std::int64_t off = 0;
    const std::int64_t pixels = static_cast<std::int64_t>(a.width) * a.height;
    for (std::int64_t p = 0; p < pixels; ++p) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = std::abs(int{a.pixels[p * 3 + c]} - int{b.pixels[p * 3 + c]});
            total += d;
            worst = std::max(worst, d);
        }
        off += worst > 8;
    }
    e.mean = total / static_cast<double>(pixels * 3);
    e.over_8 = static_cast<double>(off) / static_cast<double>(pixels);
    return e;
}

// Pictures with detail at the pixel's scale.
raster checkerboard(std::int32_t width, std::int32_t height)
{
    raster r = allocate_raster(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            unsigned char* p = r.pixels.get() + (static_cast<std::size_t>(y) * width + x) * 3;
            const bool odd = ((x + y) & 1) != 0;
            p[0] = odd ? 255 : 0;
            p[1] = odd ? 30 : 240;
            p[2] = odd ? 200 : 10;
        }
    return r;
}

// Rings whose frequency rises to one cycle in two pixels at the far corner.
raster zone_plate(std::int32_t width, std::int32_t height)
{
    raster r = allocate_raster(width, height);
    const double cx = width / 2.0, cy = height / 2.0;
    const double k = 3.141592653589793 / (2.0 * std::sqrt(cx * cx + cy * cy));
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double v = 127.5 + 127.5 * std::cos(k * (dx * dx + dy * dy));
            unsigned char* p = r.pixels.get() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = static_cast<unsigned char>(v);
            p[1] = static_cast<unsigned char>(255.0 - v);
            p[2] = static_cast<unsigned char>(v * 0.5 + 60.0);
        }
    return r;
}

raster photo_crop(std::int32_t width, std::int32_t height)
{
    const jpeg_read read = read_jpeg_file(LUMIRUN_SAMPLE_JPEG);
    raster r = allocate_raster(width, height);
    if (!read.picture.pixels)
        return r;
    // From about the middle, inside the picture.
    const std::int32_t left = std::min(200, read.picture.width - width);
    const std::int32_t top = std::min(150, read.picture.height - height);
    if (left < 0 || top < 0)
        return r;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width * 3; ++x)
            r.pixels[static_cast<std::size_t>(y) * width * 3 + x]
                = read.picture.pixels[(static_cast<std::size_t>(y) + top) * read.picture.width * 3 + 3 * left + x];
    return r;
}

struct test_picture {
    const char* name;
    raster (*make)(std::int32_t, std::int32_t);
};
const test_picture test_pictures[] = {{"checkerboard", checkerboard}, {"zone plate", zone_plate},
                                      {"photo crop", photo_crop}};

// Straight at it draws at 20 times the scale at speed 0; at 99 % it shrinks
// the picture about a hundredfold, so a larger one fills more than a few
// pixels (the whole view then lies within 14 pixels of the observer).
void picture_size(std::int32_t direction, double speed, std::int32_t* width, std::int32_t* height)
{
    const bool large = direction == 2 && speed > 0.9;
    *width = direction == 2 ? (large ? 61 : 21) : 47;
    *height = direction == 2 ? (large ? 45 : 17) : 35;
}

void observer_for(std::int32_t direction, std::int32_t width, std::int32_t height, double* ox, double* oy)
{
    *ox = direction == 1 ? 13.0 : 0.0;
    *oy = direction == 1 ? 0.0 : 11.0;
    if (direction == 2) {
        *ox = width / 3;
        *oy = height / 2;
    }
}

}  // namespace

TEST(SmoothRenderer, InverseMapsUndoTheSolvers)
{
    const double observers[][2] = {{0.0, 11.0}, {17.0, 5.0}, {-30.0, 70.0}};
    for (std::int32_t direction = 0; direction < 3; ++direction)
        for (const auto& o : observers)
            for (double speed : {0.0, 0.6, 0.99}) {
                const view_parameters view = view_of(smooth_settings(direction, speed, o[0], o[1]));
                double worst = 0.0;
                for (double y = 0.0; y <= 48.0; y += 0.75)
                    for (double x = 0.0; x <= 64.0; x += 0.75) {
                        const apparent_point a = apparent_position(view, test_support::direction(direction), x, y);
                        double sx = 0.0, sy = 0.0;
                        ASSERT_TRUE(inverse(view, direction, a.x, a.y, &sx, &sy)) << x << "," << y;
                        worst = std::max(worst, std::max(std::fabs(sx - x), std::fabs(sy - y)));
                    }
                EXPECT_LT(worst, direction == 2 ? 1e-8 : 1e-10)
                    << "direction " << direction << ", speed " << speed << ", observer " << o[0] << "," << o[1];
            }
}

// The canvas holds the image of the whole border and no more: densely
// sampled sides reach its edges.
TEST(SmoothRenderer, CanvasIsTheBoundingBoxOfTheBordersImage)
{
    const double observers[][2] = {{0.0, 11.0}, {9.0, 30.0}, {-30.0, -7.0}, {40.0, 8.0}};
    for (std::int32_t direction = 0; direction < 3; ++direction)
        for (const auto& o : observers) {
            const render_settings settings = smooth_settings(direction, 0.6, o[0], o[1]);
            const view_parameters view = view_of(settings);
            position_box box{};
            ASSERT_TRUE(smooth_canvas(view, settings.direction, 33, 21, &box));
            position_box sampled = empty_box();
            for (int k = 0; k <= 6000; ++k) {
                const double t = k / 6000.0;
                const double points[4][2] = {{t * 33, 0.0}, {t * 33, 21.0}, {0.0, t * 21}, {33.0, t * 21}};
                for (const auto& p : points) {
                    const apparent_point a = apparent_position(view, settings.direction, p[0], p[1]);
                    include_position(&sampled, a.x, a.y);
                }
            }
            const double slack = direction == 2 ? 0.05 : 0.01;
            EXPECT_LE(box.min_x, sampled.min_x + 1e-9);
            EXPECT_GE(box.max_x, sampled.max_x - 1e-9);
            EXPECT_LE(box.min_y, sampled.min_y + 1e-9);
            EXPECT_GE(box.max_y, sampled.max_y - 1e-9);
            EXPECT_LT(sampled.min_x - box.min_x + box.max_x - sampled.max_x, slack) << direction;
            EXPECT_LT(sampled.min_y - box.min_y + box.max_y - sampled.max_y, slack) << direction;
        }
}

TEST(SmoothRenderer, SpeedZeroAlongRowsOrColumnsGivesTheSourceBack)
{
    const raster source = test_support::gradient_picture(13, 7);
    for (std::int32_t direction : {0, 1}) {
        const render_output out = render_picture(source, smooth_settings(direction, 0.0, 5.0, 3.0), no_progress);
        ASSERT_EQ(out.status, render_status::done);
        EXPECT_EQ(out.picture.width, 16);
        EXPECT_EQ(out.picture.height, 7);
        EXPECT_EQ(out.box.min_x, 0.0);
        EXPECT_EQ(out.box.max_y, 7.0);
        for (std::int32_t y = 0; y < 7; ++y)
            for (std::int32_t x = 0; x < 16; ++x)
                ASSERT_EQ(pixel_at(out.picture, x, y),
                          (x < 13 ? pixel_at(source, x, y) : std::vector<unsigned char>{0, 0, 0}))
                    << direction << ": " << x << "," << y;
    }
}

// The same bytes for every thread count, and through the linear entry
// point; progress in order; absent pixels read nowhere.
TEST(SmoothRenderer, SameBytesEverywayAndProgressInOrder)
{
    const raster source = test_support::gradient_picture(61, 43);
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        render_settings settings = smooth_settings(direction, 0.8, 20.0, 31.0);
        std::vector<std::pair<int, int>> reports;
        settings.machine.threads = 1;
        const render_output one = render_picture(source, settings, [&](int pass, int percent, std::int32_t) {
            reports.push_back({pass, percent});
        });
        ASSERT_EQ(one.status, render_status::done);
        EXPECT_EQ(one.steps.x, 0.0);
        ASSERT_GE(reports.size(), 2u);
        EXPECT_EQ(reports.front(), (std::pair<int, int>{1, 0}));
        EXPECT_EQ(reports.back(), (std::pair<int, int>{2, 100}));
        for (std::size_t k = 2; k < reports.size(); ++k)
            EXPECT_LE(reports[k - 1].second, reports[k].second);
        for (int threads : {2, 3, 7}) {
            settings.machine.threads = threads;
            EXPECT_EQ(raster_digest(render_picture(source, settings, no_progress).picture),
                      raster_digest(one.picture))
                << direction << ", " << threads << " threads";
        }
        linear_picture light;
        position_box box{};
        ASSERT_EQ(render_smooth_linear(decode_picture(source), settings, no_progress, &light, &box),
                  render_status::done);
        EXPECT_EQ(raster_digest(encode_picture(light)), raster_digest(one.picture)) << direction;
        EXPECT_EQ(box.min_x, one.box.min_x);

        const render_output measured = measure_picture(source, settings, no_progress);
        EXPECT_FALSE(measured.picture.pixels);
        EXPECT_EQ(measured.picture.width, one.picture.width);
        EXPECT_EQ(measured.picture.height, one.picture.height);

        raster absent = allocate_raster(61, 43);
        absent.pixels.reset();
        const render_output black = render_picture(absent, settings, no_progress);
        ASSERT_TRUE(black.picture.pixels);
        EXPECT_EQ(black.picture.width, one.picture.width);
        EXPECT_EQ(raster_digest(black.picture),
                  raster_digest(allocate_raster(one.picture.width, one.picture.height)));
    }
}

// Same bytes on every platform: digests recorded once, checked by the
// Linux and the Windows build alike.
TEST(SmoothRenderer, DigestsAreTheSameEverywhere)
{
    const raster source = test_support::f_picture(44, 33);
    const char* const expected[3] = {"a76d22ea486effbb", "b2eb304ecbfed0a3", "b4595a43941b2a22"};
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        const render_output out = render_picture(source, smooth_settings(direction, 0.7, 7.0, 16.0), no_progress);
        EXPECT_EQ(raster_digest(out.picture), expected[direction]) << direction;
    }
}

TEST(SmoothRenderer, EdgeCases)
{
    // A 1 x 1 source at speed 0 straight at it: a 20 x 20 square of it.
    raster one = allocate_raster(1, 1);
    one.pixels[0] = 10, one.pixels[1] = 200, one.pixels[2] = 90;
    const render_output square = render_picture(one, smooth_settings(2, 0.0, 0.0, 0.0), no_progress);
    ASSERT_EQ(square.status, render_status::done);
    EXPECT_EQ(square.picture.width, 20);
    EXPECT_EQ(square.picture.height, 20);
    // Bilinear towards the black outside, the same from every side: no
    // pixel flipped or shifted.
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(pixel_at(square.picture, x, y), pixel_at(square.picture, 19 - x, 19 - y)) << x << "," << y;
    EXPECT_LE(std::abs(pixel_at(square.picture, 10, 10)[1] - 200), 2);
    EXPECT_LT(pixel_at(square.picture, 0, 0)[1], 150);

    // Near the speed of light straight at it the whole picture shrinks about
    // the observer, and the denominator's limit lies just past it: finite,
    // the edge pixels darker than the source, nothing outside lit.
    const raster grey = test_support::gradient_picture(40, 30);
    const render_settings fast = smooth_settings(2, 0.99999994039535522, 20.0, 15.0);
    const render_output tiny = render_picture(grey, fast, no_progress);
    ASSERT_EQ(tiny.status, render_status::done);
    EXPECT_LE(tiny.picture.width, 8);
    const view_parameters view = view_of(fast);
    radial_scales scales{};
    const double limit = 5.0 / (view.motion.beta * view.motion.gamma);
    EXPECT_TRUE(radial_scales_at(view, limit * 0.999, &scales));
    EXPECT_FALSE(radial_scales_at(view, limit * 1.001, &scales));
    double sx = 0.0, sy = 0.0;
    EXPECT_FALSE(source_point_radial(view, 20.0 * (20.0 + limit * 1.001), 20.0 * 15.0, &sx, &sy));

    // Statuses: an unknown direction, a side over the limit, too little memory.
    render_settings settings = smooth_settings(0, 0.5, 0.0, 15.0);
    settings.direction = test_support::direction(3);
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::unknown_direction);
    settings = smooth_settings(0, 0.5, 0.0, 15.0);
    settings.largest_side = 20;
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::too_large);
    settings.largest_side = 0;
    settings.memory_limit = 100;
    raster replaced = allocate_raster(4, 4);
    const render_output refused = render_picture(grey, settings, no_progress, &replaced);
    EXPECT_EQ(refused.status, render_status::out_of_memory);
    EXPECT_FALSE(replaced.pixels);
    EXPECT_GT(refused.picture.width, 0);
}

// Against the brute-force reference on pictures with detail at the pixel's
// scale, in every direction and at several speeds.
TEST(SmoothRenderer, MatchesTheReference)
{
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        for (const test_picture& picture : test_pictures) {
            for (double speed : {0.0, 0.6, 0.99}) {
                std::int32_t width = 0, height = 0;
                picture_size(direction, speed, &width, &height);
                double ox = 0.0, oy = 0.0;
                observer_for(direction, width, height, &ox, &oy);
                const raster source = picture.make(width, height);
                const render_settings settings = smooth_settings(direction, speed, ox, oy);
                const render_output out = render_picture(source, settings, no_progress);
                ASSERT_EQ(out.status, render_status::done);
                const raster expected
                    = reference_picture(source, settings, out.box, out.picture.width, out.picture.height);
                const error_figures e = compare(out.picture, expected);
                std::printf("smooth     dir %d %-12s %4.0f %%  %4dx%-4d mean %6.3f  over 8: %6.3f %%\n", direction,
                            picture.name, speed * 100, out.picture.width, out.picture.height, e.mean,
                            e.over_8 * 100);
                EXPECT_LE(e.mean, 1.0) << direction << " " << picture.name << " " << speed;
                EXPECT_LE(e.over_8, 0.001) << direction << " " << picture.name << " " << speed;
            }
        }
    }
}

// The exact renderer against the same reference, for comparison: figures
// only (run with --gtest_also_run_disabled_tests).
TEST(SmoothRenderer, DISABLED_ExactRendererAgainstTheReference)
{
    const char* const names[] = {"", "Low", "Medium", "High", "Ultra"};
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        for (const test_picture& picture : test_pictures) {
            for (double speed : {0.0, 0.6, 0.99})
                for (std::int32_t quality = 1; quality <= 4; ++quality) {
                    std::int32_t width = 0, height = 0;
                    picture_size(direction, speed, &width, &height);
                    double ox = 0.0, oy = 0.0;
                    observer_for(direction, width, height, &ox, &oy);
                    const raster source = picture.make(width, height);
                    render_settings settings = smooth_settings(direction, speed, ox, oy);
                    settings.method = render_method::exact;
                    settings.quality = test_support::quality(quality);
                    const render_output out = render_picture(source, settings, no_progress);
                    const raster expected
                        = reference_picture(source, settings, out.box, out.picture.width, out.picture.height);
                    const error_figures e = compare(out.picture, expected);
                    std::printf("%-10s dir %d %-12s %4.0f %%  %4dx%-4d mean %6.3f  over 8: %6.3f %%\n",
                                names[quality], direction, picture.name, speed * 100, out.picture.width,
                                out.picture.height, e.mean, e.over_8 * 100);
                }
        }
    }
}

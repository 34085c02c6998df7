// The smooth renderer: its inverse maps against the solvers, its canvas, its
// edge cases, and its pictures against a brute-force reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image/jpeg_file.h"
#include "colour/spectral_colour.h"
#include "render/doppler.h"
#include "render/renderer.h"
#include "render/smooth/footprint_cover.h"
#include "render/smooth/inverse_map.h"
#include "render/smooth/prefilter.h"
#include "render/smooth/seen_light.h"
#include "render/smooth/smooth_renderer.h"
#include "tests/jpeg_test_support.h"
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

view_parameters view_of(const render_settings& s)
{
    return view_parameters{s.observer, motion_for_speed(s.speed), s.effects};
}

const relativity_effects every_effect[] = {relativity_effects::all, relativity_effects::contraction,
                                           relativity_effects::light_time, relativity_effects::none};

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
// The light an output pixel gathers: the mean, over its area, of the
// piecewise-constant source (pixel (x, y) covers [x, x + 1) x [y, y + 1),
// black outside) seen at each of its points, in linear light. The pixel is
// cut into K x K squares whose corners are mapped back; each square's image
// is taken as the quadrilateral through those four points and averaged over
// exactly, by clipping it against every source pixel it touches. K is 16
// where the pixel's footprint spans a source pixel or more (the map bends
// across it), 4 below. A square with a corner past the map's limit sees
// nothing: black.
constexpr int reference_k = 16;

struct reference_point {
    double x;
    double y;
};

// The part of a convex polygon (n <= 12 points) with coordinate axis (0: x,
// 1: y) on one side of bound.
int clip_polygon(const reference_point* in, int n, int axis, double bound, bool keep_above, reference_point* out)
{
    int m = 0;
    for (int k = 0; k < n; ++k) {
        const reference_point& a = in[k];
        const reference_point& b = in[(k + 1) % n];
        const double va = axis == 0 ? a.x : a.y;
        const double vb = axis == 0 ? b.x : b.y;
        const bool a_in = keep_above ? va >= bound : va <= bound;
        const bool b_in = keep_above ? vb >= bound : vb <= bound;
        if (a_in)
            out[m++] = a;
        if (a_in != b_in) {
            const double t = (bound - va) / (vb - va);
            out[m++] = reference_point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        }
    }
    return m;
}

double polygon_area(const reference_point* p, int n)
{
    double twice = 0.0;
    for (int k = 0; k < n; ++k)
        twice += p[k].x * p[(k + 1) % n].y - p[(k + 1) % n].x * p[k].y;
    return std::fabs(twice) / 2.0;
}

// The source's mean light over the quadrilateral q.
void quad_mean(const linear_picture& light, const reference_point q[4], double mean[3])
{
    mean[0] = mean[1] = mean[2] = 0.0;
    const double area = polygon_area(q, 4);
    if (!(area > 0.0))
        return;
    reference_point inside[12], scratch[12], row[12], cell[12];
    int n = clip_polygon(q, 4, 0, 0.0, true, scratch);
    n = clip_polygon(scratch, n, 0, static_cast<double>(light.width), false, inside);
    n = clip_polygon(inside, n, 1, 0.0, true, scratch);
    n = clip_polygon(scratch, n, 1, static_cast<double>(light.height), false, inside);
    if (n < 3)
        return;
    double x0 = inside[0].x, x1 = inside[0].x, y0 = inside[0].y, y1 = inside[0].y;
    for (int k = 1; k < n; ++k) {
        x0 = std::min(x0, inside[k].x), x1 = std::max(x1, inside[k].x);
        y0 = std::min(y0, inside[k].y), y1 = std::max(y1, inside[k].y);
    }
    for (auto j = std::max(0, static_cast<std::int32_t>(std::floor(y0))); j < light.height && j <= y1; ++j) {
        int r = clip_polygon(inside, n, 1, j, true, scratch);
        r = clip_polygon(scratch, r, 1, j + 1.0, false, row);
        if (r < 3)
            continue;
        for (auto i = std::max(0, static_cast<std::int32_t>(std::floor(x0))); i < light.width && i <= x1; ++i) {
            int c = clip_polygon(row, r, 0, i, true, scratch);
            c = clip_polygon(scratch, c, 0, i + 1.0, false, cell);
            if (c < 3)
                continue;
            const double share = polygon_area(cell, c) / area;
            const float* v = &light.values[(static_cast<std::size_t>(j) * light.width + i) * 3];
            for (int ch = 0; ch < 3; ++ch)
                mean[ch] += share * v[ch];
        }
    }
}

// The source light at the output point (x, y), or black.
bool map_back(const view_parameters& view, std::int32_t direction, double x, double y, reference_point* p)
{
    return inverse(view, direction, x, y, &p->x, &p->y) && std::isfinite(p->x) && std::isfinite(p->y);
}

// The reference's light for output pixel (j, i) of a canvas at box.
void reference_pixel(const linear_picture& light, const view_parameters& view, std::int32_t direction,
                     const position_box& box, std::int32_t i, std::int32_t j, double sum[3])
{
    sum[0] = sum[1] = sum[2] = 0.0;
    const double left = box.min_x + j, top = box.min_y + i;
    reference_point corners[4];
    bool all = true;
    for (int k = 0; k < 4; ++k)
        all = map_back(view, direction, left + (k & 1), top + (k >> 1), &corners[k]) && all;
    int k_side = reference_k;
    if (all) {
        double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
        for (const reference_point& c : corners) {
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
        }
        if (x1 - x0 < 1.0 && y1 - y0 < 1.0) {
            k_side = 4;
            // Inside one source pixel: that pixel.
            if (std::floor(x0) == std::floor(x1) && std::floor(y0) == std::floor(y1)) {
                if (x0 >= 0.0 && y0 >= 0.0 && x1 < light.width && y1 < light.height) {
                    const float* v = &light.values[(static_cast<std::size_t>(y0) * light.width
                                                    + static_cast<std::size_t>(x0)) * 3];
                    sum[0] = v[0], sum[1] = v[1], sum[2] = v[2];
                }
                return;
            }
        }
    }
    const int k = k_side;
    std::vector<reference_point> grid(static_cast<std::size_t>(k + 1) * (k + 1));
    std::vector<char> valid(grid.size());
    for (int a = 0; a <= k; ++a)
        for (int b = 0; b <= k; ++b)
            valid[a * (k + 1) + b]
                = map_back(view, direction, left + static_cast<double>(b) / k, top + static_cast<double>(a) / k,
                           &grid[a * (k + 1) + b]);
    for (int a = 0; a < k; ++a)
        for (int b = 0; b < k; ++b) {
            const int at[4] = {a * (k + 1) + b, a * (k + 1) + b + 1, (a + 1) * (k + 1) + b + 1, (a + 1) * (k + 1) + b};
            if (!valid[at[0]] || !valid[at[1]] || !valid[at[2]] || !valid[at[3]])
                continue;
            const reference_point q[4] = {grid[at[0]], grid[at[1]], grid[at[2]], grid[at[3]]};
            double mean[3];
            quad_mean(light, q, mean);
            for (int c = 0; c < 3; ++c)
                sum[c] += mean[c] / (static_cast<double>(k) * k);
        }
}

// The reference over a width x height canvas at box; its pixels are
// encoded to bytes as the renderer's are.
raster reference_picture(const raster& source, const render_settings& settings, const position_box& box,
                         std::int32_t width, std::int32_t height)
{
    const view_parameters view = view_of(settings);
    const auto direction = static_cast<std::int32_t>(settings.direction);
    const linear_picture light = decode_picture(source);
    const srgb_light_tables& tables = srgb_light();
    raster out = allocate_raster(width, height);
    for (std::int32_t i = 0; i < height; ++i)
        for (std::int32_t j = 0; j < width; ++j) {
            double sum[3];
            reference_pixel(light, view, direction, box, i, j, sum);
            unsigned char* pixel = out.pixels.get() + (static_cast<std::size_t>(i) * width + j) * 3;
            for (int c = 0; c < 3; ++c)
                pixel[c] = encode_light(tables, static_cast<float>(sum[c]));
        }
    return out;
}

struct error_figures {
    double mean = 0.0;       // mean absolute error per channel, 8-bit units
    double over_8 = 0.0;     // share of pixels with a channel off by more than 8
};

// Over the first `columns` columns of two rasters of one size.
error_figures compare(const raster& a, const raster& b, std::int32_t columns)
{
    error_figures e;
    double total = 0.0;
    std::int64_t off = 0;
    for (std::int32_t y = 0; y < a.height; ++y)
        for (std::int32_t x = 0; x < columns; ++x) {
            const std::size_t p = (static_cast<std::size_t>(y) * a.width + x) * 3;
            int worst = 0;
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int{a.pixels[p + c]} - int{b.pixels[p + c]});
                total += d;
                worst = std::max(worst, d);
            }
            off += worst > 8;
        }
    const double pixels = static_cast<double>(columns) * a.height;
    e.mean = total / (pixels * 3);
    e.over_8 = static_cast<double>(off) / pixels;
    return e;
}

error_figures compare(const raster& a, const raster& b) { return compare(a, b, a.width); }

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

// Straight at it at 30 %, where the viewer puts the observer after an
// open: on the left edge, half-way down, so that the view magnifies the
// picture near the observer and shrinks it a hundredfold at its far side.
void observer_for(std::int32_t direction, double speed, std::int32_t width, std::int32_t height, double* ox,
                  double* oy)
{
    *ox = direction == 1 ? 13.0 : 0.0;
    *oy = direction == 1 ? 0.0 : 11.0;
    if (direction == 2) {
        *ox = speed == 0.3 ? 0.0 : width / 3;
        *oy = height / 2;
    }
}

}  // namespace

// Every effect's inverse undoes its forward map.
TEST(SmoothRenderer, InverseMapsUndoTheSolvers)
{
    const double observers[][2] = {{0.0, 11.0}, {17.0, 5.0}, {-30.0, 70.0}};
    for (const relativity_effects effects : every_effect)
        for (std::int32_t direction = 0; direction < 3; ++direction)
            for (const auto& o : observers)
                for (double speed : {0.0, 0.6, 0.99}) {
                    render_settings settings = smooth_settings(direction, speed, o[0], o[1]);
                    settings.effects = effects;
                    const view_parameters view = view_of(settings);
                    double worst = 0.0;
                    for (double y = 0.0; y <= 48.0; y += 0.75)
                        for (double x = 0.0; x <= 64.0; x += 0.75) {
                            const apparent_point a = apparent_position(view, settings.direction, x, y);
                            double sx = 0.0, sy = 0.0;
                            ASSERT_TRUE(inverse(view, direction, a.x, a.y, &sx, &sy)) << x << "," << y;
                            worst = std::max(worst, std::max(std::fabs(sx - x), std::fabs(sy - y)));
                        }
                    EXPECT_LT(worst, direction == 2 ? 1e-8 : 1e-10)
                        << "effects " << static_cast<int>(effects) << ", direction " << direction << ", speed "
                        << speed << ", observer " << o[0] << "," << o[1];
                }
}

// Each effect's forward map against its own physics, from left to right
// (top to bottom alike): the point of rest coordinate x is at x / g + beta t
// at the observer's time t, and is seen where it was when its light left (t
// = -R) or, without the light's delay, where it is at t = 0. Straight at it
// light-time is all (the flat picture has no length along the motion to
// contract), and contraction and none are the picture at rest.
TEST(SmoothRenderer, EffectsShowWhatTheyName)
{
    const double ox = 17.0, oy = 5.0;
    for (double speed : {0.3, 0.9}) {
        const motion_parameters m = motion_for_speed(speed * speed_of_light);
        for (const relativity_effects effects : every_effect) {
            const double g = shows_contraction(effects) ? m.gamma : 1.0;
            const double b = shows_light_time(effects) ? m.beta : 0.0;
            for (std::int32_t direction = 0; direction < 3; ++direction) {
                render_settings settings = smooth_settings(direction, speed, ox, oy);
                settings.effects = effects;
                const view_parameters view = view_of(settings);
                render_settings matching = smooth_settings(direction, shows_light_time(effects) ? speed : 0.0, ox, oy);
                const view_parameters radial = view_of(matching);
                for (double y = 0.0; y <= 40.0; y += 5.0)
                    for (double x = -10.0; x <= 60.0; x += 7.0) {
                        const apparent_point a = apparent_position(view, settings.direction, x, y);
                        if (direction == 2) {
                            const apparent_point e = apparent_position(radial, settings.direction, x, y);
                            EXPECT_TRUE(a.x == e.x && a.y == e.y) << static_cast<int>(effects);
                            continue;
                        }
                        const double along = direction == 0 ? a.x : a.y, rest = direction == 0 ? x : y;
                        const double across = direction == 0 ? y - oy : x - ox;
                        const double o_along = direction == 0 ? ox : oy;
                        const double r = std::sqrt((along + o_along) * (along + o_along) + across * across
                                                   + view.observer.observer_z * view.observer.observer_z);
                        EXPECT_NEAR(along, rest / g - b * r, 1e-9 * (1.0 + r))
                            << static_cast<int>(effects) << " " << direction << " " << x << "," << y;
                        EXPECT_EQ(direction == 0 ? a.y : a.x, direction == 0 ? y : x);
                    }
            }
        }
    }
}

// Straight at it the scales are the radial map's derivatives: the source
// distance r(rho) = rho k grows by `along` per unit of rho, `across` is k,
// and along itself grows by `growth` times along.
TEST(SmoothRenderer, RadialScalesAreTheMapsDerivatives)
{
    for (double speed : {0.1, 0.6, 0.99}) {
        const view_parameters view = view_of(smooth_settings(2, speed, 3.0, 4.0));
        const double limit = 5.0 / (view.motion.beta * view.motion.gamma);
        for (double share : {0.1, 0.5, 0.9, 0.99}) {
            const double rho = share * limit, h = rho * 1e-5;
            const auto r = [&](double at) {
                double x = 0.0, y = 0.0;
                EXPECT_TRUE(source_point_radial(view, 20.0 * (3.0 + at), 20.0 * 4.0, &x, &y));
                return x - 3.0;
            };
            radial_scales s{}, before{}, after{};
            ASSERT_TRUE(radial_scales_at(view, rho, &s) && radial_scales_at(view, rho - h, &before)
                        && radial_scales_at(view, rho + h, &after));
            EXPECT_NEAR(s.across, r(rho) / rho, 1e-9 * s.across) << speed << " " << share;
            EXPECT_NEAR(s.along, (r(rho + h) - r(rho - h)) / (2.0 * h), 1e-5 * s.along) << speed << " " << share;
            EXPECT_NEAR(s.growth, (after.along - before.along) / (2.0 * h) / s.along, 1e-5 * s.growth)
                << speed << " " << share;
        }
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

// A picture as a read gives it: its width rounded up to a multiple of 4,
// the alignment columns black, image_width its own.
raster read_like(const raster& picture)
{
    std::int32_t width = 0;
    round_width_to_4(picture.width, &width);
    raster padded = allocate_raster(width, picture.height);
    for (std::int32_t y = 0; y < picture.height; ++y)
        std::copy_n(picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3, picture.width * 3,
                    padded.pixels.get() + static_cast<std::size_t>(y) * width * 3);
    padded.image_width = picture.width;
    return padded;
}

// The picture comes back as it came in, whatever its width: no alignment
// columns taken from the source or added to the canvas.
TEST(SmoothRenderer, SpeedZeroAlongRowsOrColumnsGivesTheSourceBack)
{
    for (std::int32_t width : {13, 37, 40}) {
        const raster source = read_like(test_support::gradient_picture(width, 23));
        for (std::int32_t k = 0; k < 8; ++k) {
            const std::int32_t direction = k / 4;
            const relativity_effects effects = every_effect[k % 4];
            render_settings settings = smooth_settings(direction, 0.0, 5.0, 3.0);
            settings.effects = effects;
            // None is the picture at rest at any speed.
            if (effects == relativity_effects::none)
                settings.speed = 0.9 * speed_of_light;
            const render_output out = render_picture(source, settings, no_progress);
            ASSERT_EQ(out.status, render_status::done);
            EXPECT_EQ(image_width_of(out.picture), width);
            EXPECT_EQ(out.picture.width, source.width);
            EXPECT_EQ(out.picture.height, 23);
            EXPECT_EQ(out.box.min_x, 0.0);
            EXPECT_EQ(out.box.max_x, width);
            EXPECT_EQ(out.box.max_y, 23.0);
            EXPECT_EQ(raster_digest(out.picture), raster_digest(source))
                << width << ", direction " << direction << ", effects " << static_cast<int>(effects);
        }
    }
}

// A last row or column the picture barely reaches is left out: from top to
// bottom at 30 % these canvases had a last row the white picture reached
// 1 to 4 % into, near black. The canvas still holds the whole picture but
// a sliver, and its last row and column hold light. (Straight at it the
// same rule sizes the canvas; seen from afar the picture there is itself a
// thin arc.)
TEST(SmoothRenderer, CanvasEndsWhereThePictureIsDrawn)
{
    raster white = allocate_raster(640, 480);
    std::fill_n(white.pixels.get(), 640 * 480 * 3, static_cast<unsigned char>(255));
    const double observers[][2] = {{640.0, 480.0}, {5000.0, 5000.0}, {-200.0, 100.0}, {320.0, 0.0}};
    for (std::int32_t direction = 0; direction < 2; ++direction)
        for (const auto& o : observers) {
            render_settings settings = smooth_settings(direction, 0.3, o[0], o[1]);
            const render_output out = render_picture(white, settings, no_progress);
            ASSERT_EQ(out.status, render_status::done);
            const std::int32_t w = image_width_of(out.picture), h = out.picture.height;
            EXPECT_LT(out.box.max_x - out.box.min_x - w, 1.0 / 16.0);
            EXPECT_LT(out.box.max_y - out.box.min_y - h, 1.0 / 16.0);
            int last_row = 0, last_column = 0;
            for (std::int32_t x = 0; x < w; ++x)
                last_row = std::max(last_row, int{pixel_at(out.picture, x, h - 1)[1]});
            for (std::int32_t y = 0; y < h; ++y)
                last_column = std::max(last_column, int{pixel_at(out.picture, w - 1, y)[1]});
            // 1/16 of white's light is 71 in sRGB.
            EXPECT_GE(last_row, 71) << direction << " at " << o[0] << "," << o[1];
            EXPECT_GE(last_column, 71) << direction << " at " << o[0] << "," << o[1];
            if (direction == 1 && o[1] > 400.0) {
                // Where the exact renderer's canvas ends too.
                settings.method = render_method::exact;
                EXPECT_EQ(measure_picture(white, settings, no_progress).picture.height, h);
            }
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
        // Every vector width, at speeds where rows and columns bend a little
        // and most (edges cut into 2, 8 and 64 pieces).
        for (double speed : {0.6, 0.99, 0.9999}) {
            if (direction == 2)
                break;
            render_settings fast = smooth_settings(direction, speed, 20.0, 31.0);
            fast.machine.simd_chosen = true;
            fast.machine.simd = simd_level::portable;
            const std::string plain = raster_digest(render_picture(source, fast, no_progress).picture);
            for (simd_level level : test_support::supported_simd_levels()) {
                fast.machine.simd = level;
                EXPECT_EQ(raster_digest(render_picture(source, fast, no_progress).picture), plain)
                    << direction << ", " << speed << ", " << static_cast<int>(level);
            }
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

// A footprint's light is the exact area average of the source under it,
// black outside the picture, whatever its shape: a thin sliver across a
// pixel corner sees the two pixels it crosses, not all four.
TEST(SmoothRenderer, FootprintLightIsTheExactAreaAverage)
{
    // 4 x 4 pixels, pixel (x, y) holding 1 + x + 4 y in every channel.
    std::vector<float> values(48);
    for (int k = 0; k < 16; ++k)
        values[3 * k] = values[3 * k + 1] = values[3 * k + 2] = static_cast<float>(1 + k);
    const smooth_source source{values.data(), nullptr, 4, 4, 4};
    const auto v = [](int x, int y) { return 1.0 + x + 4.0 * y; };
    const auto light = [&](const footprint_parallelogram& p) {
        double sum[3] = {0.0, 0.0, 0.0};
        add_footprint_light(source, srgb_light(), p, 1.0, sum);
        EXPECT_EQ(sum[0], sum[2]);
        return sum[0];
    };
    const struct {
        footprint_parallelogram p;
        double expected;
    } cases[] = {
        {{1.5, 2.5, 0.5, 0.0, 0.0, 0.5}, v(1, 2)},                                    // inside a pixel
        {{0.0, 0.5, 1.0, 0.0, 0.0, 0.5}, v(0, 0) / 2.0},                               // half outside
        {{2.0, 2.0, 0.5, 0.5, -0.5, 0.5}, (v(1, 1) + v(2, 1) + v(1, 2) + v(2, 2)) / 4.0},  // a diamond
        {{2.0, 2.0, 0.4, 0.4, -0.4, 0.4}, (v(1, 1) + v(2, 1) + v(1, 2) + v(2, 2)) / 4.0},  // a smaller one
        {{2.0, 2.0, 0.9, 0.9, -0.01, 0.01}, (v(1, 1) + v(2, 2)) / 2.0},               // a sliver
        {{2.5, 1.5, 2.0, 0.0, 1.0, 1.0}, (v(1, 1) / 2.0 + v(2, 1) + v(3, 1) / 2.0) / 2.0},  // larger, sheared
    };
    for (const auto& c : cases)
        EXPECT_NEAR(light(c.p), c.expected, 1e-12) << c.p.cx << "," << c.p.cy;
    // A 3 x 3 square about a pixel corner, as a whole and as the sum of
    // its nine unit squares.
    double nine = 0.0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            nine += light(footprint_parallelogram{1.0 + x, 1.0 + y, 1.0, 0.0, 0.0, 1.0}) / 9.0;
    EXPECT_NEAR(light(footprint_parallelogram{2.0, 2.0, 3.0, 0.0, 0.0, 3.0}), nine, 1e-12);
    // A triangle: (1, 1) full, (2, 1) and (1, 2) half.
    double sum[3] = {0.0, 0.0, 0.0};
    add_polygon_light(source, srgb_light(), footprint_polygon{3, {1.0, 3.0, 1.0}, {1.0, 1.0, 3.0}}, 1.0, sum);
    EXPECT_NEAR(sum[1], (v(1, 1) + v(2, 1) / 2.0 + v(1, 2) / 2.0) / 2.0, 1e-12);
}

// Straight at it where the view shrinks hard, the fully covered middles of
// the footprints' row pieces are summed through the rows' sums: the same
// light as weighing each pixel, to rounding, on a noisy odd-sized picture
// (a sum off by one pixel is off by far more), the same on any thread
// count, and a cache keeps the sums for the next render of the picture.
// The wrong values in a prefilter of s: each of its rows' sums must be the
// row's light added pixel by pixel from x = 0, in double, to the bit, and
// its turned copy must hold s's pixel (x, y) at (y, x).
std::int64_t prefilter_faults(const smooth_source& s, const smooth_prefilter& prefilter)
{
    const srgb_light_tables& t = srgb_light();
    std::int64_t wrong = 0;
    const smooth_source& turned = prefilter.turned;
    for (std::int32_t x = 0; x < s.width; ++x)
        for (std::int32_t y = 0; y < s.height; ++y)
            for (int c = 0; c < 3; ++c)
                wrong += turned.at(t, ((static_cast<std::int64_t>(x) * s.height + y) * 3) + c)
                         != s.at(t, ((static_cast<std::int64_t>(y) * s.stride + x) * 3) + c);
    for (const smooth_source* source : {&s, &turned}) {
        const smooth_row_sums& sums = source == &s ? prefilter.rows : prefilter.columns;
        wrong += sums.steps != ((source->width + sum_step - 1) / sum_step) + 1;
        for (std::int32_t y = 0; y < source->height && sums.steps > 0; ++y) {
            const double* before = sums.before.data() + (static_cast<std::int64_t>(y) * sums.steps * 3);
            double total[3] = {0.0, 0.0, 0.0};
            for (std::int32_t x = 0; x <= source->width; ++x) {
                if (x % sum_step == 0 || x == source->width) {
                    const std::int32_t k = x == source->width ? sums.steps - 1 : x / sum_step;
                    for (int c = 0; c < 3; ++c)
                        wrong += before[(k * 3) + c] != total[c];
                }
                for (int c = 0; c < 3 && x < source->width; ++c)
                    total[c] += static_cast<double>(
                        source->at(t, ((static_cast<std::int64_t>(y) * source->stride + x) * 3) + c));
            }
        }
    }
    return wrong;
}

TEST(SmoothRenderer, RowSumsGiveThePixelByPixelLight)
{
    linear_picture noisy;
    noisy.width = 301;
    noisy.height = 257;
    std::uint32_t seed = 12345;
    for (std::int32_t k = 0; k < noisy.width * noisy.height * 3; ++k) {
        seed = seed * 1664525u + 1013904223u;
        noisy.values.push_back(srgb_light().decode[seed >> 24]);
    }
    const render_settings settings = smooth_settings(2, 0.9995, 30.0, 40.0);
    const view_parameters view = view_of(settings);
    linear_picture canvas;
    position_box box{};
    ASSERT_EQ(render_smooth_linear(noisy, settings, no_progress, &canvas, &box), render_status::done);
    ASSERT_GE(noisy.width * noisy.height, 64 * canvas.width * canvas.height);
    smooth_source source{noisy.values.data(), nullptr, noisy.width, noisy.height, noisy.width};
    const auto draw = [&](int threads) {
        std::vector<float> out(canvas.values.size(), 0.0f);
        render_machine machine;
        machine.threads = threads;
        draw_smooth(smooth_view{&view, fly_by_direction::straight_at_it}, source,
                    smooth_target{out.data(), nullptr, canvas.width, canvas.height, canvas.width, box}, machine,
                    [](int, std::int32_t) {});
        return out;
    };
    const std::vector<float> weighed = draw(1);
    EXPECT_EQ(weighed, canvas.values);
    render_machine one;
    one.threads = 1;
    const std::shared_ptr<const smooth_prefilter> prefilter = build_prefilter(source, srgb_light(), one);
    one.threads = 3;
    const std::shared_ptr<const smooth_prefilter> again = build_prefilter(source, srgb_light(), one);
    EXPECT_EQ(again->rows.before, prefilter->rows.before);
    EXPECT_EQ(again->columns.before, prefilter->columns.before);
    EXPECT_EQ(again->turned_values, prefilter->turned_values);
    EXPECT_EQ(prefilter_faults(source, *prefilter), 0);
    source = prefiltered(source, prefilter.get());
    const std::vector<float> summed = draw(1);
    EXPECT_EQ(draw(3), summed);
    double worst = 0.0;
    for (std::size_t k = 0; k < weighed.size(); ++k)
        worst = std::max(worst, std::fabs(static_cast<double>(summed[k]) - weighed[k]));
    EXPECT_LE(worst, 1e-5);
    // They are read: sums that count half a pixel too many every step
    // give other light.
    smooth_prefilter off = *prefilter;
    for (smooth_row_sums* sums : {&off.rows, &off.columns}) {
        const smooth_row_sums kept_sums = *sums;
        for (std::size_t k = 0; k < sums->before.size(); ++k)
            sums->before[k] += 0.5 * static_cast<double>((k / 3) % sums->steps);
        off.turned.sums = &off.columns;
        source = prefiltered(source, &off);
        EXPECT_NE(draw(1), summed);
        *sums = kept_sums;
    }

    raster picture = allocate_raster(304, 257);
    for (std::int32_t y = 0; y < 257; ++y)
        for (std::int32_t x = 0; x < 301 * 3; ++x)
            picture.pixels[(y * 304 * 3) + x] = encode_light(srgb_light(), noisy.values[(y * 301 * 3) + x]);
    picture.image_width = 301;
    const smooth_source bytes{nullptr, picture.pixels.get(), 301, 257, 304};
    EXPECT_EQ(prefilter_faults(bytes, *build_prefilter(bytes, srgb_light(), one)), 0);
    smooth_sums_cache cache;
    render_settings cached = settings;
    cached.smooth_sums = &cache;
    const std::string plain = raster_digest(render_picture(picture, settings, no_progress).picture);
    EXPECT_EQ(raster_digest(render_picture(picture, cached, no_progress).picture), plain);
    const std::shared_ptr<const smooth_prefilter> kept = cache.find(301, 257);
    ASSERT_TRUE(kept);
    EXPECT_EQ(cache.bytes(), prefilter_bytes(301, 257, false));
    EXPECT_EQ(raster_digest(render_picture(picture, cached, no_progress).picture), plain);
    EXPECT_EQ(cache.find(301, 257), kept);
    EXPECT_FALSE(cache.find(304, 257));
    // No room for the prefilter: none is built.
    cached.memory_limit = prefilter_bytes(301, 257, false);
    smooth_sums_cache refused;
    cached.smooth_sums = &refused;
    EXPECT_EQ(raster_digest(render_picture(picture, cached, no_progress).picture), plain);
    EXPECT_FALSE(refused.find(301, 257));
}

// Same bytes on every platform: digests recorded once, checked by the
// Linux and the Windows build alike.
TEST(SmoothRenderer, DigestsAreTheSameEverywhere)
{
    const raster source = test_support::f_picture(44, 33);
    const char* const expected[3] = {"a76d22ea486effbb", "b2eb304ecbfed0a3", "62e77bc378211295"};
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        const render_output out = render_picture(source, smooth_settings(direction, 0.7, 7.0, 16.0), no_progress);
        EXPECT_EQ(raster_digest(out.picture), expected[direction]) << direction;
    }
    // Each effect alone from left to right and top to bottom (straight at
    // it they are all's picture or the picture at rest), the smooth
    // renderer's and the exact one's at high quality.
    const char* const alone[2][2][2] = {
        {{"b49b89c45ea64d88", "65dc0cd22bc17284"}, {"8cb3903ca3ae25e5", "5e063b7c71ab70d7"}},
        {{"61c7da8ddf8162c6", "50aad589ad242e33"}, {"086e93cf91653fc4", "e2ada89a2d3b14cd"}}};
    for (std::int32_t direction = 0; direction < 2; ++direction)
        for (int k = 0; k < 2; ++k)
            for (int exact = 0; exact < 2; ++exact) {
                render_settings settings = smooth_settings(direction, 0.7, 7.0, 16.0);
                settings.effects = k == 0 ? relativity_effects::contraction : relativity_effects::light_time;
                if (exact) {
                    settings.method = render_method::exact;
                    settings.quality = test_support::quality(3);
                }
                const render_output out = render_picture(source, settings, no_progress);
                EXPECT_EQ(raster_digest(out.picture), alone[direction][k][exact]) << direction << " " << k << " "
                                                                                  << exact;
            }
}

TEST(SmoothRenderer, EdgeCases)
{
    // A 1 x 1 source at speed 0 straight at it: a 20 x 20 square of it,
    // every pixel the source's (no blur into the black around it).
    raster one = allocate_raster(1, 1);
    one.pixels[0] = 10, one.pixels[1] = 200, one.pixels[2] = 90;
    const render_output square = render_picture(one, smooth_settings(2, 0.0, 0.0, 0.0), no_progress);
    ASSERT_EQ(square.status, render_status::done);
    EXPECT_EQ(square.picture.width, 20);
    EXPECT_EQ(square.picture.height, 20);
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(pixel_at(square.picture, x, y), pixel_at(one, 0, 0)) << x << "," << y;

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

    // Statuses: an unknown direction, effects outside the four (for either
    // renderer), a side over the limit, too little memory.
    render_settings settings = smooth_settings(0, 0.5, 0.0, 15.0);
    settings.direction = test_support::direction(3);
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::unknown_direction);
    settings = smooth_settings(0, 0.5, 0.0, 15.0);
    settings.effects = static_cast<relativity_effects>(4);
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::unsupported_effects);
    settings.method = render_method::exact;
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::unsupported_effects);
    settings.effects = relativity_effects::light_time;
    EXPECT_EQ(render_picture(grey, settings, no_progress).status, render_status::done);
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
            for (double speed : {0.0, 0.3, 0.6, 0.99}) {
                std::int32_t width = 0, height = 0;
                picture_size(direction, speed, &width, &height);
                double ox = 0.0, oy = 0.0;
                observer_for(direction, speed, width, height, &ox, &oy);
                const raster source = picture.make(width, height);
                const render_settings settings = smooth_settings(direction, speed, ox, oy);
                const render_output out = render_picture(source, settings, no_progress);
                ASSERT_EQ(out.status, render_status::done);
                const raster expected
                    = reference_picture(source, settings, out.box, out.picture.width, out.picture.height);
                const error_figures e = compare(out.picture, expected, image_width_of(out.picture));
                std::printf("smooth     dir %d %-12s %4.0f %%  %4dx%-4d mean %6.3f  over 8: %6.3f %%\n", direction,
                            picture.name, speed * 100, image_width_of(out.picture), out.picture.height, e.mean,
                            e.over_8 * 100);
                EXPECT_LE(e.mean, 1.0) << direction << " " << picture.name << " " << speed;
                EXPECT_LE(e.over_8, 0.001) << direction << " " << picture.name << " " << speed;
            }
        }
    }
}

// The effects alone against the reference along rows and columns (straight
// at it light-time is all's picture and the other two the picture at rest,
// which the renders show).
TEST(SmoothRenderer, EffectsMatchTheReference)
{
    for (std::int32_t direction = 0; direction < 3; ++direction)
        for (const relativity_effects effects : {relativity_effects::contraction, relativity_effects::light_time}) {
            const test_picture& picture = test_pictures[direction == 2 ? 0 : 1];
            std::int32_t width = 0, height = 0;
            picture_size(direction, 0.6, &width, &height);
            double ox = 0.0, oy = 0.0;
            observer_for(direction, 0.6, width, height, &ox, &oy);
            const raster source = picture.make(width, height);
            render_settings settings = smooth_settings(direction, 0.6, ox, oy);
            settings.effects = effects;
            const render_output out = render_picture(source, settings, no_progress);
            ASSERT_EQ(out.status, render_status::done);
            if (direction == 2) {
                const bool delayed = effects == relativity_effects::light_time;
                const render_settings same = smooth_settings(direction, delayed ? 0.6 : 0.0, ox, oy);
                EXPECT_EQ(raster_digest(out.picture), raster_digest(render_picture(source, same, no_progress).picture));
                continue;
            }
            const raster expected = reference_picture(source, settings, out.box, out.picture.width, out.picture.height);
            const error_figures e = compare(out.picture, expected, image_width_of(out.picture));
            EXPECT_LE(e.mean, 1.0) << direction << " " << static_cast<int>(effects);
            EXPECT_LE(e.over_8, 0.001) << direction << " " << static_cast<int>(effects);
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
                    observer_for(direction, speed, width, height, &ox, &oy);
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

// Straight at it over the speeds where the view goes from magnifying to
// shrinking, on the sample chart, a checkerboard and a photo, the observer
// where the viewer puts it after an open: figures only (a few minutes; run
// with --gtest_also_run_disabled_tests).
TEST(SmoothRenderer, DISABLED_StraightAtItAgainstTheReference)
{
    const raster sample = read_jpeg_file(LUMIRUN_SAMPLE_JPEG).picture;
    const raster photo_file = read_jpeg_file(test_support::jpeg_test_image("testorig.jpg").c_str()).picture;
    // The photo without its alignment column.
    raster photo = allocate_raster(227, photo_file.height);
    for (std::int32_t y = 0; y < photo.height; ++y)
        std::copy_n(photo_file.pixels.get() + static_cast<std::size_t>(y) * photo_file.width * 3, 227 * 3,
                    photo.pixels.get() + static_cast<std::size_t>(y) * 227 * 3);
    const raster board = checkerboard(160, 120);
    const std::pair<const char*, const raster*> pictures[] = {{"sample", &sample}, {"checkerboard", &board},
                                                              {"photo", &photo}};
    for (const auto& picture : pictures)
        for (double speed : {0.1, 0.3, 0.6, 0.9}) {
            const raster& source = *picture.second;
            const render_settings settings = smooth_settings(2, speed, 0.0, source.height / 2);
            const render_output out = render_picture(source, settings, no_progress);
            ASSERT_EQ(out.status, render_status::done);
            const raster expected = reference_picture(source, settings, out.box, out.picture.width,
                                                      out.picture.height);
            const error_figures e = compare(out.picture, expected, image_width_of(out.picture));
            std::printf("dir 2 %-12s %3dx%-3d %4.0f %%  %4dx%-4d mean %6.3f  over 8: %6.3f %%\n", picture.first,
                        source.width, source.height, speed * 100, image_width_of(out.picture), out.picture.height,
                        e.mean, e.over_8 * 100);
            std::fflush(stdout);
        }
}

// ---- Doppler: each point's light shifted with its own D ------------------

// A flat colour, so that the light a pixel gathers depends only on how D
// varies across it: the reference is that colour shifted with the D of each
// of 32 x 32 points of the pixel, averaged. Next to the observer flying past
// at 90 % the light goes from approaching (blue, bright) to receding within
// one pixel: of the pixels wholly inside the picture whose D varies by more
// than 5 % between corners, the light render_output::seen_light gives is
// within 3 % of the reference, where one D at the pixel's centre is off by
// far more. Straight at it at 99 % D varies by a few % a pixel.
TEST(SmoothRenderer, DopplerAveragesEachPointsShiftedLight)
{
    const std::int32_t width = 41, height = 30;  // 41: D's grid ends on the last column
    raster source = allocate_raster(width, height);
    for (std::int32_t k = 0; k < width * height; ++k) {
        source.pixels[3 * k] = 20;       // blue
        source.pixels[3 * k + 1] = 40;   // green
        source.pixels[3 * k + 2] = 230;  // red
    }
    const std::array<double, 3> rgb = {srgb_to_linear(230 / 255.0), srgb_to_linear(40 / 255.0),
                                       srgb_to_linear(20 / 255.0)};
    for (std::int32_t direction = 0; direction < 3; ++direction) {
        // Over the picture: from left to right the observer's x is the
        // picture's offset, seen at apparent x = -ox.
        const double ox[3] = {-9.0, 20.5, 20.0}, oy[3] = {15.5, -7.0, 15.0};
        render_settings settings = smooth_settings(direction, direction == 2 ? 0.99 : 0.9, ox[direction], oy[direction]);
        const double varies = direction == 2 ? 1.01 : 1.05;
        const view_parameters view = view_of(settings);
        double d_min = 0.0, d_max = 0.0;
        doppler_range(view.motion, &d_min, &d_max);
        colour_shift_table table;
        ASSERT_TRUE(make_colour_shift_table(colour_shift_settings{}, d_min, d_max, &table));
        settings.seen_colours = &table;
        // Every source pixel shifted, the last column too.
        const linear_picture shifted = seen_source(source, view, settings.direction, table, settings.machine);
        EXPECT_EQ(std::count(shifted.values.begin(), shifted.values.end(), 0.0f), 0);
        const render_output out = render_picture(source, settings, no_progress);
        ASSERT_EQ(out.status, render_status::done);
        const std::int32_t canvas = image_width_of(out.picture);
        ASSERT_EQ(out.seen_light.size(), static_cast<std::size_t>(canvas) * out.picture.height * 3);
        const auto factor = [&](double x, double y) {
            return doppler_factor(view.motion, doppler_cosine(view, settings.direction, x, y));
        };
        int checked = 0;
        double worst = 0.0, worst_centre = 0.0;
        for (std::int32_t i = 0; i < out.picture.height; ++i)
            for (std::int32_t j = 0; j < canvas; ++j) {
                const double x = out.box.min_x + j, y = out.box.min_y + i;
                bool inside = true;
                double low = HUGE_VAL, high = 0.0;
                for (int k = 0; k < 4; ++k) {
                    double sx = 0.0, sy = 0.0;
                    inside = inside && inverse(view, direction, x + (k & 1), y + (k >> 1), &sx, &sy) && sx > 0.5
                             && sy > 0.5 && sx < width - 0.5 && sy < height - 0.5;
                    low = std::min(low, factor(x + (k & 1), y + (k >> 1)));
                    high = std::max(high, factor(x + (k & 1), y + (k >> 1)));
                }
                const float* seen = &out.seen_light[(static_cast<std::size_t>(i) * canvas + j) * 3];
                if (!inside || high < low * varies)
                    continue;
                std::array<double, 3> reference = {0.0, 0.0, 0.0};
                for (int a = 0; a < 32; ++a)
                    for (int b = 0; b < 32; ++b) {
                        const auto one = shifted_linear(table, factor(x + (b + 0.5) / 32, y + (a + 0.5) / 32), rgb);
                        for (int c = 0; c < 3; ++c)
                            reference[c] += one[c] / 1024.0;
                    }
                const auto centre = shifted_linear(table, factor(x + 0.5, y + 0.5), rgb);
                const double scale = std::max({reference[0], reference[1], reference[2], 0.05});
                for (int c = 0; c < 3; ++c) {
                    worst = std::max(worst, std::fabs(seen[2 - c] - reference[c]) / scale);
                    worst_centre = std::max(worst_centre, std::fabs(centre[c] - reference[c]) / scale);
                }
                ++checked;
            }
        SCOPED_TRACE(direction);
        // The same light on one thread; the colour pass shows it.
        render_settings one = settings;
        one.machine.threads = 1;
        EXPECT_EQ(render_picture(source, one, no_progress).seen_light, out.seen_light);
        raster shown = allocate_raster(out.picture.width, out.picture.height);
        std::copy_n(out.picture.pixels.get(), out.picture.width * out.picture.height * 3, shown.pixels.get());
        shown.image_width = canvas;
        ASSERT_TRUE(apply_doppler(&shown, doppler_source{&out.box, nullptr, true, &out.seen_light}, view,
                                  settings.direction, colour_shift_settings{}));
        const std::size_t middle = (static_cast<std::size_t>(out.picture.height / 2) * canvas + canvas / 2) * 3;
        const float* light = &out.seen_light[middle];
        const auto expected = display_seen(table, {light[2], light[1], light[0]});
        const std::vector<unsigned char> p = pixel_at(shown, canvas / 2, out.picture.height / 2);
        EXPECT_EQ(p[0], encode_srgb(table, expected[2]));
        EXPECT_EQ(p[2], encode_srgb(table, expected[0]));
        std::printf("direction %d: %d pixels, worst %.4f (one D at the centre: %.4f)\n", direction, checked, worst,
                    worst_centre);
        EXPECT_GT(checked, 3);

        EXPECT_LT(worst, 0.03);
        if (direction < 2) {
            EXPECT_GT(worst_centre, 0.2);
        }
    }
}

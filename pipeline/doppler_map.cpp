#include "pipeline/doppler_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "colour/portable_math.h"

namespace {

constexpr double grey = 128.0;
// Blue, green, red bytes of the scale's ends.
constexpr double above[3] = {255.0, 64.0, 0.0};
constexpr double below[3] = {0.0, 32.0, 255.0};

// Where D lies on the scale: -1 at 1/8 and below, 0 at 1, 1 at 8 and
// above. The portable logarithm, so that both builds give the same bytes.
double scale_position(double d)
{
    const double t = portable_log2(d) / portable_log2(doppler_map_limit);
    return std::min(1.0, std::max(-1.0, t));
}

std::array<unsigned char, 3> colour_at(double t)
{
    const double* end = t >= 0.0 ? above : below;
    const double share = std::fabs(t);
    std::array<unsigned char, 3> bgr{};
    for (int k = 0; k < 3; ++k)
        bgr[static_cast<std::size_t>(k)] = static_cast<unsigned char>(std::floor(grey + share * (end[k] - grey) + 0.5));
    return bgr;
}

// A digit font 3 pixels wide and 5 high, a row a string, "#" lit; "/" too.
const char* const glyph_rows[11][5] = {
    {"###", "#.#", "#.#", "#.#", "###"}, {".#.", "##.", ".#.", ".#.", "###"}, {"###", "..#", "###", "#..", "###"},
    {"###", "..#", "###", "..#", "###"}, {"#.#", "#.#", "###", "..#", "..#"}, {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"}, {"###", "..#", "..#", "..#", "..#"}, {"###", "#.#", "###", "#.#", "###"},
    {"###", "#.#", "###", "..#", "###"}, {"..#", "..#", ".#.", "#..", "#.."},
};

// A unit by unit block of pixels at (x, y), what falls outside the picture
// left out.
void put_block(raster* picture, std::int32_t x, std::int32_t y, std::int32_t unit,
               const std::array<unsigned char, 3>& bgr)
{
    for (std::int32_t v = y; v < y + unit; ++v)
        for (std::int32_t u = x; u < x + unit; ++u)
            if (u >= 0 && v >= 0 && u < image_width_of(*picture) && v < picture->height)
                std::memcpy(picture->pixels.get() + (static_cast<std::size_t>(v) * picture->width + u) * 3,
                            bgr.data(), 3);
}

// text (digits and "/") with its top-left corner at (x, y), in white, each
// dot of the font unit pixels square.
void draw_text(raster* picture, const std::string& text, std::int32_t x, std::int32_t y, std::int32_t unit)
{
    for (std::size_t n = 0; n < text.size(); ++n) {
        const int glyph = text[n] == '/' ? 10 : text[n] - '0';
        for (std::int32_t row = 0; row < 5; ++row)
            for (std::int32_t column = 0; column < 3; ++column)
                if (glyph_rows[glyph][row][column] == '#')
                    put_block(picture, x + (static_cast<std::int32_t>(4 * n) + column) * unit, y + row * unit, unit,
                              {255, 255, 255});
    }
}

}  // namespace

std::array<unsigned char, 3> doppler_map_colour(double d)
{
    if (std::isnan(d))
        return {0, 0, 0};
    return colour_at(scale_position(d));
}

bool map_doppler(raster* picture, const doppler_source& source, const view_parameters& view,
                 fly_by_direction direction)
{
    if (!is_fly_by_direction(direction))
        return false;
    if (!picture->pixels)
        return true;
    for (std::int32_t j = 0; j < picture->height; ++j) {
        for (std::int32_t i = 0; i < picture->width; ++i) {
            unsigned char* p = picture->pixels.get() + (static_cast<std::size_t>(j) * picture->width + i) * 3;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                continue;
            const std::array<unsigned char, 3> bgr
                = doppler_map_colour(pixel_doppler_factor(*picture, source, view, direction, i, j));
            std::memcpy(p, bgr.data(), 3);
        }
    }
    return true;
}

std::int32_t doppler_legend_unit(const raster& picture)
{
    return std::max(1, image_width_of(picture) / 480);
}

void draw_doppler_legend(raster* picture)
{
    const std::int32_t width = image_width_of(*picture);
    const std::int32_t unit = doppler_legend_unit(*picture);
    const std::int32_t height = doppler_legend_height * unit;
    if (!picture->pixels || width < doppler_legend_least_width || picture->height < 2 * height)
        return;
    const std::int32_t top = picture->height - height;
    // In units: rows 0 to 7 the bar, 8 the ticks, 10 to 14 the values;
    // black between.
    for (std::int32_t y = top; y < picture->height; ++y)
        std::memset(picture->pixels.get() + (static_cast<std::size_t>(y) * picture->width) * 3, 0,
                    3 * static_cast<std::size_t>(width));
    for (std::int32_t x = 0; x < width; ++x) {
        const std::array<unsigned char, 3> bgr = colour_at(2.0 * x / (width - 1) - 1.0);
        for (std::int32_t y = top; y < top + 8 * unit; ++y)
            put_block(picture, x, y, 1, bgr);
    }
    const char* const labels[7] = {"1/8", "1/4", "1/2", "1", "2", "4", "8"};
    for (std::int32_t k = 0; k < 7; ++k) {
        // 2^(k-3) lies at (k - 3) / 3 on the scale.
        const std::int32_t x = static_cast<std::int32_t>((static_cast<std::int64_t>(k) * (width - 1) + 3) / 6);
        put_block(picture, x - (unit - 1) / 2, top + 8 * unit, unit, {255, 255, 255});
        const std::string label = labels[k];
        const std::int32_t label_width = (static_cast<std::int32_t>(4 * label.size()) - 1) * unit;
        const std::int32_t left = std::min(std::max(0, x - label_width / 2), width - label_width);
        draw_text(picture, label, left, top + 10 * unit, unit);
    }
}

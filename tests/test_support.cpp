#include "tests/test_support.h"

#include <cstdio>

#include "app/alert.h"
#include "app/status.h"
#include "render/fast/kernels.h"

namespace test_support {

namespace {
ui_recorder* active_recorder = nullptr;

std::int32_t record_status(const char* text)
{
    if (active_recorder)
        active_recorder->status_texts.emplace_back(text);
    return 7;
}

void record_warning(const char* text, const char* caption)
{
    if (active_recorder)
        active_recorder->warnings.push_back(std::string(caption) + "|" + text);
}
}  // namespace

std::string digest(const unsigned char* bytes, std::size_t count)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (std::size_t i = 0; i < count; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string raster_digest(const raster& r)
{
    std::size_t bytes = 0;
    if (!r.pixels || !raster_byte_count(r.width, r.height, &bytes))
        return "absent";
    return digest(r.pixels.get(), bytes);
}

raster f_picture(std::int32_t width, std::int32_t height)
{
    raster picture = allocate_raster(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            unsigned char* p = picture.pixels.get() + (static_cast<std::size_t>(y) * width + x) * 3;
            // The F: a vertical bar at the left, a top bar and a shorter middle bar.
            const bool bar = x >= width / 5 && x < width / 5 + (width + 4) / 5 && y >= height / 6 && y < height - height / 6;
            const bool top = y >= height / 6 && y < height / 6 + (height + 5) / 6 && x >= width / 5 && x < width - width / 5;
            const bool middle = y >= height / 2 && y < height / 2 + (height + 7) / 8 && x >= width / 5 && x < width / 2 + width / 8;
            const bool red = bar || top || middle;
            p[0] = red ? 0 : 200;  // blue
            p[1] = static_cast<unsigned char>((x * 7 + y * 13) & 0xff);
            p[2] = red ? 230 : 10;  // red
        }
    }
    picture.rows_filled = height;
    return picture;
}

raster gradient_picture(std::int32_t width, std::int32_t height)
{
    raster picture = allocate_raster(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            unsigned char* p = picture.pixels.get() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = static_cast<unsigned char>(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = static_cast<unsigned char>((x ^ y) & 0xff);
            p[2] = static_cast<unsigned char>(y * 255 / (height > 1 ? height - 1 : 1));
        }
    }
    picture.rows_filled = height;
    return picture;
}

void make_f_picture(std::int32_t width, std::int32_t height)
{
    free_images();
    source_image = f_picture(width, height);
}

void make_gradient_picture(std::int32_t width, std::int32_t height)
{
    free_images();
    source_image = gradient_picture(width, height);
}

std::vector<unsigned char> pixel_at(const raster& r, std::int32_t x, std::int32_t y)
{
    const unsigned char* p = r.pixels.get() + (static_cast<std::size_t>(y) * r.width + x) * 3;
    return {p[0], p[1], p[2]};
}

ui_recorder::ui_recorder()
{
    active_recorder = this;
    set_status_sink(record_status);
    set_warning_box_handler(record_warning);
}

ui_recorder::~ui_recorder()
{
    active_recorder = nullptr;
    set_status_sink(nullptr);
    set_warning_box_handler(nullptr);
}

std::vector<simd_level> supported_simd_levels()
{
    std::vector<simd_level> levels;
    for (simd_level level :
         {simd_level::portable, simd_level::sse2, simd_level::avx2, simd_level::avx512, simd_level::wasm128}) {
        if (simd_level_supported(level))
            levels.push_back(level);
    }
    return levels;
}

void reset_core_state()
{
    free_images();
    source_image = raster{};
    rendered_image = raster{};
    observer = observer_position{};
    reset_observer();
}

}  // namespace test_support

#include "pipeline/movie_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double int32_top = static_cast<double>(std::numeric_limits<std::int32_t>::max());

}  // namespace

canvas_layout lay_out_canvas(const std::vector<frame_extent>& frames)
{
    canvas_layout layout;
    if (frames.empty())
        return layout;
    layout.origin_x = frames[0].box.min_x;
    layout.origin_y = frames[0].box.min_y;
    for (const frame_extent& frame : frames) {
        layout.origin_x = std::min(layout.origin_x, frame.box.min_x);
        layout.origin_y = std::min(layout.origin_y, frame.box.min_y);
    }
    double right = 0.0;
    double bottom = 0.0;
    for (const frame_extent& frame : frames) {
        const canvas_place place = place_on_canvas(layout, frame.box);
        right = std::max(right, static_cast<double>(place.x) + frame.width);
        bottom = std::max(bottom, static_cast<double>(place.y) + frame.height);
    }
    if (!(right <= int32_top) || !(bottom <= int32_top))
        return layout;
    layout.image_width = static_cast<std::int32_t>(right);
    if (!round_width_to_4(layout.image_width, &layout.width))
        return layout;
    layout.height = static_cast<std::int32_t>(bottom);
    layout.ok = true;
    return layout;
}

canvas_place place_on_canvas(const canvas_layout& layout, const position_box& box)
{
    const double x = std::round(box.min_x - layout.origin_x);
    const double y = std::round(box.min_y - layout.origin_y);
    const auto clamp = [](double v) {
        return static_cast<std::int32_t>(std::min(std::max(v, -1.0), int32_top));
    };
    return canvas_place{clamp(x), clamp(y)};
}

bool draw_on_canvas(const raster& frame, canvas_place place, raster* canvas)
{
    std::size_t bytes = 0;
    if (!canvas->pixels || !raster_byte_count(canvas->width, canvas->height, &bytes))
        return false;
    std::memset(canvas->pixels.get(), 0, bytes);
    const std::int32_t columns = image_width_of(frame);
    if (!frame.pixels || place.x < 0 || place.y < 0
        || static_cast<std::int64_t>(place.x) + columns > canvas->width
        || static_cast<std::int64_t>(place.y) + frame.height > canvas->height)
        return false;
    const std::size_t frame_row = 3 * static_cast<std::size_t>(frame.width);
    const std::size_t canvas_row = 3 * static_cast<std::size_t>(canvas->width);
    for (std::int32_t y = 0; y < frame.height; ++y)
        std::memcpy(canvas->pixels.get() + (static_cast<std::size_t>(place.y) + y) * canvas_row + 3 * place.x,
                    frame.pixels.get() + static_cast<std::size_t>(y) * frame_row,
                    3 * static_cast<std::size_t>(columns));
    return true;
}

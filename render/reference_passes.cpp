// The renderer as the loops that define its result: columns outer, rows
// inner, each sample's position computed where it is needed. The fast path
// is held to these bytes.
#include <cmath>
#include <cstddef>

#include "render/render_passes.h"

namespace {

bool is_finite(apparent_point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

void reference_passes::measure(position_box* box, const column_reporter& report)
{
    const std::vector<double>& xs = *grid_.xs;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        for (const double y : *grid_.ys) {
            const apparent_point p = apparent_position(*grid_.view, grid_.direction, xs[i], y);
            include_position(box, p.x, p.y);
        }
        report(static_cast<std::int32_t>(i));
    }
}

void reference_passes::draw(const draw_target& t, const column_reporter& report)
{
    const std::vector<double>& xs = *grid_.xs;
    const std::vector<double>& ys = *grid_.ys;
    const std::size_t source_row = static_cast<std::size_t>(t.source_width) * 3;
    const std::size_t destination_width = static_cast<std::size_t>(t.destination_width);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const double x = xs[i];
        for (std::size_t j = 0; j < ys.size(); ++j) {
            const double y = ys[j];
            const apparent_point p = apparent_position(*grid_.view, grid_.direction, x, y);
            if (!is_finite(p))
                continue;
            const unsigned char* from = t.source + source_row * static_cast<std::size_t>(static_cast<std::int32_t>(y))
                                        + static_cast<std::size_t>(static_cast<std::int32_t>(x)) * 3;
            const std::size_t pixel = destination_width * static_cast<std::size_t>(static_cast<std::int32_t>(p.y - t.min_y))
                                      + static_cast<std::size_t>(static_cast<std::int32_t>(p.x - t.min_x));
            unsigned char* to = t.destination + pixel * 3;
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            if (t.origins)
                t.origins[pixel] = static_cast<std::int64_t>((std::uint64_t{i} << 32) | j);
        }
        report(static_cast<std::int32_t>(i));
    }
}

#include "pipeline/movie_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr double int32_top = static_cast<double>(std::numeric_limits<std::int32_t>::max());

std::int32_t clamp_to_int32(double v)
{
    return static_cast<std::int32_t>(std::min(std::max(v, -1.0), int32_top));
}

// A frame's offset on one axis of the unscaled canvas: its place in the
// union (rounded to whole pixels, as frames are drawn), scaled from the
// room the union leaves it to the room the largest frame leaves it.
double squeezed_offset(double box_min, double origin, double union_size, std::int32_t frame_size,
                       std::int32_t largest)
{
    const double in_union = std::round(box_min - origin);
    if (!(union_size > frame_size))
        return 0.0;
    return std::round(in_union * (largest - frame_size) / (union_size - frame_size));
}

// One axis of a fill: the frame's offset that puts the observer's point in
// the middle of the canvas, moved just enough for the frame to cover it.
double offset_about(double observer, double box_min, std::int32_t frame_size, double scale, std::int32_t canvas)
{
    const double centred = canvas / 2.0 - scale * (observer - box_min);
    return std::min(0.0, std::max(canvas - scale * frame_size, centred));
}

// The frame's pixels under each canvas pixel along one axis, and their
// weights: taps[start[i]] up to taps[start[i + 1]] for canvas pixel i.
struct axis_taps {
    std::vector<std::int32_t> index;
    std::vector<double> weight;
    std::vector<std::size_t> start;
};

axis_taps taps_for(std::int32_t canvas, std::int32_t frame, double offset, double scale)
{
    axis_taps taps;
    taps.start.push_back(0);
    for (std::int32_t i = 0; i < canvas; ++i) {
        if (scale < 1.0) {
            // Shrinking: the mean over the pixel's footprint, the frame's
            // pixels weighed by how much of it each covers.
            const double from = (i - offset) / scale;
            const double to = (i + 1 - offset) / scale;
            const double first = std::max(0.0, std::floor(from));
            const double last = std::min(static_cast<double>(frame), std::ceil(to));
            for (double j = first; j < last; j += 1.0) {
                const double covered = std::min(to, j + 1.0) - std::max(from, j);
                if (covered > 0.0) {
                    taps.index.push_back(static_cast<std::int32_t>(j));
                    taps.weight.push_back(covered * scale);
                }
            }
        } else {
            // Enlarging: bilinear between the two nearest pixels' centres,
            // the outermost pixels held to the frame's edge.
            const double at = (i + 0.5 - offset) / scale;
            if (at >= 0.0 && at < frame) {
                const double centre = std::min(std::max(at - 0.5, 0.0), frame - 1.0);
                const double left = std::floor(centre);
                const double right_weight = centre - left;
                taps.index.push_back(static_cast<std::int32_t>(left));
                taps.weight.push_back(1.0 - right_weight);
                if (right_weight > 0.0) {
                    taps.index.push_back(static_cast<std::int32_t>(left) + 1);
                    taps.weight.push_back(right_weight);
                }
            }
        }
        taps.start.push_back(taps.index.size());
    }
    return taps;
}

void resample(const raster& frame, canvas_place place, raster* canvas)
{
    const std::int32_t columns = image_width_of(*canvas);
    const axis_taps xs = taps_for(columns, image_width_of(frame), place.x, place.scale);
    const axis_taps ys = taps_for(canvas->height, frame.height, place.y, place.scale);
    const std::size_t frame_row = 3 * static_cast<std::size_t>(frame.width);
    const std::size_t canvas_row = 3 * static_cast<std::size_t>(canvas->width);
    std::vector<double> sums(3 * static_cast<std::size_t>(columns));
    for (std::int32_t y = 0; y < canvas->height; ++y) {
        if (ys.start[y] == ys.start[y + 1])
            continue;
        std::fill(sums.begin(), sums.end(), 0.0);
        for (std::size_t ty = ys.start[y]; ty < ys.start[y + 1]; ++ty) {
            const unsigned char* row = frame.pixels.get() + static_cast<std::size_t>(ys.index[ty]) * frame_row;
            for (std::int32_t x = 0; x < columns; ++x) {
                double b = 0.0, g = 0.0, r = 0.0;
                for (std::size_t tx = xs.start[x]; tx < xs.start[x + 1]; ++tx) {
                    const unsigned char* p = row + 3 * static_cast<std::size_t>(xs.index[tx]);
                    b += xs.weight[tx] * p[0];
                    g += xs.weight[tx] * p[1];
                    r += xs.weight[tx] * p[2];
                }
                double* sum = sums.data() + 3 * static_cast<std::size_t>(x);
                sum[0] += ys.weight[ty] * b;
                sum[1] += ys.weight[ty] * g;
                sum[2] += ys.weight[ty] * r;
            }
        }
        unsigned char* out = canvas->pixels.get() + static_cast<std::size_t>(y) * canvas_row;
        for (std::size_t k = 0; k < sums.size(); ++k)
            out[k] = static_cast<unsigned char>(std::min(255.0, std::floor(sums[k] + 0.5)));
    }
}

}  // namespace

canvas_layout lay_out_canvas(const std::vector<frame_extent>& frames, const movie_framing& framing)
{
    canvas_layout layout;
    layout.framing = framing;
    if (frames.empty())
        return layout;
    layout.origin_x = frames[0].box.min_x;
    layout.origin_y = frames[0].box.min_y;
    for (const frame_extent& frame : frames) {
        layout.origin_x = std::min(layout.origin_x, frame.box.min_x);
        layout.origin_y = std::min(layout.origin_y, frame.box.min_y);
    }
    for (const frame_extent& frame : frames) {
        layout.union_width = std::max(layout.union_width, std::round(frame.box.min_x - layout.origin_x) + frame.width);
        layout.union_height
            = std::max(layout.union_height, std::round(frame.box.min_y - layout.origin_y) + frame.height);
        layout.frames_width = std::max(layout.frames_width, frame.width);
        layout.frames_height = std::max(layout.frames_height, frame.height);
    }
    if (!(layout.union_width <= int32_top) || !(layout.union_height <= int32_top) || layout.frames_width <= 0
        || layout.frames_height <= 0)
        return layout;
    const bool sized = framing.width > 0 && framing.height > 0;
    if (sized) {
        const double across = static_cast<double>(framing.width);
        const double down = static_cast<double>(framing.height);
        if (framing.fill) {
            layout.scale = 0.0;
            for (const frame_extent& frame : frames)
                layout.scale = std::max(layout.scale, std::max(across / std::max(frame.width, 1),
                                                               down / std::max(frame.height, 1)));
        } else {
            layout.scale = std::min(across / layout.frames_width, down / layout.frames_height);
        }
    }
    layout.image_width = sized ? framing.width : layout.frames_width;
    layout.height = sized ? framing.height : layout.frames_height;
    layout.ok = round_width_to_4(layout.image_width, &layout.width);
    return layout;
}

canvas_place place_on_canvas(const canvas_layout& layout, const frame_extent& frame)
{
    const double x = squeezed_offset(frame.box.min_x, layout.origin_x, layout.union_width, frame.width,
                                     layout.frames_width);
    const double y = squeezed_offset(frame.box.min_y, layout.origin_y, layout.union_height, frame.height,
                                     layout.frames_height);
    const movie_framing& framing = layout.framing;
    if (framing.width <= 0 || framing.height <= 0)
        return canvas_place{static_cast<double>(clamp_to_int32(x)), static_cast<double>(clamp_to_int32(y)), 1.0};
    const double s = layout.scale;
    if (framing.fill)
        return canvas_place{offset_about(frame.observer_x, frame.box.min_x, frame.width, s, framing.width),
                            offset_about(frame.observer_y, frame.box.min_y, frame.height, s, framing.height), s};
    // Fit: the unscaled canvas's picture, scaled and centred.
    return canvas_place{(framing.width - s * layout.frames_width) / 2.0 + s * x,
                        (framing.height - s * layout.frames_height) / 2.0 + s * y, s};
}

bool draw_on_canvas(const raster& frame, canvas_place place, raster* canvas)
{
    std::size_t bytes = 0;
    if (!canvas->pixels || !raster_byte_count(canvas->width, canvas->height, &bytes))
        return false;
    std::memset(canvas->pixels.get(), 0, bytes);
    if (!frame.pixels)
        return false;
    if (place.scale != 1.0 || place.x != std::floor(place.x) || place.y != std::floor(place.y)) {
        resample(frame, place, canvas);
        return true;
    }
    const std::int32_t columns = image_width_of(frame);
    if (place.x < 0 || place.y < 0 || place.x + columns > canvas->width || place.y + frame.height > canvas->height)
        return false;
    const std::size_t x0 = static_cast<std::size_t>(place.x);
    const std::size_t y0 = static_cast<std::size_t>(place.y);
    const std::size_t frame_row = 3 * static_cast<std::size_t>(frame.width);
    const std::size_t canvas_row = 3 * static_cast<std::size_t>(canvas->width);
    for (std::int32_t y = 0; y < frame.height; ++y)
        std::memcpy(canvas->pixels.get() + (y0 + y) * canvas_row + 3 * x0,
                    frame.pixels.get() + static_cast<std::size_t>(y) * frame_row, 3 * static_cast<std::size_t>(columns));
    return true;
}

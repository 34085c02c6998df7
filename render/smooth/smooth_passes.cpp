#include "render/smooth/smooth_passes.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "render/fast/kernels.h"
#include "render/fast/parallel.h"
#include "render/fast/thread_count.h"
#include "render/smooth/smooth_work.h"

using namespace smooth_work;

namespace {

void size_buffers(fly_by_direction direction, std::int32_t source_width, std::int32_t source_height,
                  std::int32_t target_width, std::int32_t target_height, worker_buffers* b)
{
    const auto sw = static_cast<std::size_t>(source_width);
    const auto sh = static_cast<std::size_t>(source_height);
    const auto tw = static_cast<std::size_t>(target_width);
    const auto th = static_cast<std::size_t>(target_height);
    if (direction == fly_by_direction::left_to_right) {
        b->prefix.resize((sw + 1) * 3);
        b->pieces.resize(((tw + 1) * plain_pieces) + (6 * most_pieces));
        b->points.resize((tw + 1) * 3);
        b->places.resize(tw * 3);
    } else if (direction == fly_by_direction::top_to_bottom) {
        b->prefix.resize((sh + 1) * band_columns * 3);
        b->pieces.resize(((th + 1) * plain_pieces) + (6 * most_pieces));
        b->points.resize((th + 1) * 3);
        b->places.resize(th * 3);
        b->values.resize(th * 3 * band_columns);
        b->column.resize(sh * 3 * band_columns);
    }
}

}  // namespace

std::uint64_t smooth_working_bytes(fly_by_direction direction, std::int32_t source_width, std::int32_t source_height,
                                   std::int32_t target_width, std::int32_t target_height, int workers)
{
    const auto sw = static_cast<std::uint64_t>(source_width);
    const auto sh = static_cast<std::uint64_t>(source_height);
    const auto tw = static_cast<std::uint64_t>(target_width);
    const auto th = static_cast<std::uint64_t>(target_height);
    std::uint64_t doubles = 0, pieces = 0;
    if (direction == fly_by_direction::left_to_right) {
        doubles = ((sw + 1) * 3) + ((tw + 1) * 3) + (tw * 3);  // places count as doubles
        pieces = ((tw + 1) * plain_pieces) + (6 * most_pieces);
    } else if (direction == fly_by_direction::top_to_bottom) {
        // The columns' float copies count as half a double each.
        doubles = ((sh + 1) * band_columns * 3) + ((th + 1) * 3) + (th * 3) + (th * 3 * band_columns)
                  + ((sh * 3 * band_columns) / 2);
        pieces = ((th + 1) * plain_pieces) + (6 * most_pieces);
    }
    return static_cast<std::uint64_t>(workers) * ((doubles * sizeof(double)) + (pieces * sizeof(sweep_piece)));
}

void draw_smooth(const smooth_view& view, const smooth_source& source, const smooth_target& target,
                 const render_machine& machine, const smooth_reporter& report)
{
    pass_context p{view.view, &source, &target, &srgb_light(), 0.0, &kernels_for(machine)};
    // Units of work: rows, bands of columns, or pieces of rows; `per_line`
    // of them make an output line (a row, or a band's last column).
    std::int32_t lines = target.height;
    std::int32_t per_line = 1;
    if (view.direction == fly_by_direction::top_to_bottom)
        lines = (target.width + band_columns - 1) / band_columns;
    if (view.direction == fly_by_direction::straight_at_it) {
        p.rho_max = farthest_corner(*view.view, source);
        per_line = (target.width + radial_chunk - 1) / radial_chunk;
    }
    const std::int32_t units = lines * per_line;
    const bool present = source.present() && source.width > 0 && source.height > 0;
    column_progress progress(units, [&](std::int32_t unit) {
        if ((unit + 1) % per_line != 0)
            return;
        const std::int32_t done = (unit + 1) / per_line;
        const auto percent = static_cast<int>((static_cast<double>(done) / static_cast<double>(lines)) * 100.0);
        const std::int32_t line = view.direction == fly_by_direction::top_to_bottom
                                      ? std::min(done * band_columns, target.width) - 1
                                      : done - 1;
        report(percent, line);
    });
    // An output pixel costs some dozens of the exact renderer's samples.
    const std::int64_t work = (static_cast<std::int64_t>(target.width) * target.height
                               + static_cast<std::int64_t>(source.width) * source.height)
                              * 16;
    std::vector<worker_buffers> buffers;
    std::atomic<std::int32_t> next{0};
    run_workers(
        render_threads_for(machine.threads, present ? work : 0),
        [&](int workers) {
            buffers.resize(static_cast<std::size_t>(workers));
            for (worker_buffers& b : buffers)
                if (present)
                    size_buffers(view.direction, source.width, source.height, target.width, target.height, &b);
        },
        [&](int worker, int) {
            worker_buffers* b = &buffers[static_cast<std::size_t>(worker)];
            for (;;) {
                const std::int32_t unit = next.fetch_add(1);
                if (unit >= units)
                    break;
                if (present) {
                    if (view.direction == fly_by_direction::left_to_right)
                        draw_row_along_x(p, unit, b);
                    else if (view.direction == fly_by_direction::top_to_bottom)
                        draw_band_along_y(p, unit, b);
                    else
                        draw_chunk_radial(p, unit / per_line, unit % per_line);
                }
                progress.complete(unit, unit + 1);
                if (worker == 0)
                    progress.report_ready();
            }
            if (worker == 0)
                progress.report_rest();
        });
}

#include <algorithm>
#include <atomic>
#include <vector>

#include "render/fast/measure_pass.h"

namespace {

// Enough samples per piece of work to dwarf its bookkeeping, and pieces
// enough per worker to even out their speeds.
std::int32_t columns_per_piece(std::int32_t columns, std::int32_t rows, int threads)
{
    const std::int64_t by_work = std::max<std::int64_t>(1, (std::int64_t{1} << 16) / std::max(rows, 1));
    const std::int64_t by_balance = std::max<std::int64_t>(1, columns / (std::int64_t{8} * threads));
    return static_cast<std::int32_t>(std::min(by_work, by_balance));
}

}  // namespace

// Pieces of columns go to whichever worker is free; each piece keeps its own
// box, and the boxes are merged in column order.
bool measure_positions(const pass_setup& setup, position_box* box)
{
    const terms_view& grid = *setup.grid;
    const std::int32_t columns = grid.columns;
    if (columns <= 0)
        return true;
    const std::int32_t piece = columns_per_piece(columns, grid.rows, setup.threads);
    const std::int32_t pieces = (columns - 1) / piece + 1;
    std::vector<position_box> boxes(static_cast<std::size_t>(pieces), empty_box());
    std::atomic<bool> rows_in_order{true};
    column_progress progress(columns, setup.report);
    std::atomic<std::int32_t> next_piece{0};

    run_workers(
        std::min(setup.threads, pieces), [](int) {},
        [&](int worker, int) {
            for (;;) {
                const std::int32_t p = next_piece.fetch_add(1, std::memory_order_relaxed);
                if (p >= pieces)
                    break;
                const std::int32_t begin = p * piece;
                const std::int32_t end = std::min(columns, begin + piece);
                if (!setup.kernels->fold_bounds(grid, begin, end, &boxes[static_cast<std::size_t>(p)]))
                    rows_in_order.store(false, std::memory_order_relaxed);
                progress.complete(begin, end);
                if (worker == 0)
                    progress.report_ready();
            }
            if (worker == 0)
                progress.report_rest();
        });
    for (const position_box& b : boxes)
        merge_box(box, b);
    return rows_in_order.load(std::memory_order_relaxed);
}

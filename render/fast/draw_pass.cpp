// Pass 2. Every pixel must end with the value of its last write in the plain
// order (columns outer, rows inner), so every pixel is written by one worker
// alone, which keeps the plain order among its samples:
//   directions 0 and 2: each worker owns a band of destination rows and
//     sweeps all columns, drawing in each the samples that land in its band.
//     Down a column the destination row never decreases (direction 0: Y = y;
//     direction 2: pass 1 checked it), so they are consecutive rows: in
//     direction 0 the same for every column, found where the destination
//     row of y changes; in direction 2 found per column by searching.
//   direction 1: X = x, so a sample's destination column follows from its
//     column: workers take bands of columns split where it changes.
// Where pass 1 found a column whose Ys are out of order (or not finite),
// direction 2 is drawn by one worker.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "render/fast/partition.h"
#include "render/fast/draw_pass.h"
#include "render/fast/row_bands.h"

namespace {

// Rows whose destinations one kernel call works out.
constexpr std::int32_t rows_per_batch = 2048;

// Samples per progress report.
constexpr std::int64_t samples_per_report = std::int64_t{1} << 16;

// Columns drawn tile by tile together (direction 0).
constexpr std::int32_t columns_per_block = 64;

// The writes of one kernel call: the pixel of each sample ((row << 32) |
// column) and the indices of the samples to write; index 0 is row_begin.
struct write_list {
    const std::int64_t* pixels;
    const std::int32_t* writes;
    std::int32_t count;
    std::int32_t row_begin;
};

struct copy_frame {
    const unsigned char* from_column;  // the source column's first row
    const std::ptrdiff_t* source_row;  // byte offset of each sample row
    unsigned char* destination;
    std::ptrdiff_t row_bytes;  // of the destination
    std::int64_t* origins;     // null, or one entry a destination pixel
    std::ptrdiff_t width;      // of the destination, in pixels
    std::int64_t column_key;   // the column, shifted up by 32
};

template <bool KeepOrigins>
inline void copy_pixel(const copy_frame& f, std::int64_t pixel, std::int32_t row)
{
    const unsigned char* from = f.from_column + f.source_row[row];
    const std::int32_t y = static_cast<std::int32_t>(pixel >> 32);
    const std::int32_t x = static_cast<std::int32_t>(pixel & 0xffffffff);
    unsigned char* to = f.destination + f.row_bytes * y + std::ptrdiff_t{3} * x;
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
    if (KeepOrigins)
        f.origins[f.width * y + x] = f.column_key | row;
}

// Everything is passed by value and kept in locals: the bytes written
// through char pointers could otherwise alias what the loop reads, and every
// value would be loaded again for each pixel. Without origins the loop is
// the one it always was.
template <bool KeepOrigins>
void copy_list(const write_list list, const copy_frame frame)
{
    for (std::int32_t w = 0; w < list.count; ++w) {
        const std::int32_t k = list.writes[w];
        copy_pixel<KeepOrigins>(frame, list.pixels[k], list.row_begin + k);
    }
}

void copy_all(const write_list& list, const copy_frame& frame)
{
    if (frame.origins)
        copy_list<true>(list, frame);
    else
        copy_list<false>(list, frame);
}

// Byte offsets that depend on the column or the row alone.
struct offsets {
    std::vector<std::ptrdiff_t> source_column;  // 3 * trunc(x)
    std::vector<std::ptrdiff_t> source_row;     // 3 * W * trunc(y)

    offsets(const terms_view& g, const draw_target& t)
        : source_column(static_cast<std::size_t>(g.columns)), source_row(static_cast<std::size_t>(g.rows))
    {
        for (std::int32_t i = 0; i < g.columns; ++i)
            source_column[i] = std::ptrdiff_t{3} * static_cast<std::int32_t>(g.xs[i]);
        const std::ptrdiff_t row_bytes = std::ptrdiff_t{3} * t.source_width;
        for (std::int32_t j = 0; j < g.rows; ++j)
            source_row[j] = row_bytes * static_cast<std::int32_t>(g.ys[j]);
    }

    copy_frame frame(const draw_target& t, std::int32_t column) const
    {
        return {t.source + source_column[column], source_row.data(), t.destination,
                std::ptrdiff_t{3} * t.destination_width, t.origins, t.destination_width,
                static_cast<std::int64_t>(static_cast<std::uint64_t>(column) << 32)};
    }
};

// A worker's room for the output of one kernel call.
struct write_buffer {
    std::vector<std::int64_t> pixels;
    std::vector<std::int32_t> writes;

    explicit write_buffer(std::size_t samples)
        : pixels(samples + destination_slack), writes(samples + destination_slack)
    {
    }

    // The destinations of rows [row_begin, row_end) of a column.
    write_list fill(const pass_setup& setup, const draw_target& t, std::int32_t column, std::int32_t row_begin,
                    std::int32_t row_end)
    {
        const std::int32_t count = setup.kernels->destinations(*setup.grid, column, row_begin, row_end, t.min_x,
                                                               t.min_y, pixels.data(), writes.data());
        return {pixels.data(), writes.data(), count, row_begin};
    }
};

// Reports a worker's finished columns now and then rather than each time.
class progress_batch {
public:
    progress_batch(column_progress& progress, int worker, std::int64_t samples_per_column)
        : progress_(progress), worker_(worker), per_column_(std::max<std::int64_t>(1, samples_per_column))
    {
    }
    void column_done(std::int32_t column)
    {
        if (pending_end_ == pending_begin_)
            pending_begin_ = column;
        pending_end_ = column + 1;
        if ((pending_end_ - pending_begin_) * per_column_ >= samples_per_report)
            send();
    }
    void send()
    {
        if (pending_end_ > pending_begin_)
            progress_.complete(pending_begin_, pending_end_);
        pending_begin_ = pending_end_;
        if (worker_ == 0)
            progress_.report_ready();
    }

private:
    column_progress& progress_;
    int worker_;
    std::int64_t per_column_;
    std::int32_t pending_begin_ = 0;
    std::int32_t pending_end_ = 0;
};

// Each worker owns a band of destination rows; plan(workers) gives each
// worker its rows of every column.
void draw_in_row_bands(const pass_setup& setup, const draw_target& t, const offsets& o, int threads,
                       const std::function<std::vector<column_rows>(int workers)>& plan)
{
    const terms_view& g = *setup.grid;
    column_progress progress(g.columns, setup.report);
    std::vector<write_buffer> buffers;
    std::vector<column_rows> rows_of;

    run_workers(
        threads,
        [&](int workers) {
            progress.set_required(workers);
            buffers.assign(static_cast<std::size_t>(workers), write_buffer(rows_per_batch));
            rows_of = plan(workers);
        },
        [&](int worker, int workers) {
            column_rows& mine = rows_of[static_cast<std::size_t>(worker)];
            write_buffer& buffer = buffers[static_cast<std::size_t>(worker)];
            progress_batch batch(progress, worker, g.rows / workers);
            // A block of columns tile by tile: the pixels a tile reaches stay
            // in the caches (and their pages in the TLB) across the block.
            for (std::int32_t block = 0; block < g.columns; block += columns_per_block) {
                const std::int32_t block_end = std::min(g.columns, block + columns_per_block);
                for (std::size_t tile = 0; tile < mine.tiles(); ++tile) {
                    for (std::int32_t i = block; i < block_end; ++i) {
                        const index_range rows = mine.of(tile, i);
                        const copy_frame frame = o.frame(t, i);
                        for (std::int32_t j0 = rows.begin; j0 < rows.end; j0 += rows_per_batch) {
                            const std::int32_t j1 = std::min(rows.end, j0 + rows_per_batch);
                            copy_all(buffer.fill(setup, t, i, j0, j1), frame);
                        }
                    }
                }
                for (std::int32_t i = block; i < block_end; ++i)
                    batch.column_done(i);
            }
            batch.send();
            if (worker == 0)
                progress.report_rest();
        });
}

void draw_along_rows(const pass_setup& setup, const draw_target& t, const offsets& o)
{
    const terms_view& g = *setup.grid;
    std::vector<std::int64_t> destination_row(static_cast<std::size_t>(g.rows));
    for (std::int32_t j = 0; j < g.rows; ++j)
        destination_row[j] = static_cast<std::int32_t>(g.ys[j] - t.min_y);
    draw_in_row_bands(setup, t, o, setup.threads, [&](int workers) {
        std::vector<column_rows> rows;
        for (int w = 0; w < workers; ++w)
            rows.emplace_back(part_between_keys(destination_row.data(), g.rows, w, workers), destination_row.data(),
                              rows_per_batch);
        return rows;
    });
}

void draw_straight_at_it(const pass_setup& setup, const draw_target& t, const offsets& o, bool rows_in_order)
{
    const terms_view& g = *setup.grid;
    draw_in_row_bands(setup, t, o, rows_in_order ? setup.threads : 1, [&](int workers) {
        const std::vector<std::int32_t> bounds = balanced_bands(g, t.min_y, t.destination_height, workers);
        std::vector<column_rows> rows;
        for (int w = 0; w < workers; ++w)
            rows.emplace_back(g, t.min_y, t.destination_height, bounds[w], bounds[w + 1]);
        return rows;
    });
}

void draw_along_columns(const pass_setup& setup, const draw_target& t, const offsets& o)
{
    const terms_view& g = *setup.grid;
    std::vector<std::int64_t> destination_column(static_cast<std::size_t>(g.columns));
    for (std::int32_t i = 0; i < g.columns; ++i)
        destination_column[i] = static_cast<std::int32_t>(g.xs[i] - t.min_x);
    // Bands of about samples_per_report samples, taken in order by whichever
    // worker is free; each band is one worker's alone.
    const std::int64_t samples = std::int64_t{g.columns} * g.rows;
    const std::int64_t wanted = std::max<std::int64_t>(std::int64_t{8} * setup.threads, samples / samples_per_report);
    const int bands = static_cast<int>(std::min<std::int64_t>(wanted, std::max(g.columns, 1)));
    column_progress progress(g.columns, setup.report);
    std::vector<write_buffer> buffers;
    std::atomic<int> next_band{0};

    run_workers(
        std::min(setup.threads, bands),
        [&](int workers) { buffers.assign(static_cast<std::size_t>(workers), write_buffer(rows_per_batch)); },
        [&](int worker, int) {
            write_buffer& buffer = buffers[static_cast<std::size_t>(worker)];
            for (;;) {
                const int b = next_band.fetch_add(1, std::memory_order_relaxed);
                if (b >= bands)
                    break;
                const index_range band = part_between_keys(destination_column.data(), g.columns, b, bands);
                for (std::int32_t i = band.begin; i < band.end; ++i) {
                    const copy_frame frame = o.frame(t, i);
                    for (std::int32_t j0 = 0; j0 < g.rows; j0 += rows_per_batch) {
                        const std::int32_t j1 = std::min(g.rows, j0 + rows_per_batch);
                        copy_all(buffer.fill(setup, t, i, j0, j1), frame);
                    }
                }
                if (band.end > band.begin)
                    progress.complete(band.begin, band.end);
                if (worker == 0)
                    progress.report_ready();
            }
            if (worker == 0)
                progress.report_rest();
        });
}

}  // namespace

void draw_positions(const pass_setup& setup, const draw_target& target, bool rows_in_order)
{
    const terms_view& g = *setup.grid;
    const offsets o(g, target);
    switch (g.direction) {
    case 0: draw_along_rows(setup, target, o); break;
    case 1: draw_along_columns(setup, target, o); break;
    case 2: draw_straight_at_it(setup, target, o, rows_in_order); break;
    default: break;
    }
}

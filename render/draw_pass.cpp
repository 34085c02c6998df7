// Pass 2. Every pixel must end with the value of its last write in the plain
// order (columns outer, rows inner), so every pixel is written by one worker
// alone, which keeps the plain order among its samples:
//   direction 0: Y = y, so a sample's destination row follows from its row;
//     each worker owns a band of rows split where that destination row
//     changes and sweeps all columns over it;
//   direction 1: X = x, the same with columns: workers take bands of columns
//     split where the destination column changes;
//   direction 2: both coordinates depend on both; the workers compute the
//     destinations of a slice of columns together, then each scans the whole
//     slice in order and writes the destinations in its own band of rows.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

#include "render/partition.h"
#include "render/passes.h"

namespace {

// Rows whose destinations one kernel call works out.
constexpr std::int32_t rows_per_batch = 2048;

// Samples per slice of columns in direction 2 (all workers wait for each
// other once per slice), and per progress report.
constexpr std::int64_t samples_per_slice = std::int64_t{1} << 18;
constexpr std::int64_t samples_per_report = std::int64_t{1} << 16;

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
};

inline void copy_pixel(const copy_frame& f, std::int64_t pixel, std::int32_t row)
{
    const unsigned char* from = f.from_column + f.source_row[row];
    unsigned char* to = f.destination + f.row_bytes * static_cast<std::int32_t>(pixel >> 32)
                        + std::ptrdiff_t{3} * static_cast<std::int32_t>(pixel & 0xffffffff);
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// Everything is passed by value and kept in locals: the bytes written
// through char pointers could otherwise alias what the loop reads, and every
// value would be loaded again for each pixel.
void copy_all(const write_list list, const copy_frame frame)
{
    for (std::int32_t w = 0; w < list.count; ++w) {
        const std::int32_t k = list.writes[w];
        copy_pixel(frame, list.pixels[k], list.row_begin + k);
    }
}

// Byte offsets that depend on the column or the row alone.
struct offsets {
    std::vector<std::ptrdiff_t> source_column;  // 3 * trunc(x)
    std::vector<std::ptrdiff_t> source_row;     // 3 * W * trunc(y)

    offsets(const grid_view& g, const draw_target& t)
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
                std::ptrdiff_t{3} * t.destination_width};
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

void draw_along_rows(const pass_setup& setup, const draw_target& t, const offsets& o)
{
    const grid_view& g = *setup.grid;
    std::vector<std::int64_t> destination_row(static_cast<std::size_t>(g.rows));
    for (std::int32_t j = 0; j < g.rows; ++j)
        destination_row[j] = static_cast<std::int32_t>(g.ys[j] - t.min_y);
    column_progress progress(g.columns, setup.report);
    std::vector<write_buffer> buffers;

    run_workers(
        setup.threads,
        [&](int workers) {
            progress.set_required(workers);
            buffers.assign(static_cast<std::size_t>(workers), write_buffer(rows_per_batch));
        },
        [&](int worker, int workers) {
            const index_range rows = part_between_keys(destination_row.data(), g.rows, worker, workers);
            write_buffer& buffer = buffers[static_cast<std::size_t>(worker)];
            progress_batch batch(progress, worker, rows.end - rows.begin);
            for (std::int32_t i = 0; i < g.columns; ++i) {
                const copy_frame frame = o.frame(t, i);
                for (std::int32_t j0 = rows.begin; j0 < rows.end; j0 += rows_per_batch) {
                    const std::int32_t j1 = std::min(rows.end, j0 + rows_per_batch);
                    copy_all(buffer.fill(setup, t, i, j0, j1), frame);
                }
                batch.column_done(i);
            }
            batch.send();
            if (worker == 0)
                progress.report_rest();
        });
}

void draw_along_columns(const pass_setup& setup, const draw_target& t, const offsets& o)
{
    const grid_view& g = *setup.grid;
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

// One write of direction 2, kept from the slice's computing to its writing.
struct slice_write {
    std::int64_t pixel;         // (row << 32) | column
    std::ptrdiff_t source;      // byte offset in the source raster
};

// A worker's share of a slice: its writes in plain order. The room is never
// cleared, so only what is written to costs memory.
struct slice_share {
    std::unique_ptr<slice_write[]> writes;
    std::int64_t count = 0;
};

void copy_band(const slice_share& share, const draw_target& t, index_range band)
{
    const slice_write* writes = share.writes.get();
    const std::int64_t count = share.count;
    const unsigned char* source = t.source;
    unsigned char* destination = t.destination;
    const std::ptrdiff_t row_bytes = std::ptrdiff_t{3} * t.destination_width;
    const auto band_rows = static_cast<std::uint32_t>(band.end - band.begin);
    for (std::int64_t w = 0; w < count; ++w) {
        const std::int64_t pixel = writes[w].pixel;
        const auto row = static_cast<std::int32_t>(pixel >> 32);
        if (static_cast<std::uint32_t>(row - band.begin) >= band_rows)
            continue;
        const unsigned char* from = source + writes[w].source;
        unsigned char* to = destination + row_bytes * row + std::ptrdiff_t{3} * static_cast<std::int32_t>(pixel & 0xffffffff);
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    }
}

void draw_straight_at_it(const pass_setup& setup, const draw_target& t, const offsets& o)
{
    const grid_view& g = *setup.grid;
    const std::int64_t rows = g.rows;
    const std::int32_t slice_columns
        = static_cast<std::int32_t>(std::max<std::int64_t>(1, samples_per_slice / std::max<std::int64_t>(rows, 1)));
    const std::int32_t slices = g.columns == 0 ? 0 : (g.columns - 1) / slice_columns + 1;
    const std::int64_t slice_samples = std::min<std::int64_t>(slice_columns, g.columns) * rows;
    column_progress progress(g.columns, setup.report);
    // Two slices in flight: one being computed, the one before being written.
    std::vector<slice_share> shares[2];
    std::vector<write_buffer> buffers;
    std::unique_ptr<worker_barrier> barrier;

    run_workers(
        setup.threads,
        [&](int workers) {
            progress.set_required(workers);
            const auto most = static_cast<std::size_t>(slice_samples / workers + 1);
            for (std::vector<slice_share>& slot : shares) {
                slot.resize(static_cast<std::size_t>(workers));
                for (slice_share& share : slot)
                    share.writes.reset(new slice_write[most]);
            }
            buffers.assign(static_cast<std::size_t>(workers), write_buffer(rows_per_batch));
            barrier.reset(new worker_barrier(workers));
        },
        [&](int worker, int workers) {
            const index_range band = even_part(t.destination_height, worker, workers);
            write_buffer& buffer = buffers[static_cast<std::size_t>(worker)];
            for (std::int32_t s = 0; s <= slices; ++s) {
                // Step s computes slice s and writes slice s - 1.
                if (s < slices) {
                    slice_share& share = shares[s % 2][static_cast<std::size_t>(worker)];
                    share.count = 0;
                    const std::int32_t first = s * slice_columns;
                    const std::int64_t total = std::min(slice_columns, g.columns - first) * rows;
                    const std::int64_t end = total * (worker + 1) / workers;
                    for (std::int64_t k = total * worker / workers; k < end;) {
                        const auto c = static_cast<std::int32_t>(k / rows);
                        const auto j0 = static_cast<std::int32_t>(k - c * rows);
                        const auto j1 = static_cast<std::int32_t>(
                            std::min<std::int64_t>({rows, j0 + (end - k), j0 + rows_per_batch}));
                        const write_list list = buffer.fill(setup, t, first + c, j0, j1);
                        const std::ptrdiff_t source_column = o.source_column[first + c];
                        slice_write* out = share.writes.get() + share.count;
                        for (std::int32_t w = 0; w < list.count; ++w) {
                            const std::int32_t r = list.writes[w];
                            out[w] = {list.pixels[r], source_column + o.source_row[j0 + r]};
                        }
                        share.count += list.count;
                        k += j1 - j0;
                    }
                }
                if (s > 0) {
                    for (const slice_share& share : shares[(s - 1) % 2])
                        copy_band(share, t, band);
                    const std::int32_t first = (s - 1) * slice_columns;
                    progress.complete(first, first + std::min(slice_columns, g.columns - first));
                }
                barrier->arrive_and_wait();
                if (worker == 0)
                    progress.report_ready();
            }
            if (worker == 0)
                progress.report_rest();
        });
}

}  // namespace

void draw_positions(const pass_setup& setup, const draw_target& target)
{
    const grid_view& g = *setup.grid;
    const offsets o(g, target);
    switch (g.direction) {
    case 0: draw_along_rows(setup, target, o); break;
    case 1: draw_along_columns(setup, target, o); break;
    case 2: draw_straight_at_it(setup, target, o); break;
    default: break;
    }
}

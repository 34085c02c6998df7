// Running sums of the source's rows in linear light, so that the smooth
// renderer sums the fully covered middle of a footprint's row piece in
// about constant time where the view shrinks the picture hard (a footprint
// spanning hundreds of source pixels along a row), weighing only the few
// partly covered pixels at its two ends.
//
// Each row's sum is kept in double before every sum_step-th pixel: the
// light of pixels [from, to) is the difference of two of them and the
// plain sum of fewer than sum_step pixels at either end. They take 2 x 3 /
// sum_step doubles a source pixel (a sixteenth of the source's size in
// floats, twice over: 36 MB for 6000 x 4000), and building them reads
// the source once.
#ifndef LUMIRUN_RENDER_SMOOTH_ROW_SUMS_H
#define LUMIRUN_RENDER_SMOOTH_ROW_SUMS_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "render/machine.h"
#include "render/smooth/linear_light.h"

struct smooth_source;

constexpr std::int32_t sum_step = 16;

struct smooth_row_sums {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t steps = 0;      // sums a row: before pixel 0, sum_step, 2 sum_step, ... and the whole row
    std::vector<double> before;  // row y, step k, channel c: the row's pixels before k sum_step (or all)

    bool fits(std::int32_t w, std::int32_t h) const { return width == w && height == h && !before.empty(); }
};

// Adds the light of source row y's pixels [from, to) (0 <= from <= to <=
// width) to out, 3 channels.
void add_row_span(const smooth_source& source, const srgb_light_tables& tables, std::int32_t y, std::int32_t from,
                  std::int32_t to, double out[3]);

// The bytes the sums of a width x height source take.
std::uint64_t row_sums_bytes(std::int32_t width, std::int32_t height);

// The source's sums, rows shared among the machine's threads (the same
// values whatever their number). Throws std::bad_alloc when the memory
// cannot be had.
smooth_row_sums build_row_sums(const smooth_source& source, const srgb_light_tables& tables,
                               const render_machine& machine);

// One source picture's sums, kept between the renders of it (a movie's
// frames, a page's previews): built on the first render that needs them,
// reused by the next. A cache belongs to one picture: its owner makes it
// beside the picture and drops it with it (or when its pixels change),
// never handing it to a render of another picture; the renderer checks
// only the size. Renders may share it from several threads.
class smooth_sums_cache {
public:
    // The sums when they have been built for a width x height picture.
    std::shared_ptr<const smooth_row_sums> find(std::int32_t width, std::int32_t height) const
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        return sums_ && sums_->fits(width, height) ? sums_ : nullptr;
    }
    void keep(std::shared_ptr<const smooth_row_sums> sums)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        sums_ = std::move(sums);
    }
    // The bytes it holds.
    std::uint64_t bytes() const
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        return sums_ ? row_sums_bytes(sums_->width, sums_->height) : 0;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const smooth_row_sums> sums_;
};

#endif

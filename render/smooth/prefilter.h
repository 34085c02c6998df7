// What the smooth renderer straight at it builds from the source where the
// view shrinks the picture hard, so that a footprint spanning hundreds of
// source pixels costs about as much as one spanning a few dozen.
//
// Near the map's limit a pixel is cut into thin slices across the radius,
// each long across it and short along it: where the radius runs along the
// rows the slices stand upright, and summing them row by row would gain
// nothing. So the source is kept twice: its rows' sums, and a copy turned
// on its side (its columns as rows, bytes or floats as the source is) with
// that copy's rows' sums. A footprint taller than wide is averaged over on
// the turned copy (the same area integral with x and y swapped), any other
// on the source; either way the fully covered middles of its row pieces
// come from the sums. For 6000 x 4000 bytes: 72 MB for the turned copy
// and 36 MB for each sums, less than the source in floats.
#ifndef LUMIRUN_RENDER_SMOOTH_PREFILTER_H
#define LUMIRUN_RENDER_SMOOTH_PREFILTER_H

#include <cstdint>
#include <memory>
#include <mutex>

#include "render/machine.h"
#include "render/smooth/row_sums.h"
#include "render/smooth/smooth_passes.h"

struct smooth_prefilter {
    smooth_row_sums rows;
    unfilled_vector<unsigned char> turned_bytes;  // pixel (x, y) of the source at ((x * height) + y) * 3
    unfilled_vector<float> turned_values;
    smooth_row_sums columns;                  // the turned copy's rows' sums
    smooth_source turned{nullptr, nullptr, 0, 0, 0};  // the turned copy, with its sums

    bool fits(std::int32_t width, std::int32_t height) const { return rows.fits(width, height); }
};

// The bytes a width x height source's prefilter takes (values: a source
// of floats, else of bytes).
std::uint64_t prefilter_bytes(std::int32_t width, std::int32_t height, bool values);

// The source's prefilter, rows and columns shared among the machine's
// threads (the same values whatever their number). Throws std::bad_alloc
// when the memory cannot be had.
std::shared_ptr<const smooth_prefilter> build_prefilter(const smooth_source& source,
                                                        const srgb_light_tables& tables,
                                                        const render_machine& machine);

// The source drawn through the prefilter (which must be its own).
inline smooth_source prefiltered(smooth_source source, const smooth_prefilter* prefilter)
{
    source.sums = prefilter ? &prefilter->rows : nullptr;
    source.turned = prefilter ? &prefilter->turned : nullptr;
    return source;
}

// One source picture's prefilter, kept between the renders of it (a
// movie's frames, a page's previews): built on the first render that needs
// it, reused by the next. A cache belongs to one picture: its owner makes
// it beside the picture and drops it with it (or when its pixels change),
// never handing it to a render of another picture; the renderer checks only
// the size. Renders may share it from several threads.
class smooth_sums_cache {
public:
    // The prefilter when it has been built for a width x height picture.
    std::shared_ptr<const smooth_prefilter> find(std::int32_t width, std::int32_t height) const
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        return kept_ && kept_->fits(width, height) ? kept_ : nullptr;
    }
    void keep(std::shared_ptr<const smooth_prefilter> prefilter)
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        kept_ = std::move(prefilter);
    }
    // The bytes it holds.
    std::uint64_t bytes() const
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        return kept_ ? prefilter_bytes(kept_->rows.width, kept_->rows.height, !kept_->turned_values.empty()) : 0;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const smooth_prefilter> kept_;
};

#endif

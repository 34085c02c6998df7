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

#endif

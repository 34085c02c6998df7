// The per-sample work of the renderer, in one version per vector width, and
// the choice among them at run time.
//
// Every version computes the positions of solver_terms.h with the same IEEE
// operations in the same order (no fused multiply-add, no reassociation, no
// approximate square root or reciprocal), so all of them, and the plain
// apparent_position, give the same bits.
#ifndef LUMIRUN_RENDER_FAST_KERNELS_H
#define LUMIRUN_RENDER_FAST_KERNELS_H

#include <cstdint>

#include "render/fast/terms_view.h"
#include "render/machine.h"
#include "render/position_box.h"

// Room the destination kernels may use past the end of their output.
constexpr std::int32_t destination_slack = 16;

// The map along a line of the smooth renderer (render/smooth/smooth_lines.cpp,
// render/smooth/inverse_map.h): at apparent coordinate X along the line, at
// `across_squared` from the observer across it, the source coordinate
// g (X + b R), R = sqrt(((X + offset)^2 + across_squared) + depth_squared).
struct line_map {
    double g;
    double b;
    double offset;
    double depth_squared;
};

struct kernel_table {
    simd_level level;
    const char* name;

    // Adds the positions of every row of columns [column_begin, column_end)
    // to box. Ties between zeros of either sign may keep either zero. Returns
    // whether, in each of these columns, every Y is finite and none is less
    // than the one in the row above.
    bool (*fold_bounds)(const terms_view& grid, std::int32_t column_begin, std::int32_t column_end,
                        position_box* box);

    // The destinations of the rows [row_begin, row_end) of one column: for
    // each sample, its pixel (trunc(Y - min_y) << 32) | trunc(X - min_x), or
    // -1 where its position is not finite, in pixels_out; and in writes_out,
    // in row order, the indices (from 0) of the samples to write: those with
    // a pixel whose next sample in the range goes to another one (a sample
    // followed by one to the same pixel would be overwritten straight away).
    // Returns the number of writes. Both arrays hold (row_end - row_begin) +
    // destination_slack entries; the slack may be overwritten. Positions lie
    // within the bounds (pass 1 found them).
    std::int32_t (*destinations)(const terms_view& grid, std::int32_t column, std::int32_t row_begin,
                                 std::int32_t row_end, double min_x, double min_y, std::int64_t* pixels_out,
                                 std::int32_t* writes_out);

    // The smooth renderer's edges: out[k] = the map at X = first + k, k <
    // count, all at one across_squared (one point across the line of every
    // edge).
    void (*line_points)(const line_map& map, double first, std::int32_t count, double across_squared, double* out);

    // out[t] = the map at X = apparent and across_squared[t], t < count (the
    // points of one edge across the line).
    void (*edge_points)(const line_map& map, double apparent, const double* across_squared, std::int32_t count,
                        double* out);
};

bool simd_level_supported(simd_level level);
simd_level best_simd_level();

// The kernels of a supported level.
const kernel_table& kernels_for(simd_level level);

// The kernels a render on this machine uses: the level it names when the
// processor has it, otherwise the widest the processor has.
const kernel_table& kernels_for(const render_machine& machine);

#endif

// The sample grid of one render as the vector kernels see it: plain
// pointers to the sample coordinates and to the terms of the solvers that
// depend on a sample's column alone or on its row alone (solver_terms.h says
// how they combine). Nothing here but plain data, so that the kernels, which
// are compiled for several instruction sets, share no inline code.
#ifndef LUMIRUN_RENDER_FAST_TERMS_VIEW_H
#define LUMIRUN_RENDER_FAST_TERMS_VIEW_H

#include <cstdint>

#include "render/observer.h"

// Row arrays carry this many copies of the last row after it, so that a
// kernel may read whole vectors past the end of any row range.
constexpr std::int32_t row_padding = 8;

// Plain pointers into a solver_terms, for the kernels.
struct terms_view {
    std::int32_t direction = 0;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    const double* xs = nullptr;  // columns entries
    const double* ys = nullptr;  // rows + row_padding entries

    // Directions 0 and 1: "along" is the axis of motion (per column in
    // direction 0, per row in direction 1), "across" the other one.
    const double* along_neg_b = nullptr;
    const double* along_b_squared = nullptr;
    const double* along_square = nullptr;
    const double* across = nullptr;  // beta_gamma_squared * s

    // Direction 2.
    const double* row_sum = nullptr;        // (oz * oz) + ((y - oy) * (y - oy))
    const double* row_lever = nullptr;      // (oy - y) * oz
    const double* column_square = nullptr;  // (x - ox) * (x - ox)
    const double* column_lever = nullptr;   // (ox - x) * oz
    double depth_neg_b = 0.0;
    double depth_b_squared = 0.0;
    double beta_gamma_squared = 0.0;
    double ox = 0.0;
    double oy = 0.0;
    double oz = 0.0;

    // The observer and motion the terms were worked out from, for the few
    // positions computed one by one (row_bands.h).
    view_parameters view;
};

#endif

// The sample grid of one render with the parts of the apparent-position
// solvers that depend on a sample's column alone or on its row alone.
//
// They are worked out once per render with the operations observer.cpp uses,
// in its order, for z = 0.0; what is left per sample is a handful of
// operations and one square root, done by the vector kernels in the same
// order, so every position has the bits apparent_position gives it.
//
// Per sample, with the column terms (one value per column) and the row terms
// (one value per row):
//   direction 0: c = along_square - across, d = along_b_squared - 4.0 * c,
//                X = (along_neg_b - sqrt(d < 0.0 ? 0.0 : d)) / 2.0, Y = y
//                (along = the column's terms, across = the row's)
//   direction 1: the same with rows and columns exchanged; X = x
//   direction 2: s = row_sum + column_square, c = -(0.0 + bgs * s),
//                d = depth_b_squared - 4.0 * c,
//                Z = (sqrt(d < 0.0 ? 0.0 : d) + depth_neg_b) / 2.0,
//                X = 20.0 * ((column_lever / (Z - oz)) + ox),
//                Y = 20.0 * ((row_lever / (Z - oz)) + oy)
#ifndef LUMIRUN_RENDER_FAST_SOLVER_TERMS_H
#define LUMIRUN_RENDER_FAST_SOLVER_TERMS_H

#include <cstdint>
#include <vector>

#include "render/fast/terms_view.h"

// direction is 0, 1 or 2. xs and ys are the sample coordinates (any values;
// the renderer passes the sample_coordinates of the source's width and
// height).
class solver_terms {
public:
    solver_terms(const view_parameters& view, std::int32_t direction, std::vector<double> xs, std::vector<double> ys);
    solver_terms(const solver_terms&) = delete;
    solver_terms& operator=(const solver_terms&) = delete;

    const terms_view& view() const { return view_; }

private:
    std::vector<double> xs_;
    std::vector<double> ys_;
    std::vector<double> column_terms_[4];
    std::vector<double> row_terms_[4];
    terms_view view_;
};

#endif

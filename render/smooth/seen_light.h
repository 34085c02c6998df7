// The source as the observer's light: every source pixel's linear light
// shifted with the Doppler factor of the point where its centre is drawn.
//
// Averaging this light over a footprint gives each output pixel the mean of
// the shifted colours of what it covers: a pixel that spans a range of D
// (near the observer at high speed, or near the point straight ahead) shows
// the mix of its blue and its red parts, where taking one D for the pixel
// would show one of them. D varies smoothly with the drawn position, so
// one D a source pixel is as fine as the source itself: where the view
// magnifies, neighbouring pixels' shifted light is interpolated between.
#ifndef LUMIRUN_RENDER_SMOOTH_SEEN_LIGHT_H
#define LUMIRUN_RENDER_SMOOTH_SEEN_LIGHT_H

#include <cstdint>
#include <vector>

#include "image/raster.h"
#include "render/position_box.h"
#include "render/machine.h"
#include "render/observer.h"
#include "render/smooth/linear_light.h"

struct colour_shift_table;

// The source's first image_width_of columns as shifted linear light (the
// table's matrices, no exposure): black stays 0, and a pixel whose centre
// is seen nowhere is 0. D's place among the table's nodes is worked out
// exactly on a grid of every 8th pixel and interpolated between where it is
// smooth (within 1/64 of a node, 6e-5 in ln D), pixel by pixel elsewhere;
// each node's matrix carries white's brightness there, interpolated linearly
// between nodes (1/256 in ln D apart). Rows are shared among the machine's
// threads; the values do not depend on how. Throws std::bad_alloc when the
// memory cannot be had.
linear_picture seen_source(const raster& source, const view_parameters& view, fly_by_direction direction,
                           const colour_shift_table& table, const render_machine& machine);

// Where the view magnifies, one D a source pixel would be too coarse: a
// source pixel is drawn over several output pixels, whose D differ, and
// interpolating between source pixels would spread a change of D that
// happens within one output pixel (next to the observer) over many. There
// the pixel's own light (rest, the canvas's unshifted average) is shifted
// with its points' D instead, averaged over the pixel: its centre's D
// where D varies by 1 % or less across it, else Simpson's weights on its
// centre and corners. A pixel whose footprint spans s source pixels takes
// min(max(2 - s, 0), 1) of this and the rest of seen (the shifted source's
// average): from 2 source pixels on, the shifted source alone. A pixel
// across which D changes by more than a tenth (next to the observer, where
// its light turns from approaching to receding) takes 16 x 16 of its
// points instead, each the source pixel it is drawn from shifted with its
// own D. Both pictures are the canvas's (width x height, 3 floats a pixel,
// the raster's channel order); box is the canvas's. Rows are shared among
// the machine's threads.
void shift_magnified(const view_parameters& view, fly_by_direction direction, const position_box& box,
                     const colour_shift_table& table, const raster& source, std::int32_t width, std::int32_t height,
                     const std::vector<float>& rest, const render_machine& machine, std::vector<float>* seen);

#endif

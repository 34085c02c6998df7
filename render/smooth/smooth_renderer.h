// The smooth renderer: every output pixel pulls its colour through the
// inverse of the apparent-position map, so the view has no holes where it
// magnifies the picture and no aliasing where it shrinks it.
//
// The canvas is the bounding box of the whole source rectangle's image
// (render_output::box, in the observer's coordinates): output pixel (j, i)
// covers [box.min_x + j, box.min_x + j + 1) x [box.min_y + i, ...), as the
// exact renderer's pixel would, and source pixel (x, y) covers [x, x + 1) x
// [y, y + 1). Each side takes ceil(extent) pixels (at least 1), less a last
// one the picture reaches less than 1/16 of a pixel into: near black, it
// would only frame the picture. The source is the raster's first
// image_width_of columns, and the rendered raster holds the canvas in its
// first image_width columns (its width rounded up to a multiple of 4 as
// every raster's): at speed 0 from left to right or top to bottom the
// picture comes back as it came in, whatever its width. Straight at it
// draws at 20 times the picture's scale, as the exact renderer does.
//
// Each output pixel is the average of the source over its footprint, in
// linear light (the physically right mean: mixing light, not encoded
// bytes). Pixels the source covers in part get the covered share over
// black; everything outside stays black.
// - From left to right and top to bottom the footprint lies in one source
//   row (column), between the curves the pixel's two edges sweep across the
//   output row, and the filter is render/smooth/footprint_filter.h's: the
//   exact box average where the view shrinks the picture, bilinear
//   interpolation as it magnifies it, the source itself at speed 0.
//   Running sums of the row give the average in constant time. Where the
//   edges bend (near the observer) they are followed in more straight
//   pieces, and a pixel across which the map's scale changes is split into
//   halves; every part of the output pixel counts alike.
// - Straight at it the map stretches the picture differently along the
//   radius and across it, and a pixel's footprint is the parallelogram its
//   derivatives make of it, averaged over exactly, with no blur
//   (render/smooth/footprint_cover.h): a source edge stays as sharp as the
//   footprint allows, where the view magnifies the picture (at speed 0 each
//   source pixel a 20 x 20 block) and where it shrinks it. Where the
//   footprint spans more than 1.5 source pixels the pixel is cut into parts,
//   each mapped where it lies: a grid square with the pixel up to 16 source
//   pixels, else strips along the radius stepped with the local scale (near
//   the map's limit one pixel's footprint spans hundreds of source pixels
//   along the radius and a few across it).
//
// Same bytes on every machine and thread count: nothing per pixel but + - *
// / and sqrt, floor, fabs in double, in the written order.
#ifndef LUMIRUN_RENDER_SMOOTH_SMOOTH_RENDERER_H
#define LUMIRUN_RENDER_SMOOTH_SMOOTH_RENDERER_H

#include "render/renderer.h"
#include "render/smooth/linear_light.h"

// render_picture (draw) and measure_picture (not) for render_method::smooth.
// The quality and steps are not used: steps are reported as 0 by 0.
// Progress: (1, 0, 0) once the canvas is known, then when drawing (2,
// percent, line) as output rows (from top to bottom: columns) finish, in
// order, percent nondecreasing up to 100.
render_output render_smooth(const raster& source, const render_settings& settings, const render_progress& progress,
                            raster* replaced, bool draw);

// The same render on linear light, for passes that work on it (the colour
// shift): out gets the canvas's width (no alignment columns) and height, and
// values (each rounded to float). encode_picture of the result gives the
// bytes render_smooth gives for the source decode_picture came from.
// Statuses as render_smooth's; values empty when source.values is.
render_status render_smooth_linear(const linear_picture& source, const render_settings& settings,
                                   const render_progress& progress, linear_picture* out, position_box* box);

#endif

// The smooth renderer's footprints straight at it: the source's light
// averaged exactly over a parallelogram.
//
// A piece of an output pixel maps, through the map's derivatives where it
// lies, onto a parallelogram of the source: centre c, sides u and v, the
// points c + a u + b v with |a|, |b| <= 1/2. Straight at it the derivatives
// stretch by `along` the radius and by `across` it, so the parallelogram of
// an output square is long along the radius and narrow across it. Its light
// is the integral of the piecewise-constant source (pixel (x, y) covers
// [x, x + 1) x [y, y + 1), black outside the picture) over its area, with
// no further blur: a source edge stays as sharp as the footprint allows.
//
// A horizontal line meets the parallelogram between a left and a right
// edge, each linear in y between the heights of the corners; within a
// source row and such a band, the area left of a column line is the
// integral of the two edges' positions clipped to it, in closed form, and a
// source pixel's share the difference between its two column lines'. A
// parallelogram under a source pixel wide and high (the view magnifying
// the picture: most pixels at low speeds) meets at most 2 x 2 pixels; its
// shares come from its sides' shadows on the axes (trapezoids) and, where
// it crosses both a row and a column line, its corner's own area: a fixed
// run of arithmetic and selects, no loop over pixels.
//
// Nothing but + - * / in double, in the written order: the same bits on
// every machine.
#ifndef LUMIRUN_RENDER_SMOOTH_FOOTPRINT_COVER_H
#define LUMIRUN_RENDER_SMOOTH_FOOTPRINT_COVER_H

#include "render/smooth/smooth_passes.h"

struct footprint_parallelogram {
    double cx;
    double cy;
    double ux;
    double uy;
    double vx;
    double vy;
};

// Adds weight times the parallelogram's mean light (3 channels) to sum.
// Nothing when its area is 0 or not finite.
void add_footprint_light(const smooth_source& source, const srgb_light_tables& tables,
                         const footprint_parallelogram& p, double weight, double sum[3]);

// A convex polygon of the source, its corners in order either way round.
constexpr int most_polygon_corners = 8;
struct footprint_polygon {
    int count;
    double x[most_polygon_corners];
    double y[most_polygon_corners];
};

// The same for a convex polygon (the pieces of a pixel cut by its own
// edges).
void add_polygon_light(const smooth_source& source, const srgb_light_tables& tables, const footprint_polygon& p,
                       double weight, double sum[3]);

#endif

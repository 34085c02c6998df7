// The apparent-position map run backwards, and the canvas it fills.
//
// The solvers of render/observer.h take a source point to where it is seen;
// the smooth renderer asks the opposite question for every output pixel, and
// these closed forms answer it with one square root (and, straight at it, one
// division). Arithmetic is IEEE double in the written order, as everywhere in
// the renderer.
//
// Each map shows the effects the view names (view_parameters::effects; the
// forward map is apparent_position, render/observer.h). Along a row (from
// left to right; top to bottom alike, x and y exchanged) the point of rest
// coordinate x is, at the observer's time t, at x / g + beta t: g = gamma
// where the contraction is shown, 1 where not. With the light's travel time
// it is seen where it was when its light left, t = -R, R its distance from
// the solver's observer (-ox, oy, oz) (render/doppler.cpp); without, where
// it is at t = 0. So
//     X = x / g - b R(X),   x = g (X + b R),   b = beta or 0:
// all gamma (X + beta R), contraction gamma X (the picture as a measurement
// at one instant finds it), light_time X + beta R (its rest length seen
// through the light's delay), none X. Straight at it the motion is along
// the line of sight and the picture is flat: the contraction has nothing to
// shorten, so light_time is all, and contraction, without the light's delay,
// shows the picture where it is at that instant, in its plane at its
// distance: the picture at rest, as none. Those two take the map of speed 0.
#ifndef LUMIRUN_RENDER_SMOOTH_INVERSE_MAP_H
#define LUMIRUN_RENDER_SMOOTH_INVERSE_MAP_H

#include <cstdint>

#include "render/fast/kernels.h"
#include "render/observer.h"
#include "render/position_box.h"

// From left to right: the source x seen at apparent x on row y,
// x = g (X + b R), R = sqrt((X + ox)^2 + (y - oy)^2 + oz^2) (all: gamma
// (X + beta R)). Increasing in X.
double source_x(const view_parameters& view, double apparent, double y);

// From top to bottom: the same with the roles of x and y exchanged.
double source_y(const view_parameters& view, double apparent, double x);

// Both as the vector kernels take them (render/fast/kernels.h): the map
// along rows (along_rows) or columns, with in observer_across the
// observer's coordinate across them; on row y, across_squared is (y -
// observer_across)^2. Gives source_x's (source_y's) bits.
line_map map_along_line(const view_parameters& view, bool along_rows, double* observer_across);

// Straight at it, everything is radial about the observer. For an apparent
// point (X, Y) (drawn at 20 times the scale), with d = (X / 20 - ox,
// Y / 20 - oy) and q = |d|^2 / oz^2, the source point is o + d k(q),
//     k(q) = gamma^2 (1 + beta sqrt(1 + q)) / (1 - q beta^2 gamma^2)
// (= 1 / (1 - beta sqrt(1 + q)); 1 without the light's delay). Where the
// denominator is not positive no source point is seen: false.
bool source_point_radial(const view_parameters& view, double apparent_x, double apparent_y, double* x, double* y);

// How far the source moves, in source pixels, per source unit of apparent
// distance from the observer's point, at apparent distance rho (source
// units): `along` the radius, d(rho k)/d(rho), and `across` it, k. Both grow
// with rho; `growth` is how fast along does, d(along)/d(rho) / along (per
// source unit), which tells how far the map is from its derivatives across
// a footprint. false beyond the denominator's limit.
struct radial_scales {
    double along;
    double across;
    double growth;
};
bool radial_scales_at(const view_parameters& view, double rho, radial_scales* scales);

// Both at once for one apparent point: the source point (the same bits as
// source_point_radial's), the scales there, and the unit direction of the
// radius ((1, 0) at the observer's point).
struct radial_sample {
    double x;
    double y;
    radial_scales scales;
    double cos;
    double sin;
};
bool radial_sample_at(const view_parameters& view, double apparent_x, double apparent_y, radial_sample* sample);

// The bounding box of the image of the whole source rectangle [0, W] x
// [0, H]. The map is monotone along every row, column and radius, so its
// extremes lie among the corners and the observer's projections onto the
// sides. false, and the box untouched, when a candidate is not finite.
bool smooth_canvas(const view_parameters& view, fly_by_direction direction, std::int32_t width,
                   std::int32_t height, position_box* box);

#endif

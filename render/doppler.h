// The Doppler factor of the light that reaches the observer from a rendered
// pixel, and the pass that gives a rendered picture the colour and
// brightness that light has.
//
// The observer is at rest and the picture moves at beta; the light of a
// point leaves from its retarded position E, which is exactly where the
// renderer draws it. With theta the angle, in the observer's frame, between
// the picture's velocity and the direction from E to the observer,
//     D = 1 / (gamma (1 - beta cos theta))      (Einstein 1905),
// above 1 for light from the approaching side, below 1 from the receding
// side, 1 / gamma at right angles.
#ifndef LUMIRUN_RENDER_DOPPLER_H
#define LUMIRUN_RENDER_DOPPLER_H

#include "image/raster.h"
#include "render/observer.h"
#include "render/position_box.h"
#include "render/spectral_colour.h"

// cos theta for the pixel drawn at (x, y) in the observer's coordinates (its
// raster position plus the box's minimum). NaN for a direction outside the
// three.
double doppler_cosine(const view_parameters& view, fly_by_direction direction, double x, double y);

double doppler_factor(const motion_parameters& motion, double cosine);

// The factors at cos theta = -1 and 1: every pixel's lies between.
void doppler_range(const motion_parameters& motion, double* d_min, double* d_max);

// Replaces every pixel of a rendered picture by its colour seen with its own
// factor; box and view are the render's. At speed 0, with no exposure and
// clipping, every byte stays as it was. False, and the picture unchanged,
// for a direction outside the three or a colour model that cannot be built.
bool apply_doppler(raster* picture, const position_box& box, const view_parameters& view,
                   fly_by_direction direction, const colour_shift_settings& colour);

// The two halves of apply_doppler, for a caller that keeps the table while
// the motion and the colour settings stay (a movie whose observer moves):
// the table for this motion, and the pass with it.
bool make_doppler_table(const motion_parameters& motion, const colour_shift_settings& colour,
                        colour_shift_table* table);
bool apply_doppler_table(raster* picture, const position_box& box, const view_parameters& view,
                         fly_by_direction direction, const colour_shift_table& table);

#endif

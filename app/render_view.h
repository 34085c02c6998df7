// The viewer's render: rendered_image from source_image, with the observer
// the user placed, the steps kept from render to render and the progress as
// status texts ("Pass 1/2: %d%% done.", "Pass 2/2: %d%% done.",
// "Relativistic Image Complete.").
#ifndef LUMIRUN_APP_RENDER_VIEW_H
#define LUMIRUN_APP_RENDER_VIEW_H

#include <cstdint>

#include "render/renderer.h"

// The observer's depth is set by every render from the direction.
extern observer_position observer;

// Sample spacing of the last sampling render: a quality outside the four
// levels and smooth_quality renders with these again (0.0 before any
// render: nothing is rendered).
extern double step_x;
extern double step_y;

// Observer to (0, 100); observer_z keeps its value.
void reset_observer();
void set_observer(std::int32_t x, std::int32_t y);

// Sets observer_z from the direction (-0.01 for 0 and 1, -5.0 for 2), then
// renders at speed_fraction * speed_of_light.
std::int32_t render_relativistic(fly_by_direction direction, double speed_fraction, quality_level quality);

// The render itself, with the observer as it is: smooth_quality renders with
// the smooth renderer, as lumirun-render --quality smooth does (its progress
// as pass 1 at 0 %, then pass 2). Returns 1 when the
// rendered raster cannot be obtained ("Error: Not enough memory to render
// the new image!" in a warning box; no rendered raster is left), otherwise
// the reply to the last status text. An unknown direction, or an unknown
// quality before any steps were set, renders nothing and returns 1.
std::int32_t render_at_speed(fly_by_direction direction, double speed, quality_level quality);

#endif

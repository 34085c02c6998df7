// The two-pass relativistic renderer: source_image -> rendered_image.
//
// Pass 1 evaluates the apparent position of every sample and keeps only their
// bounding box; the rendered raster is sized to that box and cleared to
// black; pass 2 evaluates every position again and copies the source pixel
// under each sample there, the last write winning. Progress goes to
// set_status_text; an unobtainable raster to a warning box.
//
// The passes run on every core with the widest vectors the processor has
// (render/render_tuning.h), and give byte for byte what one thread visiting
// the samples column by column, row by row, gives. The texts are sent from
// the calling thread alone, in that order.
#ifndef LUMIRUN_RENDER_RENDERER_H
#define LUMIRUN_RENDER_RENDERER_H

#include <cstdint>

// Sample spacing in source pixels, set from the quality by each render:
// 1 -> 1.0, 2 -> 0.2, 3 -> 0.1, 4 -> 0.05. Another quality keeps them.
extern double step_x;
extern double step_y;

// Sets observer_z from the direction (-0.01 for 0 and 1, -5.0 for 2), then
// renders at speed_fraction * speed_of_light.
std::int32_t render_relativistic(std::int32_t direction, double speed_fraction, std::int32_t quality);

// The render itself. Returns 1 when the rendered raster cannot be obtained,
// otherwise the reply to the last status text. A direction outside 0..2, or a
// quality outside 1..4 before any step was ever set, renders nothing and
// returns 1. Samples whose position is not finite are skipped in both
// passes. A source raster whose pixels are absent (but whose size is not 0)
// gives a black raster of the computed size; no missing pixel is read. A
// picture so large that even the per-row and per-column tables cannot be
// had counts as an unobtainable raster.
std::int32_t render_at_speed(std::int32_t direction, double speed, std::int32_t quality);

#endif

// Pass 2 on worker threads, each pixel written by one worker alone.
// Progress is told for every column, in column order, from the calling
// thread only.
#ifndef LUMIRUN_RENDER_FAST_DRAW_PASS_H
#define LUMIRUN_RENDER_FAST_DRAW_PASS_H

#include "render/fast/pass_setup.h"
#include "render/render_passes.h"

// Copies the source pixel under every sample to its position less (min_x,
// min_y), giving every pixel the value the plain loop order (columns outer,
// rows inner, the last write winning) gives it. rows_in_order is what pass 1
// returned.
void draw_positions(const pass_setup& setup, const draw_target& target, bool rows_in_order);

#endif

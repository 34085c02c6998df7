// Pass 1 on worker threads: pieces of columns go to whichever worker is
// free. Progress is told for every column, in column order, from the calling
// thread only.
#ifndef LUMIRUN_RENDER_FAST_MEASURE_PASS_H
#define LUMIRUN_RENDER_FAST_MEASURE_PASS_H

#include "render/fast/pass_setup.h"
#include "render/position_box.h"

// Adds every sample's position to box (the bounding box, strict
// comparisons, non-finite positions left out). Equal to adding them one by
// one in the plain order, but for the sign of a zero bound, which changes
// no difference the renderer takes of it (x - 0.0 and x - -0.0 agree but in
// the sign of a zero, and truncation drops that). Returns whether in every
// column every Y is finite and none is less than the one above it.
bool measure_positions(const pass_setup& setup, position_box* box);

#endif

// The renderer's two passes over the sample grid, spread over worker threads.
// Progress texts are sent through `report` for every column, in column order,
// from the calling thread only.
#ifndef LUMIRUN_RENDER_PASSES_H
#define LUMIRUN_RENDER_PASSES_H

#include <cstdint>

#include "render/grid_view.h"
#include "render/kernels.h"
#include "render/parallel.h"

struct pass_setup {
    const grid_view* grid;
    const kernel_table* kernels;
    int threads;
    column_progress::reporter report;
};

// Pass 1: adds every sample's position to box (the bounding box, strict
// comparisons, non-finite positions left out). Equal to adding them one by
// one in the plain order, but for the sign of a zero bound, which changes
// no difference the renderer takes of it (x - 0.0 and x - -0.0 agree but in
// the sign of a zero, and truncation drops that). Returns whether in every
// column every Y is finite and none is less than the one above it.
bool measure_positions(const pass_setup& setup, position_box* box);

// Where pass 2 copies to and from.
struct draw_target {
    const unsigned char* source;  // never null
    std::int32_t source_width;
    unsigned char* destination;
    std::int32_t destination_width;
    double min_x;
    double min_y;
    std::int32_t destination_height;
};

// Pass 2: copies the source pixel under every sample to its position less
// (min_x, min_y), giving every pixel the value the plain loop order (columns
// outer, rows inner, the last write winning) gives it. rows_in_order is
// what pass 1 returned.
void draw_positions(const pass_setup& setup, const draw_target& target, bool rows_in_order);

#endif

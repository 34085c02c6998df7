// The bounding box of the apparent positions, as pass 1 finds it.
#ifndef LUMIRUN_RENDER_POSITION_BOX_H
#define LUMIRUN_RENDER_POSITION_BOX_H

// +inf / -inf while no finite position is in.
struct position_box {
    double min_x;
    double max_x;
    double min_y;
    double max_y;
};

position_box empty_box();

// Adds one position with the renderer's strict comparisons; a position with
// a coordinate that is not finite is left out.
void include_position(position_box* box, double x, double y);

// Adds another box as if its positions came after those already in.
void merge_box(position_box* box, const position_box& later);

#endif

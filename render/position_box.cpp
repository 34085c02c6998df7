#include "render/position_box.h"

position_box empty_box()
{
    const double inf = __builtin_inf();
    return position_box{inf, -inf, inf, -inf};
}

void include_position(position_box* box, double x, double y)
{
    const double inf = __builtin_inf();
    if (!(x > -inf && x < inf && y > -inf && y < inf))
        return;
    merge_box(box, position_box{x, x, y, y});
}

// The box's sentinels never win a strict comparison against a finite value,
// so an empty box changes nothing and the first finite value is taken.
void merge_box(position_box* box, const position_box& later)
{
    if (later.min_x < box->min_x)
        box->min_x = later.min_x;
    if (later.max_x > box->max_x)
        box->max_x = later.max_x;
    if (later.min_y < box->min_y)
        box->min_y = later.min_y;
    if (later.max_y > box->max_y)
        box->max_y = later.max_y;
}

// The page's readouts: the numbers of the physics behind a picture, from the
// core's own functions (render/observer.h, render/doppler.h, the smooth
// renderer's inverse map), so that the page computes none of them itself.
#ifndef LUMIRUN_WEB_WEB_READOUT_H
#define LUMIRUN_WEB_WEB_READOUT_H

#include <cstdint>

#include "render/observer.h"
#include "render/position_box.h"

// A view: beta, gamma, and the least and the greatest Doppler factor of the
// light that reaches the observer from the picture (width by height source
// pixels) as seen. The range is taken along the picture's edges and the
// lines through the observer's point, where the extremes of a factor that
// depends on the apparent position alone lie (both NaN when no point of the
// picture is seen).
struct view_readout {
    double beta = 0.0;
    double gamma = 1.0;
    double d_min = 0.0;
    double d_max = 0.0;
};
view_readout readout_for_view(const view_parameters& view, fly_by_direction direction, std::int32_t width,
                              std::int32_t height);

// One pixel of a rendered picture whose box is box, its centre at (x, y)
// (its column and row plus 0.5): whether some point of the picture (width
// by height source pixels) is seen there, and if so that point (source
// pixels), the Doppler factor of its light, and how far that light has come
// since it left (source pixels of light-travel, the distance from where the
// point was when it set off to the observer).
struct pixel_readout {
    bool seen = false;
    double d = 0.0;
    double x = 0.0;
    double y = 0.0;
    double light_distance = 0.0;
};
pixel_readout readout_at(const view_parameters& view, fly_by_direction direction, const position_box& box,
                         std::int32_t width, std::int32_t height, double x, double y);

#endif

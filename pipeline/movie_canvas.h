// One canvas for every frame of a movie, in the observer's coordinates: its
// top-left corner is the least corner of all frames' boxes, and each frame
// sits where its own box's corner falls, so that a point of the scene that
// stays put stays put on screen.
#ifndef LUMIRUN_CLI_MOVIE_CANVAS_H
#define LUMIRUN_CLI_MOVIE_CANVAS_H

#include <cstdint>
#include <vector>

#include "image/raster.h"
#include "render/position_box.h"

// A frame as pass 1 measures it: its box and its rendered picture's size
// (image_width_of its raster).
struct frame_extent {
    position_box box;
    std::int32_t width;
    std::int32_t height;
};

struct canvas_layout {
    bool ok = false;  // false when the canvas would pass 32 bits
    double origin_x = 0.0;
    double origin_y = 0.0;
    // Wide and high enough for every frame at its place, the width a
    // multiple of 4 as every raster's; image_width, the farthest frame's far
    // side.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t image_width = 0;
};

struct canvas_place {
    std::int32_t x;
    std::int32_t y;
};

// The union of the frames' boxes and the canvas that holds them all.
canvas_layout lay_out_canvas(const std::vector<frame_extent>& frames);

// Where a frame with this box goes: its corner's distance from the canvas's
// origin, rounded to the nearest pixel.
canvas_place place_on_canvas(const canvas_layout& layout, const position_box& box);

// Clears canvas to black and copies frame (its image_width_of columns) to
// place; false (canvas black) when the frame does not fit there.
bool draw_on_canvas(const raster& frame, canvas_place place, raster* canvas);

#endif

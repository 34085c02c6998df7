// One canvas for every frame of a movie.
//
// Without a size asked for, the canvas is as large as the largest frame
// (each side on its own). Each frame keeps, on each axis, its place in the
// union of the frames' boxes in the observer's coordinates, that offset
// scaled to the room the smaller canvas leaves it: where the union is no
// larger than the largest frame (an observer moving over a picture whose
// view keeps its size) a point of the scene that stays put stays put on
// screen, as in the union itself; where it is larger (a speed sweep, whose
// picture swings from one side of the observer to the other) no frame is cut
// and none sits in a canvas mostly black.
//
// With a size (movie_framing), the canvas is that size: fit scales the
// canvas above by one factor for the whole movie to the largest that fits
// and centres it, black bars on two sides; fill scales by one factor, the
// least at which every frame covers the size, and crops each frame about
// the observer's point (centred on it, moved just enough to cover).
#ifndef LUMIRUN_PIPELINE_MOVIE_CANVAS_H
#define LUMIRUN_PIPELINE_MOVIE_CANVAS_H

#include <cstdint>
#include <vector>

#include "image/raster.h"
#include "render/position_box.h"

// A frame as pass 1 measures it: its box, its rendered picture's size
// (image_width_of its raster), and where the observer's own point is seen,
// in the box's coordinates.
struct frame_extent {
    position_box box;
    std::int32_t width;
    std::int32_t height;
    double observer_x = 0.0;
    double observer_y = 0.0;
};

// A movie's size: width and height 0 for the frames' own.
struct movie_framing {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool fill = false;  // otherwise fit
};

struct canvas_layout {
    bool ok = false;  // false when the canvas would pass 32 bits
    // The union of the frames' boxes: its least corner and its size, the
    // size from each frame's rounded place to its far side.
    double origin_x = 0.0;
    double origin_y = 0.0;
    double union_width = 0.0;
    double union_height = 0.0;
    // The largest frame's sides, unscaled.
    std::int32_t frames_width = 0;
    std::int32_t frames_height = 0;
    movie_framing framing;
    double scale = 1.0;
    // The canvas: image_width its picture's columns, width those rounded
    // up to a multiple of 4 as every raster's.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t image_width = 0;
};

// Where a frame goes: its pixel (0, 0)'s corner on the canvas, each of its
// pixels scale canvas pixels wide. Whole numbers when scale is 1.
struct canvas_place {
    double x;
    double y;
    double scale;
};

// The canvas that holds frames as framing asks.
canvas_layout lay_out_canvas(const std::vector<frame_extent>& frames, const movie_framing& framing = {});

// Where a frame with this extent goes.
canvas_place place_on_canvas(const canvas_layout& layout, const frame_extent& frame);

// Clears canvas to black and draws frame (its image_width_of columns) at
// place: copied at scale 1, otherwise resampled (the mean of the frame's
// pixels under each canvas pixel when shrinking, bilinear when enlarging);
// what falls outside the canvas is cut. False (canvas black) when an
// unscaled frame does not fit there.
bool draw_on_canvas(const raster& frame, canvas_place place, raster* canvas);

#endif

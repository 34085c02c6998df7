// --doppler-map: each pixel's Doppler factor D shown in false colour instead
// of the picture's colours, and a legend of D along the bottom.
//
// The scale is logarithmic and symmetric in ln D over a fixed range, D from
// 1/8 to 8 (so that pictures and every frame of a movie share it): grey at
// D = 1, bluer above (light from the approaching side), redder below, each
// byte moving in a straight line from grey to the end colour as |ln D|
// goes from 0 to ln 8, and held at the end colour past it.
#ifndef LUMIRUN_PIPELINE_DOPPLER_MAP_H
#define LUMIRUN_PIPELINE_DOPPLER_MAP_H

#include <array>
#include <cstdint>

#include "image/raster.h"
#include "render/doppler.h"

// The largest D the scale tells apart; its reciprocal, the least.
constexpr double doppler_map_limit = 8.0;

// The colour of D as blue, green, red bytes: grey (128, 128, 128) at 1,
// red (255, 32, 0) at 1/8 and below, blue (0, 64, 255) at 8 and above
// (written red, green, blue); black for NaN.
std::array<unsigned char, 3> doppler_map_colour(double d);

// Replaces every pixel of a rendered picture by the colour of its D, the
// same D the colour pass takes (render/doppler.h); pixels the picture does
// not reach stay black, as do its own black ones, which carry no light.
// False, and the picture unchanged, for a direction outside the three.
bool map_doppler(raster* picture, const doppler_source& source, const view_parameters& view,
                 fly_by_direction direction);

// The legend's height in units, and the least picture it is drawn on.
constexpr std::int32_t doppler_legend_height = 16;
constexpr std::int32_t doppler_legend_least_width = 96;

// The legend's unit in pixels: 1, and 1 more for each 480 columns of the
// picture, so that it stays legible on a large one.
std::int32_t doppler_legend_unit(const raster& picture);

// Draws the legend over the bottom doppler_legend_height units of the
// picture's own columns (image_width_of): a bar of the scale from 1/8 at
// the left to 8 at the right (8 units high, a colour a column), a white
// tick under each power of 2 and its value (1/8, 1/4, 1/2, 1, 2, 4, 8) in
// a built-in digit font 3 by 5 units, on black. Nothing is drawn on a
// picture narrower than doppler_legend_least_width or lower than twice the
// legend.
void draw_doppler_legend(raster* picture);

#endif

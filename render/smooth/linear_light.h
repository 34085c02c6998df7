// Pictures as linear light, and back to sRGB bytes.
//
// The smooth renderer averages light, not encoded bytes: a 50 % mix of black
// and white pixels is as bright as the two side by side, which the byte
// value 128 is not. Decoding goes through a 256-entry table and encoding
// searches a table of midpoints, so no power function runs per pixel and
// every platform gives the same values.
#ifndef LUMIRUN_RENDER_SMOOTH_LINEAR_LIGHT_H
#define LUMIRUN_RENDER_SMOOTH_LINEAR_LIGHT_H

#include <array>
#include <cstdint>
#include <vector>

#include "image/raster.h"

// Three floats a pixel in the raster's channel order (blue, green, red),
// rows top to bottom, width * height * 3 values.
struct linear_picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<float> values;
};

struct srgb_light_tables {
    std::array<float, 256> decode;  // byte -> linear
    std::array<float, 255> middle;  // the linear values half-way (in sRGB) between bytes
    // The byte at the start of each of 4096 equal slices of [0, 1]; a slice
    // holds at most one midpoint, so one comparison ends the search.
    std::array<unsigned char, 4096> start;
};

// Built once, on first use.
const srgb_light_tables& srgb_light();

// The nearest byte in sRGB to a linear value clipped to [0, 1] (NaN: 0). A
// decoded byte comes back as itself.
inline unsigned char encode_light(const srgb_light_tables& t, float linear)
{
    if (!(linear > 0.0f))
        return 0;
    if (linear >= 1.0f)
        return 255;
    unsigned char byte = t.start[static_cast<std::size_t>(linear * 4096.0f)];
    if (byte < 255 && t.middle[byte] <= linear)
        ++byte;
    return byte;
}

// The picture's bytes decoded, its alignment columns left out (width
// image_width_of(picture)); values left empty when its pixels are absent.
linear_picture decode_picture(const raster& picture);

// The values encoded into a raster whose width is rounded up to a multiple
// of 4 as every raster's, image_width the picture's; pixels absent when
// the memory cannot be had.
raster encode_picture(const linear_picture& picture);

#endif

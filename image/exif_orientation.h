// The orientation a camera records in a photo's Exif data, and the picture
// turned the way it was meant to be seen.
#ifndef LUMIRUN_IMAGE_EXIF_ORIENTATION_H
#define LUMIRUN_IMAGE_EXIF_ORIENTATION_H

#include <cstddef>
#include <cstdint>

#include "image/raster.h"

// The Orientation tag (1 to 8) of an Exif block as a JPEG's APP1 segment
// holds it (starting "Exif\0\0", then the TIFF header); 1 when the block
// has none, or a value out of range, or cannot be read.
int exif_orientation(const unsigned char* data, std::size_t size);

// picture as it is to be seen for the given orientation: 2 mirrored, 3
// turned half round, 4 flipped, 5 transposed, 6 turned a quarter clockwise,
// 7 transposed the other way, 8 turned a quarter anticlockwise; 1 (or any
// other value) as it is. Only the first image_width columns are the
// picture (the rest are black alignment columns); the result's width is
// rounded up to a multiple of 4 again, its own picture width in
// *turned_width. Absent pixels when the memory cannot be had.
raster orient_picture(const raster& picture, std::int32_t image_width, int orientation,
                      std::int32_t* turned_width);

#endif

// The viewer's two pictures: the one opened and the one rendered from it.
// This module owns them for the whole run; the others use pixels, width and
// height for the length of one call.
#ifndef LUMIRUN_APP_PICTURE_STORE_H
#define LUMIRUN_APP_PICTURE_STORE_H

#include <cstdint>

#include "image/raster.h"

extern raster source_image;
extern raster rendered_image;

// Releases both buffers; widths, heights and rows_filled keep their values
// (a render after a cancelled open still sees the old size).
void free_images();

std::int32_t source_width();
std::int32_t source_height();
std::int32_t rendered_width();
std::int32_t rendered_height();

#endif

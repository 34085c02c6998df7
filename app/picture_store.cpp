#include "app/picture_store.h"

raster source_image;
raster rendered_image;

void free_images()
{
    source_image.pixels.reset();
    rendered_image.pixels.reset();
}

std::int32_t source_width() { return source_image.width; }
std::int32_t source_height() { return source_image.height; }
std::int32_t rendered_width() { return rendered_image.width; }
std::int32_t rendered_height() { return rendered_image.height; }

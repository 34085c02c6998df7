#include "image/raster.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

raster source_image;
raster rendered_image;

bool raster_byte_count(std::int64_t width, std::int64_t height, std::size_t* bytes)
{
    if (width < 0 || height < 0)
        return false;
    // No machine the program runs on has this much memory, and some
    // allocators (Wine's among them) reserve bookkeeping for a request before
    // refusing it: an impossible size is refused here at once. The ceiling
    // is also far below PTRDIFF_MAX, so every offset stays representable.
    const std::uint64_t pointer_limit = static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
    const std::uint64_t limit = max_raster_bytes < pointer_limit ? max_raster_bytes : pointer_limit;
    const std::uint64_t w = static_cast<std::uint64_t>(width);
    const std::uint64_t h = static_cast<std::uint64_t>(height);
    if (w != 0 && h > limit / 3 / w)
        return false;
    const std::uint64_t count = w * h * 3;
    if (count > limit)
        return false;
    *bytes = static_cast<std::size_t>(count);
    return true;
}

bool round_width_to_4(std::int32_t width, std::int32_t* rounded)
{
    std::int64_t w = width;
    while (w % 4 != 0)
        ++w;
    if (w > std::numeric_limits<std::int32_t>::max())
        return false;
    *rounded = static_cast<std::int32_t>(w);
    return true;
}

void raster_buffer_free::operator()(unsigned char* p) const
{
    std::free(p);
}

// An empty raster still gets a (one-byte) buffer, so that "present" and
// "absent" stay distinct for 0-sized pictures.
static raster_buffer allocate_cleared(std::int32_t width, std::int32_t height)
{
    std::size_t bytes = 0;
    if (!raster_byte_count(width, height, &bytes))
        return nullptr;
    return raster_buffer(static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
}

bool allocate_source_image(std::int32_t width, std::int32_t height)
{
    source_image.pixels = allocate_cleared(width, height);
    if (!source_image.pixels) {
        std::printf("Image of size %d by %d is too large.\n", static_cast<int>(width), static_cast<int>(height));
        std::fflush(stdout);
        return false;
    }
    source_image.rows_filled = 0;
    source_image.width = width;
    source_image.height = height;
    return true;
}

void append_source_row(const unsigned char* row, std::int32_t byte_count)
{
    const std::size_t offset = static_cast<std::size_t>(source_image.rows_filled)
                               * static_cast<std::size_t>(source_image.width) * 3;
    std::memcpy(source_image.pixels.get() + offset, row, static_cast<std::size_t>(byte_count));
    source_image.rows_filled += 1;
}

void swap_red_blue(unsigned char* pixels, std::int32_t width, std::int32_t height)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    unsigned char* p = pixels;
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const unsigned char blue = p[0];
        p[0] = p[2];
        p[2] = blue;
    }
}

void free_images()
{
    source_image.pixels.reset();
    rendered_image.pixels.reset();
}

bool replace_rendered_image(std::int32_t width, std::int32_t height)
{
    rendered_image.width = width;
    rendered_image.height = height;
    // Release first: the old and the new picture need not fit side by side.
    rendered_image.pixels.reset();
    rendered_image.pixels = allocate_cleared(width, height);
    return rendered_image.pixels != nullptr;
}

void release_rendered_image()
{
    rendered_image.pixels.reset();
}

std::int32_t source_width() { return source_image.width; }
std::int32_t source_height() { return source_image.height; }
std::int32_t rendered_width() { return rendered_image.width; }
std::int32_t rendered_height() { return rendered_image.height; }

#include "image/raster.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

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
raster allocate_raster(std::int32_t width, std::int32_t height, std::uint64_t memory_limit)
{
    raster r;
    r.width = width;
    r.height = height;
    std::size_t bytes = 0;
    if (!raster_byte_count(width, height, &bytes))
        return r;
    const std::uint64_t limit = memory_limit != 0 ? memory_limit : memory_available();
    if (limit != 0 && bytes > limit)
        return r;
    r.pixels.reset(static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
    return r;
}

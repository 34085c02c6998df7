// A picture in memory.
//
// A raster is 3 bytes per pixel, blue, green, red, rows from top to bottom
// with no gap between them. Pixel (x, y) starts at byte (y * width + x) * 3.
// While pixels are held, width is a multiple of 4, so a row (3 * width bytes)
// is a multiple of 4 bytes and the whole buffer is, unchanged, the pixel
// array of a top-down 24-bit device-independent bitmap.
//
// A picture whose own width is not a multiple of 4 sits in the first
// image_width columns, the columns past it black. The viewer's exact
// renderer draws those columns as part of the picture, as the viewer always
// has; the smooth renderer and the picture files it feeds do not.
#ifndef LUMIRUN_IMAGE_RASTER_H
#define LUMIRUN_IMAGE_RASTER_H

#include <cstddef>
#include <cstdint>
#include <memory>

// Buffers come from calloc: a large cleared raster costs no time until its
// pages are written.
struct raster_buffer_free {
    void operator()(unsigned char* p) const;
};
using raster_buffer = std::unique_ptr<unsigned char[], raster_buffer_free>;

struct raster {
    raster_buffer pixels;  // absent when null
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t rows_filled = 0;  // rows a JPEG read has filled
    // The picture's own width when narrower than width; 0 (as a raster is
    // made): all width columns are the picture.
    std::int32_t image_width = 0;
};

// The columns that are the picture: image_width when it is set and less
// than width, else width.
inline std::int32_t image_width_of(const raster& r)
{
    return r.image_width > 0 && r.image_width < r.width ? r.image_width : r.width;
}

// The largest raster that will be asked of the allocator.
constexpr std::uint64_t max_raster_bytes = std::uint64_t{1} << 38;  // 256 GiB

// width * height * 3 as a size_t, or false when the count is negative, does
// not fit in a size_t, or passes max_raster_bytes.
bool raster_byte_count(std::int64_t width, std::int64_t height, std::size_t* bytes);

// Width rule shared by the reader and the renderer: the next multiple of 4
// (1 -> 4, 4 -> 4, 641 -> 644). False when the result would pass INT32_MAX.
bool round_width_to_4(std::int32_t width, std::int32_t* rounded);

// Bytes the machine can give now: physical memory available plus free swap
// on Linux, the available commit on Windows; 0 when it cannot be told.
std::uint64_t memory_available();

// A raster of the given size with every byte 0 (black), so that bytes nobody
// writes (alignment columns, rows a failed read did not reach, pixels no
// sample reaches) are black, not whatever memory held. When the memory
// cannot be had, the pixels are absent; the size is kept either way.
// memory_limit bounds the bytes (0: memory_available(), when it can be
// told): memory is refused before it is asked for, as the system would
// otherwise grant it lazily and end the process when it is written.
raster allocate_raster(std::int32_t width, std::int32_t height, std::uint64_t memory_limit = 0);

#endif

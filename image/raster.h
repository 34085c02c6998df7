// The program's two pictures in memory.
//
// A raster is 3 bytes per pixel, blue, green, red at rest, rows from top to
// bottom with no gap between them. Pixel (x, y) starts at byte
// (y * width + x) * 3. While pixels are held, width is a multiple of 4, so a
// row (3 * width bytes) is a multiple of 4 bytes and the whole buffer is,
// unchanged, the pixel array of a top-down 24-bit device-independent bitmap.
//
// The store owns both buffers and is the only code that allocates or releases
// them. Other modules use pixels/width/height for the length of one call.
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
    std::int32_t rows_filled = 0;  // source_image only: next row to append
};

extern raster source_image;
extern raster rendered_image;

// The largest raster the store will try to allocate.
constexpr std::uint64_t max_raster_bytes = std::uint64_t{1} << 38;  // 256 GiB

// width * height * 3 as a size_t, or false when the count is negative, does
// not fit in a size_t, or passes max_raster_bytes.
bool raster_byte_count(std::int64_t width, std::int64_t height, std::size_t* bytes);

// Width rule shared by the reader and the renderer: the next multiple of 4
// (1 -> 4, 4 -> 4, 641 -> 644). False when the result would pass INT32_MAX.
bool round_width_to_4(std::int32_t width, std::int32_t* rounded);

// Obtains width * height * 3 bytes for the source raster, cleared to zero so
// that bytes the reader never writes (alignment columns, rows a failed read
// did not reach) are black, not whatever memory held. On failure writes
// "Image of size %d by %d is too large.\n" to standard output, leaves the
// raster absent and returns false. Only while the source raster is absent.
bool allocate_source_image(std::int32_t width, std::int32_t height);

// Copies byte_count bytes to the start of row rows_filled, then advances
// rows_filled. The caller keeps byte_count <= 3 * width and appends at most
// height rows.
void append_source_row(const unsigned char* row, std::int32_t byte_count);

// Exchanges byte 0 and byte 2 of each of the width * height pixels in place.
void swap_red_blue(unsigned char* pixels, std::int32_t width, std::int32_t height);

// Releases both buffers; widths, heights and rows_filled keep their values.
void free_images();

// Replaces the rendered raster by a cleared (black) one of the given size.
// On failure the raster is absent, keeps the new width and height, and the
// result is false; the caller reports it.
bool replace_rendered_image(std::int32_t width, std::int32_t height);

// Releases the rendered raster alone, for a render whose size cannot even be
// represented; its width and height keep their values.
void release_rendered_image();

std::int32_t source_width();
std::int32_t source_height();
std::int32_t rendered_width();
std::int32_t rendered_height();

#endif

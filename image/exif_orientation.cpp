#include "image/exif_orientation.h"

#include <cstring>

namespace {

// Reads the TIFF structure's integers in its own byte order, bounded by
// the block.
struct tiff_reader {
    const unsigned char* data;
    std::size_t size;
    bool big_endian;

    bool u16(std::size_t at, unsigned* value) const
    {
        if (at > size || size - at < 2)
            return false;
        *value = big_endian ? (data[at] << 8) | data[at + 1] : (data[at + 1] << 8) | data[at];
        return true;
    }
    bool u32(std::size_t at, std::uint32_t* value) const
    {
        unsigned a = 0;
        unsigned b = 0;
        if (!u16(at, &a) || !u16(at + 2, &b))
            return false;
        *value = big_endian ? (std::uint32_t{a} << 16) | b : (std::uint32_t{b} << 16) | a;
        return true;
    }
};

// Where stored pixel (x, y) of a w by h picture goes for the orientation.
void place(int orientation, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t* tx,
           std::int32_t* ty)
{
    switch (orientation) {
    case 2: *tx = w - 1 - x; *ty = y; break;
    case 3: *tx = w - 1 - x; *ty = h - 1 - y; break;
    case 4: *tx = x; *ty = h - 1 - y; break;
    case 5: *tx = y; *ty = x; break;
    case 6: *tx = h - 1 - y; *ty = x; break;
    case 7: *tx = h - 1 - y; *ty = w - 1 - x; break;
    case 8: *tx = y; *ty = w - 1 - x; break;
    default: *tx = x; *ty = y; break;
    }
}

}  // namespace

int exif_orientation(const unsigned char* data, std::size_t size)
{
    constexpr std::size_t header = 6;  // "Exif\0\0"
    if (size < header + 8 || std::memcmp(data, "Exif\0\0", header) != 0)
        return 1;
    const tiff_reader tiff{data + header, size - header, data[header] == 'M'};
    unsigned magic = 0;
    std::uint32_t ifd = 0;
    unsigned entries = 0;
    if ((data[header] != 'M' && data[header] != 'I') || data[header + 1] != data[header] || !tiff.u16(2, &magic)
        || magic != 42 || !tiff.u32(4, &ifd) || !tiff.u16(ifd, &entries))
        return 1;
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = std::size_t{ifd} + 2 + 12 * std::size_t{i};
        unsigned tag = 0;
        unsigned type = 0;
        unsigned value = 0;
        if (!tiff.u16(entry, &tag) || !tiff.u16(entry + 2, &type))
            return 1;
        if (tag != 0x0112)
            continue;
        // SHORT, count 1: the value sits in the entry's first two bytes.
        if (type != 3 || !tiff.u16(entry + 8, &value) || value < 1 || value > 8)
            return 1;
        return static_cast<int>(value);
    }
    return 1;
}

raster orient_picture(const raster& picture, std::int32_t image_width, int orientation, std::int32_t* turned_width)
{
    const std::int32_t w = image_width;
    const std::int32_t h = picture.height;
    const bool swapped = orientation >= 5 && orientation <= 8;
    *turned_width = swapped ? h : w;
    std::int32_t rounded = 0;
    if (!picture.pixels || !round_width_to_4(*turned_width, &rounded)) {
        raster absent;
        absent.width = *turned_width;
        absent.height = swapped ? w : h;
        return absent;
    }
    raster turned = allocate_raster(rounded, swapped ? w : h);
    if (!turned.pixels)
        return turned;
    turned.rows_filled = turned.height;
    for (std::int32_t y = 0; y < h; ++y) {
        const unsigned char* row = picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3;
        for (std::int32_t x = 0; x < w; ++x) {
            std::int32_t tx = 0;
            std::int32_t ty = 0;
            place(orientation, x, y, w, h, &tx, &ty);
            std::memcpy(turned.pixels.get() + (static_cast<std::size_t>(ty) * rounded + tx) * 3, row + 3 * x, 3);
        }
    }
    return turned;
}

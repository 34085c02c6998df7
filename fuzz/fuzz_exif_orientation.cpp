// libFuzzer target for the Exif parser: any bytes as the Exif block a JPEG's
// APP1 segment or a PNG's eXIf chunk gives. The orientation it finds must
// be 1 to 8, and other than 1 only when the block holds an Orientation
// entry with that value; a small picture turned that way must keep every
// pixel once and its alignment columns black.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "image/exif_orientation.h"

namespace {

constexpr std::int32_t stored_width = 7;  // in a raster 8 wide
constexpr std::int32_t stored_height = 3;

// Pixel (x, y) holds blue x + 1, green y + 1, red 77: no pixel is black.
raster numbered_picture()
{
    raster picture = allocate_raster(8, stored_height);
    require(picture.pixels != nullptr);
    picture.rows_filled = stored_height;
    for (std::int32_t y = 0; y < stored_height; ++y)
        for (std::int32_t x = 0; x < stored_width; ++x) {
            unsigned char* p = picture.pixels.get() + (static_cast<std::size_t>(y) * 8 + x) * 3;
            p[0] = static_cast<unsigned char>(x + 1);
            p[1] = static_cast<unsigned char>(y + 1);
            p[2] = 77;
        }
    return picture;
}

// True when the block holds, somewhere after its headers, the bytes of an
// Orientation entry (tag 0x0112, type SHORT) whose value is orientation,
// in the block's byte order.
bool holds_entry(const std::uint8_t* data, std::size_t size, int orientation)
{
    const bool big = data[6] == 'M';
    // A 16-bit number as the block stores it.
    const auto holds = [big](const std::uint8_t* at, unsigned number) {
        return at[big ? 0 : 1] == (number >> 8) && at[big ? 1 : 0] == (number & 0xff);
    };
    for (std::size_t at = 6 + 8; at + 10 <= size; ++at)
        if (holds(data + at, 0x0112) && holds(data + at + 2, 3) && holds(data + at + 8, orientation))
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int orientation = exif_orientation(data, size);
    require(orientation >= 1 && orientation <= 8);
    require(orientation == 1 || holds_entry(data, size, orientation));

    static const raster stored = numbered_picture();
    std::int32_t turned_width = 0;
    const raster turned = orient_picture(stored, stored_width, orientation, &turned_width);
    const bool swapped = orientation >= 5;
    require(turned_width == (swapped ? stored_height : stored_width));
    require(turned.height == (swapped ? stored_width : stored_height));
    check_picture(turned, turned_width);
    // Every stored pixel lands once.
    int seen[stored_width][stored_height] = {};
    for (std::int32_t y = 0; y < turned.height; ++y)
        for (std::int32_t x = 0; x < turned_width; ++x) {
            const unsigned char* p = turned.pixels.get() + (static_cast<std::size_t>(y) * turned.width + x) * 3;
            require(p[0] >= 1 && p[0] <= stored_width && p[1] >= 1 && p[1] <= stored_height && p[2] == 77);
            ++seen[p[0] - 1][p[1] - 1];
        }
    for (const auto& column : seen)
        for (const int count : column)
            require(count == 1);
    return 0;
}

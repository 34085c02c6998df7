// libFuzzer target for the colour profile conversion: any bytes as the ICC
// profile a JPEG's APP2 segments or a PNG's iCCP chunk carry, applied
// through Little CMS to two small pictures, one of colours (as stored RGB,
// and as converted from CMYK) and one of greys. A profile is used or
// refused with one line; a refused one leaves the pixels as they were, and
// neither touches the alignment columns.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/colour_profile.h"

namespace {

constexpr std::int32_t picture_width = 9;  // in a raster 12 wide
constexpr std::int32_t raster_width = 12;
constexpr std::int32_t picture_height = 2;
constexpr std::size_t picture_bytes = std::size_t{3} * raster_width * picture_height;

// A picture holding the given blue, green, red triples, row by row.
raster picture_of(const unsigned char (*colours)[3])
{
    raster picture = allocate_raster(raster_width, picture_height);
    require(picture.pixels != nullptr);
    picture.rows_filled = picture_height;
    for (std::int32_t y = 0; y < picture_height; ++y)
        std::memcpy(picture.pixels.get() + static_cast<std::size_t>(y) * raster_width * 3,
                    colours[y * picture_width], 3 * picture_width);
    return picture;
}

// Black, white, the primaries and their mixtures, and colours near grey.
const unsigned char colours[picture_width * picture_height][3] = {
    {0, 0, 0},     {255, 255, 255}, {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {255, 0, 0},
    {255, 255, 0}, {0, 255, 255},   {255, 0, 255},   {40, 90, 200}, {200, 90, 40}, {3, 250, 128},
    {250, 3, 128}, {99, 99, 100},   {1, 0, 0},       {0, 1, 0},     {254, 255, 255}, {17, 34, 51},
};
// Greys from black to white, as a grey picture's reader stores them.
const unsigned char greys[picture_width * picture_height][3] = {
    {0, 0, 0},       {1, 1, 1},       {2, 2, 2},       {16, 16, 16},    {32, 32, 32},    {64, 64, 64},
    {100, 100, 100}, {127, 127, 127}, {128, 128, 128}, {150, 150, 150}, {180, 180, 180}, {200, 200, 200},
    {220, 220, 220}, {240, 240, 240}, {250, 250, 250}, {253, 253, 253}, {254, 254, 254}, {255, 255, 255},
};

// The header's class, colour spaces, version and intent, and each tag's
// name with the type its data starts with, as the library will meet them;
// signatures the library does not know, each as one "other".
void note_structure(const std::uint8_t* data, std::size_t size)
{
    static const char classes[] = "scnrmntrprtrlinkspacabstnmcl";
    static const char spaces[] = "XYZ Lab Luv YCbrYxy RGB GRAYHSV HLS CMYKCMY 2CLR3CLR4CLR5CLR6CLR7CLR8CLR9CLRACLR"
                                 "BCLRCCLRDCLRECLRFCLR";
    static const char tags[] = "descdmnddmddcprtwtptbkptrXYZgXYZbXYZrTRCgTRCbTRCkTRCchadchrmlumimeastechvued"
                               "viewgamtA2B0A2B1A2B2B2A0B2A1B2A2D2B0D2B1D2B2D2B3B2D0B2D1B2D2B2D3pre0pre1"
                               "pre2ncl2clrtclrodscmmetacicparts";
    static const char types[] = "curvparamlucdesctextsf32XYZ mft1mft2mAB mBA mpetsig dictncl2clrtclrochrmmeas"
                                "viewdatadtimuf32ui16ui32ui64ui08vcgtcicp";
    if (size < 132)
        return;
    note_path(1, signature_index(big_endian_32(data + 12), classes));
    note_path(2, signature_index(big_endian_32(data + 16), spaces));
    note_path(3, signature_index(big_endian_32(data + 20), spaces));
    note_path(4, data[8] * 8 + (data[9] >> 4 < 8 ? data[9] >> 4 : 7));
    note_path(5, big_endian_32(data + 64) < 4 ? big_endian_32(data + 64) : 4);
    const std::uint32_t count = big_endian_32(data + 128);
    note_path(6, count < 32 ? count : 32);
    for (std::size_t i = 0; i < count && i < 64 && 132 + 12 * i + 12 <= size; ++i) {
        const std::uint8_t* entry = data + 132 + 12 * i;
        const std::uint32_t offset = big_endian_32(entry + 4);
        const std::uint32_t type = offset < size && size - offset >= 4 ? big_endian_32(data + offset) : 0;
        note_path(7, signature_index(big_endian_32(entry), tags) * 64 + signature_index(type, types));
    }
}

void check_conversion(const std::vector<unsigned char>& profile, const unsigned char (*stored)[3],
                      stored_colour kind)
{
    raster picture = picture_of(stored);
    const std::string warning = convert_to_srgb(&picture, picture_width, profile, kind);
    note_message(8, warning);
    check_picture(picture, picture_width);
    if (!warning.empty()) {
        check_line(warning);
        const raster before = picture_of(stored);
        require(std::memcmp(picture.pixels.get(), before.pixels.get(), picture_bytes) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    note_structure(data, size);
    const std::vector<unsigned char> profile(data, data + size);
    check_conversion(profile, colours, stored_colour::rgb);
    check_conversion(profile, greys, stored_colour::grey);
    check_conversion(profile, colours, stored_colour::cmyk);
    return 0;
}

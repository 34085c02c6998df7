// libFuzzer target for the PNG reader and what the command line does with
// what it finds: any bytes go through the same path as an opened file (a
// stdio stream, libpng with the reader's recovery from its errors, the
// conversion to blue, green, red laid on black), then an iCCP chunk's
// profile converts the picture to sRGB and an eXIf chunk's orientation
// turns it, as lumirun-render reads a picture.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "fuzz/fuzz_support.h"
#include "image/colour_profile.h"
#include "image/exif_orientation.h"
#include "image/png_file.h"

namespace {

// As the JPEG target's bound: a header may claim 2^31 pixels a side in a
// few bytes, and the memory check's path is the same at any size.
constexpr std::uint64_t memory_for_one_input = std::uint64_t{4} << 20;

// A chunk's name (any other by its four kind bits) and its length, small
// or not.
void note_chunk(const unsigned char* name, std::uint32_t length)
{
    static const char known[] = "IHDRPLTEIDATIENDtRNSiCCPeXIfsRGBgAMAcHRMsBITbKGDhISTpHYssPLTtIMEtEXtzTXtiTXt"
                                "oFFspCALsCALsTERacTLfcTLfdAT";
    std::uint32_t kind = signature_index(big_endian_32(name), known);
    if (!known[4 * kind])  // another chunk, by its four property bits
        kind += (name[0] >> 5 & 1) | (name[1] >> 5 & 1) << 1 | (name[2] >> 5 & 1) << 2 | (name[3] >> 5 & 1) << 3;
    note_path(1, kind * 4 + (length == 0 ? 0 : length < 64 ? 1 : length < 4096 ? 2 : 3));
}

// The number of binary digits of n.
std::uint32_t digits(std::uint32_t n)
{
    std::uint32_t count = 0;
    for (; n; n >>= 1)
        ++count;
    return count;
}

// The header's size (by its digits), colour type, bit depth and
// interlacing, each a valid value or not.
void note_header(const unsigned char* header)
{
    note_path(2, digits(big_endian_32(header)) * 33 + digits(big_endian_32(header + 4)));
    const unsigned depth = header[8] <= 16 ? header[8] : 17;
    const unsigned colour = header[9] <= 6 ? header[9] : 7;
    const unsigned interlace = header[12] <= 1 ? header[12] : 2;
    note_path(6, depth * 100 + colour * 10 + interlace);
}

// Each chunk's checksum made right again: libpng refuses a chunk whose
// checksum is wrong, which would stop nearly every mutation at the first
// check. (A wrong checksum's path is one error among many others.) Each
// chunk, and the header's fields, are noted as the paths libpng takes.
void fix_checksums(std::vector<unsigned char>* bytes)
{
    std::size_t at = 8;  // after the signature
    while (bytes->size() - at >= 12) {
        unsigned char* chunk = bytes->data() + at;
        const std::uint32_t length = big_endian_32(chunk);
        note_chunk(chunk + 4, length);
        if (length > bytes->size() - at - 12)
            return;
        if (at == 8 && length >= 13)
            note_header(chunk + 8);
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, chunk + 4, length + 4));
        for (int i = 0; i < 4; ++i)
            chunk[8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        at += std::size_t{length} + 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    std::vector<unsigned char> bytes(data, data + size);
    fix_checksums(&bytes);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file)
        return 0;
    png_read read = read_png_stream(file, memory_for_one_input);
    std::fclose(file);

    require(read.result == 0 || read.result == 1);
    note_message(3, read.message);
    if (read.result != 0) {
        // Refused for its memory, or with the reason.
        if (!read.too_large)
            check_line(read.message);
        return 0;
    }
    check_picture(read.picture, read.image_width);
    require(read.exif.empty() || (read.exif.size() > 6 && std::memcmp(read.exif.data(), "Exif\0\0", 6) == 0));

    // The profile: the picture converted in place or left as it is, with a
    // line to warn with.
    if (!read.icc_profile.empty()) {
        const std::string warning = convert_to_srgb(&read.picture, read.image_width, read.icc_profile, read.colours);
        note_message(4, warning);
        if (!warning.empty())
            check_line(warning);
        check_picture(read.picture, read.image_width);
    }
    // The orientation: turned into a raster of its own.
    const int orientation = exif_orientation(read.exif.data(), read.exif.size());
    require(orientation >= 1 && orientation <= 8);
    note_path(5, static_cast<std::uint32_t>(orientation));
    if (orientation != 1) {
        std::int32_t turned_width = 0;
        const raster turned = orient_picture(read.picture, read.image_width, orientation, &turned_width);
        const bool swapped = orientation >= 5;
        require(turned_width == (swapped ? read.picture.height : read.image_width));
        require(turned.height == (swapped ? read.image_width : read.picture.height));
        check_picture(turned, turned_width);
    }
    return 0;
}

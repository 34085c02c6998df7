// The picture files' small parts that the end-to-end formats test
// (cli_formats_test.sh) cannot reach exactly: a turned picture narrower than
// its raster, Exif blocks in both byte orders, YUV4MPEG2's numbers, the
// 16-bit widening, colour profiles that do not fit the pixels, and the
// reader on a stream (the page's).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <lcms2.h>

#include "image/colour_profile.h"
#include "image/exif_orientation.h"
#include "image/png_file.h"
#include "image/y4m_file.h"
#include "pipeline/picture_formats.h"
#include "tests/jpeg_test_support.h"

namespace {

// A picture w pixels wide (its raster rounded up to 4), pixel (x, y) holding
// blue x, green y, red 200; the alignment columns black.
raster numbered(std::int32_t w, std::int32_t h)
{
    std::int32_t rounded = 0;
    round_width_to_4(w, &rounded);
    raster picture = allocate_raster(rounded, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            unsigned char* p = picture.pixels.get() + (static_cast<std::size_t>(y) * rounded + x) * 3;
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = 200;
        }
    return picture;
}

// The stored (x, y) of each turned pixel, row by row, "." for black.
std::string layout(const raster& picture)
{
    std::string text;
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const unsigned char* p = picture.pixels.get() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
            text += p[2] == 0 ? std::string(".") : std::to_string(p[0]) + std::to_string(p[1]);
            text += ' ';
        }
        text += '|';
    }
    return text;
}

// A PNG chunk: length, type, data, CRC-32.
void append_chunk(std::vector<unsigned char>* png, const char* type, const std::vector<unsigned char>& data)
{
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    std::uint32_t crc = 0xffffffff;
    for (unsigned char byte : body) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
    }
    crc ^= 0xffffffff;
    const auto big_endian = [png](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png->push_back(static_cast<unsigned char>(value >> shift));
    };
    big_endian(static_cast<std::uint32_t>(data.size()));
    png->insert(png->end(), body.begin(), body.end());
    big_endian(crc);
}

// A PNG file that promises side by side pixels of 16-bit colour and alpha
// and holds 5 bytes of them (one stored zlib block).
std::vector<unsigned char> promising_png(std::uint32_t side, bool interlaced)
{
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> header;
    for (int i = 0; i < 2; ++i)
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<unsigned char>(side >> shift));
    header.insert(header.end(), {16, 6, 0, 0, static_cast<unsigned char>(interlaced ? 1 : 0)});
    append_chunk(&png, "IHDR", header);
    append_chunk(&png, "IDAT", {0x78, 0x01, 0x01, 0x05, 0x00, 0xfa, 0xff, 0, 0, 0, 0, 0, 0x00, 0x05, 0x00, 0x01});
    append_chunk(&png, "IEND", {});
    return png;
}

png_read read_png_bytes(const std::vector<unsigned char>& bytes, std::uint64_t memory_limit)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        return png_read{};
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    png_read read = read_png_stream(file, memory_limit);
    std::fclose(file);
    return read;
}

// A profile made by Little CMS, as a file would hold it.
std::vector<unsigned char> saved_profile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    std::vector<unsigned char> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    cmsCloseProfile(profile);
    return bytes;
}

// Grey or RGB (sRGB's primaries) in linear light: a stored 90 is sRGB's 161.
std::vector<unsigned char> linear_profile(bool grey)
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    std::vector<unsigned char> bytes = saved_profile(grey ? cmsCreateGrayProfile(cmsD50_xyY(), curve)
                                                          : cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

}  // namespace

TEST(exif_orientation, TurnedPicturesKeepTheirAlignmentColumnsBlack)
{
    // 5 by 2 in a raster 8 wide: 3 black columns that must not be turned in.
    const raster stored = numbered(5, 2);
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "00 10 20 30 40 . . . |01 11 21 31 41 . . . |"},
        {2, "40 30 20 10 00 . . . |41 31 21 11 01 . . . |"},
        {3, "41 31 21 11 01 . . . |40 30 20 10 00 . . . |"},
        {4, "01 11 21 31 41 . . . |00 10 20 30 40 . . . |"},
        {5, "00 01 . . |10 11 . . |20 21 . . |30 31 . . |40 41 . . |"},
        {6, "01 00 . . |11 10 . . |21 20 . . |31 30 . . |41 40 . . |"},
        {7, "41 40 . . |31 30 . . |21 20 . . |11 10 . . |01 00 . . |"},
        {8, "40 41 . . |30 31 . . |20 21 . . |10 11 . . |00 01 . . |"},
    };
    for (const auto& [orientation, expected] : cases) {
        std::int32_t width = 0;
        const raster turned = orient_picture(stored, 5, orientation, &width);
        EXPECT_EQ(width, orientation >= 5 ? 2 : 5) << orientation;
        EXPECT_EQ(layout(turned), expected) << orientation;
    }
}

TEST(exif_orientation, ReadsBothByteOrdersAndRefusesWhatIsNotThere)
{
    // "Exif\0\0", TIFF header, IFD0 with two entries, Orientation second.
    const std::vector<unsigned char> motorola = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2,
                                                 0x01, 0x0f, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0,
                                                 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    std::vector<unsigned char> intel = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0,
                                        0x0f, 0x01, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                        0x12, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(exif_orientation(motorola.data(), motorola.size()), 6);
    EXPECT_EQ(exif_orientation(intel.data(), intel.size()), 8);
    intel[36] = 9;  // out of range
    EXPECT_EQ(exif_orientation(intel.data(), intel.size()), 1);
    EXPECT_EQ(exif_orientation(motorola.data(), 30), 1);  // cut before the entry
    EXPECT_EQ(exif_orientation(nullptr, 0), 1);
}

TEST(y4m_file, HeaderRateAndLimitedRangeSamples)
{
    std::uint32_t n = 0;
    std::uint32_t d = 0;
    y4m_rate(29.97, &n, &d);
    EXPECT_EQ(n * 1000 + d, 2997u * 1000 + 100);
    y4m_format format;
    format.width = 3;
    format.height = 1;
    y4m_rate(24.0, &format.rate_numerator, &format.rate_denominator);
    EXPECT_EQ(y4m_header(format), "YUV4MPEG2 W3 H1 F24:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n");

    // Black, white and pure red (blue, green, red order), 4:4:4.
    raster picture = allocate_raster(4, 1);
    const unsigned char pixels[] = {0, 0, 0, 255, 255, 255, 0, 0, 255};
    std::copy(pixels, pixels + 9, picture.pixels.get());
    format.full_chroma = true;
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::string reason;
    ASSERT_TRUE(write_y4m_frame(file, format, picture, &reason)) << reason;
    format.full_chroma = false;  // 4:2:0: the mean of black and white, then red again
    ASSERT_TRUE(write_y4m_frame(file, format, picture, &reason)) << reason;
    std::rewind(file);
    std::vector<unsigned char> bytes(64);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    const std::vector<unsigned char> expected = {'F', 'R', 'A', 'M', 'E', '\n', 16, 235, 82, 128, 128, 90,
                                                 128, 128, 240, 'F', 'R', 'A', 'M', 'E', '\n', 16, 235, 82,
                                                 128, 90, 128, 240};
    EXPECT_EQ(bytes, expected);
}

TEST(picture_formats, SixteenBitRowsWidenEachSample)
{
    const raster picture = numbered(3, 1);
    std::vector<std::uint16_t> row(3 * 4);
    widen_row(picture, 0, row.data());
    EXPECT_EQ(row, (std::vector<std::uint16_t>{51400, 0, 0, 51400, 0, 257, 51400, 0, 514, 0, 0, 0}));
}

// A profile converts only pixels of its own colour space; any other (a grey
// profile on red and blue, a colour-space field no profile has) leaves the
// stored pixels with a warning.
TEST(colour_profile, ProfilesOfAnotherColourSpaceLeaveThePixelsAsStored)
{
    const std::vector<unsigned char> grey = linear_profile(true);
    const std::vector<unsigned char> rgb = linear_profile(false);
    ASSERT_FALSE(grey.empty());
    ASSERT_FALSE(rgb.empty());
    std::vector<unsigned char> unknown = rgb;
    const unsigned char odd_space[] = {0xc7, 0x51, 0xd6, 0x59};
    std::copy(odd_space, odd_space + 4, unknown.begin() + 16);

    const std::string prefix = "the picture's colour profile cannot be used (";
    const std::string suffix = "); its colours are taken as sRGB";
    const struct {
        const std::vector<unsigned char>* profile;
        stored_colour stored;
        std::string why;  // empty: converted
    } cases[] = {
        {&grey, stored_colour::rgb, "it is for grey pictures, not for RGB ones"},
        {&grey, stored_colour::cmyk, "it is for grey pictures, not for CMYK ones"},
        {&rgb, stored_colour::grey, "it is for RGB pictures, not for grey ones"},
        {&rgb, stored_colour::cmyk, "it is for RGB pictures, not for CMYK ones"},
        {&unknown, stored_colour::rgb, "it is not for RGB or grey pictures"},
        {&grey, stored_colour::grey, ""},
        {&rgb, stored_colour::rgb, ""},
    };
    for (const auto& c : cases) {
        // Pure red and pure blue (blue, green, red), and a grey.
        raster picture = allocate_raster(4, 1);
        const unsigned char stored[] = {0, 0, 255, 255, 0, 0, 90, 90, 90, 0, 0, 0};
        std::copy(stored, stored + 12, picture.pixels.get());
        const std::string warning = convert_to_srgb(&picture, 3, *c.profile, c.stored);
        const std::vector<unsigned char> pixels(picture.pixels.get(), picture.pixels.get() + 12);
        if (c.why.empty()) {
            EXPECT_EQ(warning, "") << static_cast<int>(c.stored);
            EXPECT_NEAR(pixels[6], 161, 2) << static_cast<int>(c.stored);
        } else {
            EXPECT_EQ(warning, prefix + c.why + suffix);
            EXPECT_EQ(pixels, std::vector<unsigned char>(stored, stored + 12)) << c.why;
        }
    }
}

// A file that promises a large picture and ends early: every buffer the
// read needs (an interlaced file's rows at 4 bytes a pixel beside the
// raster's 3) is counted before any is had, and the data's end is an error
// as soon as it comes.
TEST(png_file, BuffersAreCountedBeforeAndDataThatEndsEarlyFails)
{
    // 8000 by 8000: a raster of 192 MB, interlaced rows of 256 MB more.
    const std::uint64_t limit = std::uint64_t{300} << 20;
    png_read read = read_png_bytes(promising_png(8000, true), limit);
    EXPECT_EQ(read.result, 1);
    EXPECT_TRUE(read.too_large);
    EXPECT_FALSE(read.picture.pixels);
    EXPECT_EQ(too_large_text(read.picture), "Image of size 8000 by 8000 is too large.");

    for (const bool interlaced : {false, true}) {
        read = read_png_bytes(promising_png(8000, interlaced), interlaced ? std::uint64_t{1} << 30 : limit);
        EXPECT_EQ(read.result, 1);
        EXPECT_FALSE(read.too_large);
        EXPECT_EQ(read.message, "Damaged or unsupported PNG file: Not enough image data") << interlaced;
    }
}

using test_support::temp_folder;
using test_support::write_file;

// The page reads a file's bytes from a stream: the picture is the file's,
// and the messages name the file as given.
TEST(picture_formats, StreamIsReadAsTheFileAndNamedAsGiven)
{
    temp_folder folder;
    const std::string png = folder.path("in.png");
    std::FILE* file = std::fopen(png.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string reason;
    ASSERT_TRUE(write_png(file, numbered(3, 2), &reason)) << reason;
    ASSERT_EQ(std::fclose(file), 0);
    write_file(folder.path("notes.txt"), {'n', 'o', 't', 'e', 's'});

    render_options options;
    options.input = png;
    raster from_file;
    std::vector<std::string> messages;
    ASSERT_TRUE(read_picture(options, &from_file, &messages));
    options.input = "not read";
    for (const char* name : {"in.png", "notes.txt"}) {
        SCOPED_TRACE(name);
        const file_handle stream = open_for_reading(folder.path(name).c_str(), &reason);
        ASSERT_TRUE(stream) << reason;
        raster picture;
        messages.clear();
        const bool read = read_picture_stream(stream.get(), name, options, &picture, &messages);
        if (name[0] == 'i') {
            ASSERT_TRUE(read);
            EXPECT_EQ(layout(picture), layout(from_file));
        } else {
            ASSERT_FALSE(read);
            EXPECT_GE(messages.size(), 2u);  // the reader's reason first
            EXPECT_EQ(messages.back(), "Error opening file notes.txt.");
        }
    }
}

// Pictures to and from PNG files through libpng, driven like libjpeg: the
// library's errors jump back to a recovery point in a small function that
// holds no C++ object with a destructor, and come back as one line.
#ifndef LUMIRUN_IMAGE_PNG_FILE_H
#define LUMIRUN_IMAGE_PNG_FILE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "image/colour_profile.h"
#include "image/raster.h"

struct png_read {
    std::int32_t result = 1;  // 0 success, 1 failure
    // Blue, green, red, the width rounded up to a multiple of 4 with the
    // alignment columns black; image_width is the file's own width.
    raster picture;
    std::int32_t image_width = 0;
    std::vector<unsigned char> icc_profile;  // the iCCP chunk's profile, when there is one
    std::vector<unsigned char> exif;         // its eXIf chunk, as a JPEG's Exif segment holds it
    stored_colour colours = stored_colour::rgb;  // grey for the grey colour types
    bool too_large = false;                  // the picture's memory could not be had
    std::string message;                     // why the file was refused, one line
};

// Any PNG file: grey and palette pictures become blue, green, red; 16-bit
// samples are scaled to 8 bits with rounding; transparent pixels are laid
// on black (the renderer's background), their colour times their alpha,
// rounded. Gamma chunks are not applied: the samples are taken as sRGB
// unless an ICC profile says otherwise. memory_limit bounds the raster and
// the rows the read needs beside it together, as allocate_raster's bounds
// the raster alone; all are had before the first row is read, cleared but
// not yet touched, so a file that ends early fails as soon as its data does.
png_read read_png_stream(std::FILE* file, std::uint64_t memory_limit = 0);

// True when the bytes start with the PNG signature.
bool is_png_signature(const unsigned char* bytes, std::size_t size);

// One picture row of 16-bit samples, red, green, blue, for row y (from the
// top) of a picture width pixels wide.
using png_rows16 = std::function<void(std::int32_t y, std::uint16_t* rgb)>;

// Writes an opaque 8-bit RGB PNG of picture (its image_width_of columns, as
// the JPEG writer does); false with the reason.
bool write_png(std::FILE* file, const raster& picture, std::string* reason);

// Writes an opaque 16-bit RGB PNG of width by height pixels whose rows
// come from rows; false with the reason.
bool write_png16(std::FILE* file, std::int32_t width, std::int32_t height, const png_rows16& rows,
                 std::string* reason);

#endif

// Pictures to and from JPEG files through libjpeg (API 62, with
// libjpeg-turbo's extended colour spaces, so that the library itself reads
// and writes the raster's blue, green, red order).
//
// Nothing here keeps state between calls. Results: 0 success, 1 failure, no
// other value. A failure the user must see comes back as the text of a
// warning box (caption "Error!"); the library's own messages go to standard
// error.
#ifndef LUMIRUN_IMAGE_JPEG_FILE_H
#define LUMIRUN_IMAGE_JPEG_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/raster.h"

struct jpeg_read {
    std::int32_t result = 1;
    // Width rounded up to a multiple of 4 with the alignment columns black,
    // rows_filled rows decoded. Absent when the file could not be opened or
    // its header read (0 by 0), or when its size could not be had (that size).
    // A fatal library error after the allocation leaves it present with the
    // rows decoded before the error.
    raster picture;
    std::string message;     // the warning box's text, when one is due
    bool too_large = false;  // the picture's memory could not be had
};

// Grayscale files give grey blue, green, red; CMYK and YCCK files are
// converted as inverted CMYK (the way common editors write it); other
// component counts are refused before the raster is allocated.
jpeg_read read_jpeg_file(const char* path);

// read_jpeg_file on a stream opened for binary reading; the caller closes it.
jpeg_read read_jpeg_stream(std::FILE* file);

// "Image of size %d by %d is too large.\n" for a read whose picture's
// memory could not be had.
std::string too_large_text(const raster& picture);

struct jpeg_write {
    std::int32_t result = 1;
    std::string message;  // the warning box's text, when one is due
};

// Encodes picture as a baseline JPEG file at the given quality. Writes a new
// file beside path and renames it over path only when every byte was
// written, so a failed save leaves an existing file as it was and no stray
// file behind. Refuses, before touching any file, an absent raster (with no
// message), a side over 65500 pixels and a read-only target. A fatal library
// error (short write, disk full) gives "Error: Can't write file %s." with
// the library's message.
// The longest side a JPEG file can have.
constexpr std::int32_t jpeg_max_dimension = 65500;

jpeg_write write_jpeg_file(const char* path, const raster& picture, std::int32_t quality);

#endif

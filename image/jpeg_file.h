// Pictures to and from JPEG files through libjpeg (API 62).
//
// Results: 0 success, 1 failure, no other value. Failures the user must see
// go to show_warning_box (caption "Error!"); the library's own messages go to
// standard error.
#ifndef LUMIRUN_IMAGE_JPEG_FILE_H
#define LUMIRUN_IMAGE_JPEG_FILE_H

#include <cstdint>
#include <cstdio>

// Decodes the file into source_image (which must be absent) and leaves it in
// blue, green, red order.
std::int32_t load_picture(const char* path);

// Writes rendered_image as a baseline JPEG file at quality 100; the raster is
// byte for byte as before afterwards, whatever the result.
std::int32_t save_picture(const char* path);

// Fills source_image in red, green, blue order, width rounded up to a
// multiple of 4 with the alignment columns black. Grayscale files give grey
// red, green, blue; CMYK and YCCK files are converted as inverted CMYK (the
// way common editors write it); other component counts are refused before
// the raster is allocated. A fatal library error after the allocation leaves
// the raster present with rows_filled rows decoded.
std::int32_t read_jpeg_file(const char* path);

// read_jpeg_file on a stream opened for binary reading; the caller closes it.
std::int32_t read_jpeg_stream(std::FILE* file);

// Encodes rendered_image, which must be in red, green, blue order. Writes a
// new file beside path and renames it over path only when every byte was
// written, so a failed save leaves an existing file as it was and no stray
// file behind. Refuses, before touching any file, an absent raster, a side
// over 65500 pixels and a read-only target. A fatal library error (short
// write, disk full) shows "Error: Can't write file %s." with the library's
// message and returns 1; the program goes on.
std::int32_t write_jpeg_file(const char* path, std::int32_t quality);

#endif

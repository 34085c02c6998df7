// Pictures to and from JPEG files through libjpeg (API 62).
//
// Results: 0 success, 1 failure, no other value. Failures the user must see
// go to show_warning_box (caption "Error!"); the library's own messages go to
// standard error.
#ifndef LUMIRUN_IMAGE_JPEG_FILE_H
#define LUMIRUN_IMAGE_JPEG_FILE_H

#include <cstdint>

// Decodes the file into source_image (which must be absent) and leaves it in
// blue, green, red order.
std::int32_t load_picture(const char* path);

// Writes rendered_image as a baseline JPEG file at quality 100; the raster is
// byte for byte as before afterwards, whatever the result.
std::int32_t save_picture(const char* path);

// Fills source_image in red, green, blue order.
std::int32_t read_jpeg_file(const char* path);

// Encodes rendered_image, which must be in red, green, blue order.
std::int32_t write_jpeg_file(const char* path, std::int32_t quality);

#endif

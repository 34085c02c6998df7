// The viewer's pictures from JPEG and PNG files and to JPEG files, with its
// boxes: caption "Error!", through show_warning_box. Results: 0 success,
// 1 failure.
#ifndef LUMIRUN_APP_PICTURE_FILES_H
#define LUMIRUN_APP_PICTURE_FILES_H

#include <cstdint>

// Reads the file into source_image (which must be absent) as every edition
// reads it (pipeline/picture_formats.h): upright as its Exif orientation
// says, its colour profile converted to sRGB. A JPEG read that fails after
// the picture's size was known leaves the rows decoded so far.
std::int32_t load_picture(const char* path);

// Writes rendered_image as a baseline JPEG file at quality 100.
std::int32_t save_picture(const char* path);

#endif

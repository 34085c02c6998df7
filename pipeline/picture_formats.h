// The picture files lumirun-render reads and writes: the format chosen by
// a name's extension, the source read whatever its format (its Exif
// orientation and colour profile applied), and the result written in the
// format asked for, through the same safe save as every picture file.
#ifndef LUMIRUN_PIPELINE_PICTURE_FORMATS_H
#define LUMIRUN_PIPELINE_PICTURE_FORMATS_H

#include <cstdint>
#include <string>
#include <vector>

#include "image/jpeg_file.h"
#include "image/raster.h"
#include "pipeline/render_job.h"

// .jpg, .jpeg, .png or .webp at the end of name, in any case; false for
// any other name.
bool picture_format_of(const std::string& name, picture_format* format);

// jpeg, png or webp (as --format names them).
bool picture_format_named(const std::string& text, picture_format* format);

// The lines a JPEG read gives the user, in the order the command line
// prints them: the library's warning and error, then, when it failed, the
// box's text and the size that could not be had.
void append_jpeg_read_lines(const jpeg_read& read, std::vector<std::string>* messages);

// Reads options.input ("-": standard input), a JPEG or PNG file told by its
// first bytes, converts an ICC profile's colours to sRGB (a profile that
// cannot be used adds a warning line) and, when options.auto_orient, turns
// the picture as its Exif orientation says. The raster's image_width is
// the picture's own width (the exact renderer draws its alignment columns
// too, as the viewer does; the smooth renderer does not). False with the
// lines to tell the user appended to *messages, the last "Error opening
// file INPUT.".
bool read_picture(const render_options& options, raster* picture, std::vector<std::string>* messages);

// Writes picture (its image_width_of columns) to name ("-": standard
// output) in format with the options' settings. False with the lines to
// tell the user: the reason, which save_picture stops at, then "Error
// saving file NAME.".
bool save_picture(const render_options& options, picture_format format, const std::string& name,
                  const raster& picture, std::vector<std::string>* messages);
bool write_picture(const render_options& options, picture_format format, const std::string& name,
                   const raster& picture, std::vector<std::string>* messages);

// A 16-bit PNG's rows (image_width_of columns) from an 8-bit picture: each
// sample widened to x * 257 (0 to 0, 255 to 65535). The hook where a result
// kept in linear light at higher precision would be encoded instead.
void widen_row(const raster& picture, std::int32_t y, std::uint16_t* rgb);

#endif

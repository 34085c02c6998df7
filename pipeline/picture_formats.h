// The picture files lumirun-render reads and writes: the format chosen by
// a name's extension, the source read whatever its format (its Exif
// orientation and colour profile applied), and the result written in the
// format asked for, through the same safe save as every picture file.
#ifndef LUMIRUN_PIPELINE_PICTURE_FORMATS_H
#define LUMIRUN_PIPELINE_PICTURE_FORMATS_H

#include <cstdint>
#include <cstdio>
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

// One thing a read tells the user. The viewer shows a failure in its box
// (caption "Error!") and writes the others to standard error, as the JPEG
// library's own handler always did; the command line prints each as
// command_line_text gives it.
enum class read_message_kind {
    library_error,  // the words of the library that gave up on the file
    warning,        // the library's first warning, or a colour profile that cannot be used
    failure,        // why the file gives no picture: a box's text, the size that could not be had
};

struct read_message {
    read_message_kind kind;
    std::string text;
};

// A warning as "warning: TEXT"; the others as they are.
std::string command_line_text(const read_message& message);

struct picture_read {
    bool ok = false;
    // ok: the picture as it is meant to be seen, in sRGB. Otherwise absent
    // (its size kept when the file was too large), or (a JPEG file that
    // failed part way) the rows decoded before the failure, as stored.
    raster picture;
    std::vector<read_message> messages;  // in the order they arose
};

// Reads a JPEG or PNG picture, told by its first bytes, from a stream
// opened for binary reading (named in the messages as name), converts an
// ICC profile's colours to sRGB (a profile that cannot be used adds a
// warning) and, when auto_orient, turns the picture as its Exif orientation
// says. The raster's image_width is the picture's own width (the exact
// renderer draws its alignment columns too, as the viewer always has; the
// smooth renderer does not). The picture may take memory_limit bytes (0: what the machine can
// give). Every edition's open: the command line's, the viewer's, the page's.
picture_read read_picture_stream(std::FILE* file, const std::string& name, bool auto_orient,
                                 std::uint64_t memory_limit = 0);

// Reads options.input ("-": standard input) with read_picture_stream, the
// picture taking at most options.source_memory bytes (0: what the machine
// can give). False with the lines to tell the user appended to *messages,
// the last "Error opening file INPUT.".
bool read_picture(const render_options& options, raster* picture, std::vector<std::string>* messages);

// read_picture on a stream open for binary reading (a file's bytes in
// memory, say), called name in the messages; options.input is not used.
bool read_picture_stream(std::FILE* file, const std::string& name, const render_options& options, raster* picture,
                         std::vector<std::string>* messages);

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

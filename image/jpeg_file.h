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
#include <vector>

#include "image/colour_profile.h"
#include "image/file_handle.h"
#include "image/raster.h"

// Bounds on what one read may cost.
struct jpeg_read_limits {
    // Bytes the picture may take: 0 for what the machine can give.
    std::uint64_t memory = 0;
    // Real pictures have at most a few dozen scans (a progressive file a
    // dozen or so); a crafted one can have tens of thousands, each costing
    // a pass over the picture.
    int max_scans = 500;
    // Also keep the ICC profile and the Exif block (lumirun-render turns
    // and converts the picture; the viewer shows the stored pixels).
    bool keep_metadata = false;
};

struct jpeg_read {
    std::int32_t result = 1;
    // Width rounded up to a multiple of 4 with the alignment columns black,
    // rows_filled rows decoded. Absent when the file could not be opened or
    // its header read (0 by 0), or when its size could not be had (that size).
    // A fatal library error after the allocation leaves it present with the
    // rows decoded before the error.
    raster picture;
    std::int32_t image_width = 0;  // the file's own width, before rounding
    // The file's ICC profile (its APP2 segments joined) and Exif block (its
    // first APP1 segment starting "Exif"), when it has them and the limits
    // asked for them.
    std::vector<unsigned char> icc_profile;
    std::vector<unsigned char> exif;
    stored_colour colours = stored_colour::rgb;  // the file's: one component grey, four CMYK
    std::string message;     // the warning box's text, when one is due
    std::string reason;      // the system's reason a file could not be opened
    bool too_large = false;  // the picture's memory could not be had
    bool too_many_scans = false;
    // The library's own words, one line each, when it had any: the fatal
    // error that ended the read, and the first warning (damaged data it
    // could still decode).
    std::string library_error;
    std::string library_warning;
};

// Grayscale files give grey blue, green, red; CMYK and YCCK files are
// converted as inverted CMYK (the way common editors write it); other
// component counts are refused before the raster is allocated.
jpeg_read read_jpeg_file(const char* path, const jpeg_read_limits& limits = {});

// A picture file opened for binary reading; null with the system's reason
// (a folder is refused as one, though some systems open it).
file_handle open_for_reading(const char* path, std::string* reason);

// read_jpeg_file on a stream opened for binary reading, named in messages
// as name; the caller closes it.
jpeg_read read_jpeg_stream(std::FILE* file, const char* name, const jpeg_read_limits& limits = {});

// "Image of size %d by %d is too large." for a read whose picture's memory
// could not be had.
std::string too_large_text(const raster& picture);

// The library's limit on either side of a picture.
constexpr std::int32_t largest_jpeg_side = 65500;

struct jpeg_write {
    std::int32_t result = 1;
    std::string message;  // the warning box's text, when one is due
};

// Encodes picture (its image_width_of columns) as a baseline JPEG file at
// the given quality. A regular file (or one that symbolic links name: the
// links stay) is replaced only when every byte of the new one is written
// and on the disk: a new file with a short random name is written in the
// same folder, with the replaced file's mode (and owner and group where the
// process may set them), and renamed over it. Something that is not a
// regular file (a pipe, a device) is written in place. Refuses, before
// touching any file, an absent raster (with no message), a side over 65500
// pixels, a read-only target and a path the platform's file calls cannot
// take. Every message is one line with the system's (or the library's)
// reason. Colour is kept at half resolution both ways (4:2:0) unless
// full_chroma asks for every pixel's.
jpeg_write write_jpeg_file(const char* path, const raster& picture, std::int32_t quality, bool full_chroma = false);

// Encodes picture into an open stream (standard output, say); the caller
// closes it and learns there of errors the stream still holds.
jpeg_write write_jpeg_stream(std::FILE* file, const char* name, const raster& picture, std::int32_t quality,
                             bool full_chroma = false);

#endif

// What the fuzz targets check in every picture the code under test hands
// on: what the renderer and the writers rely on, or the process aborts
// (which libFuzzer reports as a crash, with the input kept).
#ifndef LUMIRUN_FUZZ_FUZZ_SUPPORT_H
#define LUMIRUN_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image/raster.h"

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A picture image_width pixels wide in its raster: the raster's width the
// next multiple of 4, every row there, the alignment columns black, and the
// whole buffer there (the sanitizers see its last byte).
inline void check_picture(const raster& picture, std::int32_t image_width)
{
    std::int32_t rounded = 0;
    require(picture.pixels && image_width > 0 && round_width_to_4(image_width, &rounded));
    require(picture.width == rounded && picture.height > 0 && picture.rows_filled == picture.height);
    std::size_t bytes = 0;
    require(raster_byte_count(picture.width, picture.height, &bytes));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const unsigned char* row = picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3;
        for (std::int32_t x = image_width; x < picture.width; ++x)
            require(row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0);
    }
    const volatile unsigned char last = picture.pixels[bytes - 1];
    (void)last;
}

// A line to show the user: not empty, and one line.
inline void check_line(const std::string& text)
{
    require(!text.empty() && text.find('\n') == std::string::npos);
}

#endif

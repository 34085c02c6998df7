// Movies as YUV4MPEG2 streams, which every video tool reads from a file or
// a pipe: a header line, then each frame's planes after "FRAME". Colours
// are BT.601 at limited range (16 to 235), worked out with integers so
// that every platform writes the same bytes; 4:4:4, or 4:2:0 with each
// colour sample the mean of its 2 by 2 pixels (centred, as "C420jpeg"
// says).
#ifndef LUMIRUN_IMAGE_Y4M_FILE_H
#define LUMIRUN_IMAGE_Y4M_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/raster.h"

struct y4m_format {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t rate_numerator = 24;  // frames per second, as a fraction
    std::uint32_t rate_denominator = 1;
    bool full_chroma = false;  // 4:4:4 instead of 4:2:0
};

// The stream's header line, newline included.
std::string y4m_header(const y4m_format& format);

// The frame rate as the fraction the header holds: fps to a thousandth.
void y4m_rate(double fps, std::uint32_t* numerator, std::uint32_t* denominator);

// One frame of the format's size from picture (blue, green, red; its first
// format.width columns); false with the system's reason when the stream
// would not take it.
bool write_y4m_frame(std::FILE* file, const y4m_format& format, const raster& picture, std::string* reason);

#endif

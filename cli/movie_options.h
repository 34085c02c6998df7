// The parts of lumirun-render's command line that make a movie: ranges for
// the settings that move, the frame count and rate, and the output's name.
#ifndef LUMIRUN_CLI_MOVIE_OPTIONS_H
#define LUMIRUN_CLI_MOVIE_OPTIONS_H

#include <cstdint>
#include <string>

#include "pipeline/movie_frames.h"

// "A:B", each end as parse_speed_percent takes it. False when refused.
bool parse_speed_range(const std::string& text, float* from, float* to);

// "X1,Y1:X2,Y2", each end as parse_observer takes it.
bool parse_observer_range(const std::string& text, std::int32_t* x1, std::int32_t* y1, std::int32_t* x2,
                          std::int32_t* y2);

// A whole number from 1 to max_movie_frames.
bool parse_frame_count(const std::string& text, std::int32_t* frames);

// Frames per second: a decimal number (as parse_number) from 0.1 to 1000 (WebP times frames in whole
// milliseconds, and max_movie_frames at 0.1 a second still fit in 32 bits).
bool parse_frame_rate(const std::string& text, double* fps);

#endif

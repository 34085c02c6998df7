// The parts of lumirun-render's command line that make a movie: ranges for
// the settings that move, the frame count and rate, and the output's name.
#ifndef LUMIRUN_CLI_MOVIE_OPTIONS_H
#define LUMIRUN_CLI_MOVIE_OPTIONS_H

#include <cstdint>
#include <string>

// The most frames a movie may have.
constexpr std::int32_t max_movie_frames = 100000;

// "A:B", each end as parse_speed_percent takes it. False when refused.
bool parse_speed_range(const std::string& text, float* from, float* to);

// "X1,Y1:X2,Y2", each end as parse_observer takes it.
bool parse_observer_range(const std::string& text, std::int32_t* x1, std::int32_t* y1, std::int32_t* x2,
                          std::int32_t* y2);

// A whole number from 1 to max_movie_frames.
bool parse_frame_count(const std::string& text, std::int32_t* frames);

// Frames per second: a number from 0.1 to 1000 (WebP times frames in whole
// milliseconds, and max_movie_frames at 0.1 a second still fit in 32 bits).
bool parse_frame_rate(const std::string& text, double* fps);

enum class movie_output { webp, frame_files, unknown };

// *.webp (any case) or a frame pattern: exactly one "%d", "%Nd" or "%0Nd"
// with N at most 10, and no other "%", not ending in .webp.
movie_output movie_output_kind(const std::string& name);

// The pattern with its conversion replaced by frame, padded as asked.
std::string frame_file_name(const std::string& pattern, std::int32_t frame);

// The value at t = frame / (frames - 1) on the straight line from `from` to
// `to`; `from` when frames is 1.
double movie_position(double from, double to, std::int32_t frame, std::int32_t frames);

#endif

// A movie's frames: how many there may be, the value of a moving setting at
// each frame, and where each frame goes (one animated WebP, or a numbered
// file a frame).
#ifndef LUMIRUN_PIPELINE_MOVIE_FRAMES_H
#define LUMIRUN_PIPELINE_MOVIE_FRAMES_H

#include <cstdint>
#include <string>

// The most frames a movie may have.
constexpr std::int32_t max_movie_frames = 100000;

// The largest side --size may ask for (WebP's largest).
constexpr std::int32_t max_movie_side = 16383;

// The frames a movie of seconds at fps has: seconds * fps rounded to the
// nearest whole number (halves up), at least 1. False, *frames unchanged,
// when that passes max_movie_frames or seconds is not above 0.
bool frames_for_duration(double seconds, double fps, std::int32_t* frames);

enum class movie_output { webp, frame_files, y4m, ffmpeg, unknown };

// *.webp, *.y4m or "-" (a YUV4MPEG2 stream), *.mp4, *.webm, *.mkv or *.gif
// (made by ffmpeg), in any case, their "%" taken literally; or a frame
// pattern: exactly one "%d" or "%0Nd" (N from 1 to 10: numbers padded with
// zeros, never blanks), any other "%" written "%%", not ending in .webp
// (a sequence of WebP files, which is not made).
movie_output movie_output_kind(const std::string& name);

// The pattern with its conversion replaced by frame, padded as asked, and
// each "%%" by "%"; a name that is no frame pattern unchanged.
std::string frame_file_name(const std::string& pattern, std::int32_t frame);

// The value at t = frame / (frames - 1) on the straight line from `from` to
// `to`; `from` when frames is 1.
double movie_position(double from, double to, std::int32_t frame, std::int32_t frames);

#endif

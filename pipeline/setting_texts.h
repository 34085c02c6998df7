// The texts of a render's settings, as the command line and the browser
// page take them: each function accepts a whole text or refuses it, and
// writes its value only when it accepts.
#ifndef LUMIRUN_PIPELINE_SETTING_TEXTS_H
#define LUMIRUN_PIPELINE_SETTING_TEXTS_H

#include <cstdint>
#include <string>

#include "pipeline/movie_frames.h"
#include "render/renderer.h"
#include "colour/spectral_colour.h"

// A whole decimal integer in the 32-bit range.
bool parse_int32(const std::string& text, std::int32_t* value);

// A percentage as the Settings dialog's "Apply" takes it: q = x / 100 is
// accepted when q >= 0 and q rounded to single precision is below 1, and
// stored so rounded. Unlike the dialog, text that is not wholly a finite
// number (a trailing "%" allowed) is refused. False when refused.
bool parse_speed_percent(const std::string& text, float* speed_fraction);

// A finite decimal number, wholly: no blanks, no hexadecimal, nothing after.
bool parse_number(const std::string& text, double* value);

// 0, 1, 2 or left-to-right, top-to-bottom, straight-at-it.
bool parse_direction(const std::string& text, std::int32_t* direction);

// 1 to 4 or low, medium, high, ultra.
bool parse_quality(const std::string& text, std::int32_t* quality);

// smooth, or a quality as parse_quality takes it for the exact renderer.
bool parse_render_quality(const std::string& text, render_method* method, std::int32_t* quality);

// "X,Y", two 32-bit integers.
bool parse_observer(const std::string& text, std::int32_t* x, std::int32_t* y);

// Kelvin, 1000 to 40000: colder or hotter, the illuminant lacks blue or red
// so nearly that the colour model cannot be inverted.
bool parse_temperature(const std::string& text, double* kelvin);

// Stops, -20 to 20 ("auto", which the parser takes too, is not a number).
bool parse_exposure(const std::string& text, double* stops);

// all, contraction, light-time or none.
bool parse_effects(const std::string& text, relativity_effects* effects);

// clip, reinhard or compress.
bool parse_tone_map(const std::string& text, tone_map* tone);

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

// A movie's size, "WIDTHxHEIGHT" (x or X), each a whole number from 1 to
// max_movie_side.
bool parse_movie_size(const std::string& text, std::int32_t* width, std::int32_t* height);

// A movie's length in seconds: a decimal number (as parse_number) above 0
// and at most 1000000 (frames_for_duration then tells whether its frames
// are too many).
bool parse_duration(const std::string& text, double* seconds);

#endif

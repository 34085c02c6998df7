// The command line of lumirun-render:
//   lumirun-render INPUT OUTPUT [--speed PERCENT] [--direction D]
//                  [--quality Q] [--observer X,Y] [--quiet]
//                  [--doppler[=colour] [--temperature K] [--exposure EV|auto]
//                   [--tonemap clip|reinhard]]
//                  [--format jpeg|png|webp] [--jpeg-quality Q] [--chroma 444|420]
//                  [--depth 8|16] [--lossless] [--no-auto-orient]
//   lumirun-render INPUT MOVIE --frames N [--speed A:B] [--observer X1,Y1:X2,Y2]
//                  [--fps F] [--ffmpeg PATH] [--overwrite] [the options above]
// OUTPUT's extension names its format (usage error otherwise); "-" is JPEG
// unless --format says otherwise.
//   lumirun-render --help | --version
// Defaults are the program's after a successful open (speed 50 %, direction
// 0, observer (0, source height / 2)), with the smooth renderer; --quality 1
// to 4 gives the viewer's exact renderer.
#ifndef LUMIRUN_CLI_RENDER_OPTIONS_H
#define LUMIRUN_CLI_RENDER_OPTIONS_H

#include <cstdint>
#include <string>

#include "pipeline/render_job.h"
#include "render/spectral_colour.h"


enum class parse_outcome { run, help, version, usage_error };

struct parse_result {
    parse_outcome outcome = parse_outcome::run;
    render_options options;
    std::string error;  // for usage_error: one line, no program name
};

parse_result parse_render_arguments(int argc, const char* const* argv);

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

// clip or reinhard.
bool parse_tone_map(const std::string& text, tone_map* tone);

extern const char* const render_usage;

// "lumirun-render VERSION" and the copyright line, for --version.
extern const char* const render_version;

#endif

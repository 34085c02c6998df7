// The command line of lumirun-render:
//   lumirun-render INPUT OUTPUT [--speed PERCENT] [--direction D]
//                  [--quality Q] [--observer X,Y] [--quiet]
//                  [--doppler[=colour] [--temperature K] [--exposure EV|auto]
//                   [--tonemap compress|clip|reinhard]] [--doppler-map]
//                  [--format jpeg|png|webp] [--jpeg-quality Q] [--chroma 444|420]
//                  [--depth 8|16] [--lossless] [--no-auto-orient]
//   lumirun-render INPUT MOVIE --frames N [--speed A:B] [--observer X1,Y1:X2,Y2]
//                  [--fps F] [--size WxH [--fit|--fill]] [--ffmpeg PROGRAM] [--overwrite]
//                  [the options above]
//   (--duration S in place of --frames N)
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
#include "pipeline/setting_texts.h"
#include "colour/spectral_colour.h"


enum class parse_outcome { run, help, version, usage_error };

struct parse_result {
    parse_outcome outcome = parse_outcome::run;
    render_options options;
    std::string error;  // for usage_error: one line, no program name
};

parse_result parse_render_arguments(int argc, const char* const* argv);

extern const char* const render_usage;

// "lumirun-render VERSION" and the copyright line, for --version.
extern const char* const render_version;

#endif

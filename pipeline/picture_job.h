// One picture through the pipeline: the source read, rendered by the exact
// or the smooth renderer, given its colours, and written. Without the colour
// pass these are the viewer's open, render (its four levels, or "Smooth (no
// gaps)") and save, with the same raster and the same written bytes.
#ifndef LUMIRUN_PIPELINE_PICTURE_JOB_H
#define LUMIRUN_PIPELINE_PICTURE_JOB_H

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job_progress.h"
#include "pipeline/render_job.h"
#include "render/doppler.h"
#include "render/renderer.h"

// Reads options.input (a JPEG or PNG file) as the viewer's open does, with
// its profile and orientation applied (pipeline/picture_formats.h). False
// with the lines to tell the user appended to *messages (see render_file).
bool open_source(const render_options& options, raster* picture, std::vector<std::string>* messages);

// Why nothing could be saved to output ("-": standard output), found before
// any work: a missing or read-only folder, a folder or read-only file in
// its place, a name the system cannot take, a terminal for picture bytes
// (as compressors refuse). Empty when a save can be tried.
std::string output_refusal(const std::string& output);
// True when name is the file INPUT names (the same file, through links
// too), or for INPUT "-" the file standard input was redirected from.
bool is_input_file(const render_options& options, const std::string& name);

// Empty when OUTPUT may be written; otherwise the line that refuses it:
// OUTPUT is the input file (is_input_file), which the render would replace
// before anyone saw it. Checked before reading.
std::string same_file_refusal(const render_options& options);

// The render settings of options for this source: its speed (the range's
// first end for a movie), direction, quality and observer.
render_settings settings_for(const render_options& options, const raster& source);

// Where the colour pass takes each pixel's Doppler factor from: the exact
// renderer's samples, or the smooth renderer's shifted light (its pixel
// centres when the render was not asked for it).
doppler_source colour_source(const render_output& rendered, const render_settings& settings);

// With --doppler and the smooth renderer: asks the render for its shifted
// light (render_settings::seen_colours), with the table from cache, which
// must outlive the render. Otherwise (or when the table cannot be built)
// nothing changes.
void ask_for_seen_light(const render_options& options, colour_table_cache* cache, render_settings* settings);

// The text for a render that did not end done.
std::string render_failure_text(const render_output& rendered);

// The --doppler colour pass on a rendered picture, when the options ask for
// it, with colour (options.colour, or a movie's settled exposure) and its
// table from cache when one is given; false with the line to tell the user
// appended to *messages. A picture that comes out nearly black adds a
// warning line.
bool apply_colour(const render_options& options, const colour_shift_settings& colour,
                  const render_settings& settings, render_output* rendered, std::vector<std::string>* messages,
                  colour_table_cache* cache = nullptr);

// Loads options.input, renders it with the options' settings and observer,
// gives it the colours the observer sees when options.doppler asks, and
// saves the result to options.output, telling progress (unless it is null)
// how far it has come. 0 on success; 1 with the lines to tell the user in
// *messages, in order: the messages the viewer shows in boxes, then the
// command's own line.
int render_file(const render_options& options, job_progress* progress, std::vector<std::string>* messages);

#endif

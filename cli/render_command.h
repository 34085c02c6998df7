// What lumirun-render does once its command line is understood: the viewer's
// open, render and save, with the same raster and the same written bytes.
#ifndef LUMIRUN_CLI_RENDER_COMMAND_H
#define LUMIRUN_CLI_RENDER_COMMAND_H

#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/render_options.h"
#include "render/renderer.h"

// Reads options.input as the viewer's open does. False with the lines to
// tell the user appended to *messages (see render_file).
bool open_source(const render_options& options, raster* picture, std::vector<std::string>* messages);

// The render settings of options for this source: its speed (the range's
// first end for a movie), direction, quality and observer.
render_settings settings_for(const render_options& options, const raster& source);

// The viewer's text for a render that ended with status.
std::string render_failure_text(render_status status);

// Loads options.input, renders it with the options' settings and observer,
// and saves the result to options.output, showing the render's progress on
// bar unless it is null. 0 on success; 1 with the lines to tell the user in
// *messages, in order: the messages the viewer shows in boxes, then the
// command's own line.
int render_file(const render_options& options, progress_bar* bar, std::vector<std::string>* messages);

#endif

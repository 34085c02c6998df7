// What lumirun-render does once its command line is understood: the viewer's
// open, render and save, with the same raster and the same written bytes.
#ifndef LUMIRUN_CLI_RENDER_COMMAND_H
#define LUMIRUN_CLI_RENDER_COMMAND_H

#include <string>
#include <vector>

#include "cli/progress_bar.h"
#include "cli/render_options.h"

// Loads options.input, renders it with the options' settings and observer,
// gives it the colours the observer sees when options.doppler asks, and
// saves the result to options.output, showing the render's progress on bar
// unless it is null. 0 on success; 1 with the lines to tell the user in
// *messages, in order: the messages the viewer shows in boxes, then the
// command's own line.
int render_file(const render_options& options, progress_bar* bar, std::vector<std::string>* messages);

#endif

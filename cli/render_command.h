// What lumirun-render does once its command line is understood: the viewer's
// open, render and save, with the same raster and the same written bytes.
#ifndef LUMIRUN_CLI_RENDER_COMMAND_H
#define LUMIRUN_CLI_RENDER_COMMAND_H

#include <string>

#include "cli/render_options.h"

// Loads options.input, renders it with the options' settings and observer,
// and saves the result to options.output. 0 on success; 1 with *error set to
// the command's own line (the picture parts' boxes and the renderer's status
// texts have gone to their handlers before), or empty when the renderer has
// reported the failure itself. Releases both rasters before returning.
int render_file(const render_options& options, std::string* error);

#endif

// The page's movies: the pipeline's frames (pipeline/movie_job.h's frame
// settings, pipeline/movie_canvas.h's canvas) in an animated WebP in memory,
// on the one thread the page's core has.
#ifndef LUMIRUN_WEB_WEB_MOVIE_H
#define LUMIRUN_WEB_WEB_MOVIE_H

#include <cstdint>
#include <string>
#include <vector>

#include "image/raster.h"
#include "pipeline/render_job.h"
#include "web/web_picture.h"

// The WebP file lumirun-render writes for options (frames above 0) from
// source, into *bytes; false with the lines to show in *messages. Progress:
// measuring every frame is the first 10 %, rendering and encoding them the
// rest.
bool webp_movie_bytes(const raster& source, const render_options& options, const percent_report& report,
                      std::vector<std::uint8_t>* bytes, std::vector<std::string>* messages);

#endif

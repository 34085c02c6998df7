// Movies: one source, several renders whose speed or
// observer moves from frame to frame, on one canvas, into an animated WebP,
// a YUV4MPEG2 stream, a movie made by ffmpeg or a numbered sequence of
// picture files.
#ifndef LUMIRUN_PIPELINE_MOVIE_JOB_H
#define LUMIRUN_PIPELINE_MOVIE_JOB_H

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/job_progress.h"
#include "pipeline/render_job.h"
#include "render/renderer.h"

// Frame frame's settings: options' settings with the ranges' values at
// t = frame / (frames - 1), the observer rounded to whole pixels.
render_settings movie_frame_settings(const render_options& options, const raster& source, std::int32_t frame);

// Where the time went, in seconds. Encoding runs beside the next frame's
// render, so render and encode may add up to more than the total.
struct movie_timing {
    double total = 0.0;    // from the first measure to the file(s) written
    double measure = 0.0;  // pass 1 of every frame, for the canvas
    double render = 0.0;   // the frames' renders and their placing
    double encode = 0.0;   // encoding, and writing the file(s)
};

// Makes the movie of options (frames above 0, a known output kind). Measures
// every frame first and refuses, before anything is written, a canvas the
// output cannot hold or whose memory cannot be had, and a movie that needs
// an ffmpeg there is none of. A movie file (WebP, YUV4MPEG2, ffmpeg's) is
// written whole or not at all; a frame sequence keeps the frames written before a
// failure, and the message names the frame that failed. 0 on success; 1
// with the lines to tell the user in *messages. Memory: the source, one
// frame's raster, two canvases (one filling while the other is encoded)
// and the encoder's compressed frames.
int render_movie(const render_options& options, job_progress* bar, std::vector<std::string>* messages,
                 movie_timing* timing = nullptr);

#endif

// Movies: one source, several renders whose speed or
// observer moves from frame to frame, on one canvas, into an animated WebP
// (a file, or bytes in memory), a YUV4MPEG2 stream (a file or standard
// output), a movie made by ffmpeg or a numbered sequence of picture files.
// A job whose options.threads is 1 runs on the caller's thread alone.
#ifndef LUMIRUN_PIPELINE_MOVIE_JOB_H
#define LUMIRUN_PIPELINE_MOVIE_JOB_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/webp_file.h"
#include "pipeline/job_progress.h"
#include "pipeline/movie_canvas.h"
#include "render/doppler.h"
#include "pipeline/render_job.h"
#include "render/renderer.h"
#include "render/smooth/prefilter.h"

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
    std::int32_t colour_tables = 0;  // --doppler's tables built
};

// What a movie may take: the bytes of memory (0: what the machine can give
// now, memory_available()), and of an animated WebP file.
struct movie_limits {
    std::uint64_t memory = 0;
    std::uint64_t webp_file_bytes = webp_max_file_bytes;
};

// Makes the movie of options (frames above 0, a known output kind).
// Refused before any work, in this order: a target that cannot be written
// (every frame file's name and folder, by creating a file there and
// removing it); a frame file that exists (status 2), unless
// options.overwrite, and the input always; a movie that needs an ffmpeg
// there is none of. Then measures the frames, stopping as soon as the
// canvas must pass the output's side, and refuses a canvas the output
// cannot hold or whose memory (two canvases, the largest frame, the
// encoder's buffers, as one sum) cannot be had. A movie file (WebP,
// YUV4MPEG2, ffmpeg's) is written whole or not at all, a WebP file not when
// it would pass limits.webp_file_bytes; a frame sequence keeps the frames
// written before a failure, and the message names the frame that failed.
// 0 on success; 1 (or 2) with the lines to tell the user in *messages. The
// colour pass's table is built once for each speed.
int render_movie(const render_options& options, job_progress* bar, std::vector<std::string>* messages,
                 movie_timing* timing = nullptr, const movie_limits& limits = {});

// The movie of options (frames above 0) from a source already read, as
// render_movie makes it for a .webp output: the animated WebP file's bytes
// into *webp; options.output only names it in messages, and nothing is
// written to a file. 0 on success; 1 with the lines to tell the user.
int render_movie_to_memory(const raster& source, const render_options& options, std::vector<unsigned char>* webp,
                           job_progress* bar, std::vector<std::string>* messages, const movie_limits& limits = {});

// A movie's frames one at a time, for an encoder elsewhere (the page's
// videos, which wait for the browser's encoder between frames): made as
// render_movie makes them, on the caller's thread, the canvas sized and
// refused as for a sequence of JPEG files.
// What every frame of a movie is drawn with: each frame's extent on the
// canvas and its settled colours, and the canvas's layout.
// The smooth renderer's prefilter of the source, built by the first frame
// that needs it and shared by the rest: the plan lives no longer than the
// source it was made for.
struct movie_plan {
    std::vector<frame_extent> extents;
    std::vector<colour_shift_settings> colours;
    canvas_layout layout;
    std::shared_ptr<smooth_sums_cache> sums = std::make_shared<smooth_sums_cache>();
};

class movie_frame_maker {
public:
    // Measures every frame, settles their colours and lays out the canvas;
    // options.frames above 0. ok() false with the lines to tell the user.
    movie_frame_maker(const raster& source, const render_options& options, job_progress* bar,
                      std::vector<std::string>* messages, const movie_limits& limits = {});
    bool ok() const { return ok_; }

    // Renders frame (0, 1, ... in order) on the canvas, black around it;
    // place() is where its own picture sits there (and at what scale, with
    // options.movie_width and movie_height). The canvas stays valid
    // until the next call. False with the lines to tell the user.
    bool make(std::int32_t frame, std::vector<std::string>* messages);
    const raster& canvas() const { return canvas_; }
    canvas_place place() const { return place_; }

private:
    const raster& source_;
    const render_options& options_;
    job_progress* bar_;
    bool ok_ = false;
    movie_plan plan_;
    colour_table_cache tables_;
    raster canvas_;
    canvas_place place_{0.0, 0.0, 1.0};
};

#endif

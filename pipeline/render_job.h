// One job of the picture pipeline as a front end describes it: the input,
// the output, and the settings of the render, its colours and, for a movie,
// the settings that move from frame to frame.
#ifndef LUMIRUN_PIPELINE_RENDER_JOB_H
#define LUMIRUN_PIPELINE_RENDER_JOB_H

#include <cstdint>
#include <string>

#include "render/renderer.h"
#include "colour/spectral_colour.h"

// A picture file's format.
enum class picture_format { jpeg, png, webp };

struct render_options {
    std::string input;
    std::string output;
    float speed_fraction = 0.5f;
    std::int32_t direction = 0;
    // exact (the viewer's renderer, at quality 1 to 4) or smooth. The
    // command line's default is smooth; a job made here is the viewer's.
    render_method method = render_method::exact;
    std::int32_t quality = 1;
    bool observer_given = false;  // otherwise (0, source height / 2)
    std::int32_t observer_x = 0;
    std::int32_t observer_y = 0;
    bool quiet = false;
    bool doppler = false;  // the colour pass after the render
    // The effects of the motion shown (render/observer.h). The colour pass
    // is for all and light_time: contraction and none show no light
    // travelling, and the front ends refuse them with doppler.
    relativity_effects effects = relativity_effects::all;
    // Instead of colours, each pixel's Doppler factor in false colour and a
    // legend (pipeline/doppler_map.h); never with doppler, and only for all
    // and light_time.
    bool doppler_map = false;
    colour_shift_settings colour;

    // Reading: the Exif orientation applied (the stored pixel order kept
    // otherwise); an ICC profile is always converted to sRGB. The bytes the
    // source picture may take (0: what the machine can give).
    bool auto_orient = true;
    std::uint64_t source_memory = 0;

    // The threads a render uses (0: the processor's); with 1, a movie also
    // encodes each frame on the thread that renders them.
    std::int32_t threads = 0;

    // Writing a picture (or a frame file): the format (by the output's
    // extension, or named for standard output), JPEG quality and colour
    // resolution, PNG sample depth (8 or 16), lossless WebP.
    picture_format format = picture_format::jpeg;
    std::int32_t jpeg_quality = 100;
    bool full_chroma = false;  // 4:4:4 JPEG or YUV4MPEG2; 4:2:0 otherwise
    std::int32_t depth = 8;
    std::string ffmpeg;  // the program for MP4, WebM, Matroska and GIF movies; empty: ffmpeg on the PATH

    // A movie when frames is above 0: a range moves its setting from the
    // value above (the range's first end) to the *_to value.
    std::int32_t frames = 0;
    bool speed_range = false;
    float speed_fraction_to = 0.0f;
    bool observer_range = false;
    std::int32_t observer_x_to = 0;
    std::int32_t observer_y_to = 0;
    double fps = 24.0;
    // The frames' size: the largest frame's when movie_width and
    // movie_height are 0, otherwise movie_width x movie_height, each frame
    // letterboxed into it (movie_fill false) or covering it, cropped about
    // the observer (pipeline/movie_canvas.h).
    std::int32_t movie_width = 0;
    std::int32_t movie_height = 0;
    bool movie_fill = false;
    bool lossless = false;
    // A frame pattern may replace existing files (never the input).
    bool overwrite = false;
};

#endif

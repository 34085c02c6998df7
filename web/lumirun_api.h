// The browser edition's core: a small C interface over the portable core,
// called from the page's worker (web/page/worker.js). One session per
// WebAssembly instance: a source picture, the settings, and the last
// picture rendered for display.
//
// Settings are a job of the picture pipeline (pipeline/render_job.h), their
// texts parsed as the command line parses them (pipeline/setting_texts.h),
// so a picture rendered or exported here has the bytes the command line
// gives for the same settings. Every call returns 0 on success
// and 1 on failure; a failure leaves the session as it was and puts the
// lines to show the user in lr_messages(). Progress (0 to 100) goes to the
// page through Module.onProgress while a render runs.
#ifndef LUMIRUN_WEB_LUMIRUN_API_H
#define LUMIRUN_WEB_LUMIRUN_API_H

#include <cstddef>
#include <cstdint>

extern "C" {

// The lines of the last call, '\n' between them: its failure, or the
// warnings of a call that succeeded (a truncated JPEG read as far as it
// goes). Valid until the next call.
const char* lr_messages();

// Opens a JPEG or PNG file's bytes through the pipeline's reader, as
// lumirun-render reads a file: its ICC profile converted to sRGB, turned
// as its Exif orientation says, transparent pixels laid on black, the
// same messages (name stands for the file in them). The observer goes to
// the left edge half-way down, as after an open in the viewer. On failure
// the previous picture stays.
int lr_open(const std::uint8_t* bytes, std::size_t size, const char* name);

// Opens a picture of another format, which the browser decoded: width *
// height pixels of red, green, blue, alpha, laid on black.
int lr_open_rgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height);

// A picture the browser could not decode (width and height 0) or could
// decode but not hand over at width by height: too large, with the page's
// limit, when its size is known (from the browser or its file's header)
// and too large; otherwise lr_open's answer, whose message says what the
// file is not. The previous picture stays when it fails.
int lr_refuse_undecoded(const std::uint8_t* bytes, std::size_t size, const char* name, std::int32_t width,
                        std::int32_t height);

std::int32_t lr_source_width();
std::int32_t lr_source_height();

// The settings, as the command line's texts: speed "99.5" (percent),
// direction 0 to 2, quality as --quality takes it ("low" ... "ultra"),
// observer x and y in source pixels, doppler 0 off, 1 colour only, 2 colour
// and brightness, exposure "auto" (the command line's default) or stops
// ("-1.5"), effects as --effects takes them ("all" ... "none"; null, as a
// caller that passes none gives, is all), doppler_map 1 for --doppler-map
// (each pixel's D in false colour, with its legend). Refused as the
// command line refuses them.
int lr_set_settings(const char* speed, std::int32_t direction, const char* quality, std::int32_t observer_x,
                    std::int32_t observer_y, std::int32_t doppler, const char* exposure, const char* effects,
                    std::int32_t doppler_map);

// Renders the whole picture at the settings' quality, with the Doppler pass
// when asked, and keeps it for display (lr_picture_*) and export.
int lr_render();

// A quick render for a view of view_width by view_height pixels, kept for
// display like lr_render's. lr_picture_scale() then tells how many source
// pixels one of its pixels stands for. A pixel_budget (not 0) reduces it
// further when it would have more pixels than that; lr_picture_coarse()
// then says 1, and a preview without a budget refines it.
int lr_preview(std::int32_t view_width, std::int32_t view_height, double pixel_budget);
std::int32_t lr_picture_coarse();

// The picture kept by the last lr_render or lr_preview, as red, green, blue,
// alpha bytes for a canvas (alpha 255); null when there is none. Valid until
// the next call that renders or opens.
const std::uint8_t* lr_picture_rgba();
std::int32_t lr_picture_width();
std::int32_t lr_picture_height();
double lr_picture_scale();

// Readouts, as five doubles valid until the next call.
// lr_view_readout: beta, gamma, and the least and the greatest Doppler
// factor of the light that reaches the observer from the picture as seen
// (NaN when none is seen), for the current settings and the whole source.
// lr_pixel_readout: for the point (x, y) of the shown picture (its pixel's
// column and row, plus 0.5 for its centre): 1 when some point of the source
// is seen there (0 and the rest 0 otherwise), the Doppler factor of its
// light, that point (source pixels), and how far its light came since it
// left (source pixels of light-travel).
const double* lr_view_readout();
const double* lr_pixel_readout(double x, double y);

// The source reduced to within a view of view_width by view_height pixels
// (every lr_original_scale()-th pixel), for showing the original beside the
// result; kept apart from lr_picture_*.
int lr_original(std::int32_t view_width, std::int32_t view_height);
const std::uint8_t* lr_original_rgba();
std::int32_t lr_original_width();
std::int32_t lr_original_height();
double lr_original_scale();

// The kept full render (lr_render's) as the JPEG or the PNG file
// lumirun-render writes.
int lr_export_jpeg();
int lr_export_png();

// A movie of frames frames at fps frames a second, the settings moving from
// their current values to speed_to (empty: the speed stays) and observer
// (x_to, y_to) (when observer_moves), as lumirun-render's --frames,
// --speed A:B, --observer X1,Y1:X2,Y2, --fps and --lossless make it, in an
// animated WebP: the pipeline's movie job, on one thread.
int lr_export_movie(std::int32_t frames, const char* fps, const char* speed_to, std::int32_t observer_moves,
                    std::int32_t x_to, std::int32_t y_to, std::int32_t lossless);

// The same movie made a frame at a time, for the page's videos, which
// wait for the browser's encoder between frames: lr_movie_start measures
// every frame and lays out the canvas; lr_movie_frame(0, 1, ... in order)
// renders one on it. Then lr_movie_rgba() holds the canvas as red, green,
// blue, alpha bytes and lr_movie_layout() two numbers, its width and
// height; both valid until the next call. A new open ends the movie. With
// a width and a height (both 0 for none) every frame is that size, as the
// command line's --size gives it:
// letterboxed (fill 0, --fit) or covering it cropped about the observer
// (fill 1, --fill).
int lr_movie_start(std::int32_t frames, const char* fps, const char* speed_to, std::int32_t observer_moves,
                   std::int32_t x_to, std::int32_t y_to, std::int32_t width, std::int32_t height,
                   std::int32_t fill);
int lr_movie_frame(std::int32_t frame);
const std::uint8_t* lr_movie_rgba();
const std::int32_t* lr_movie_layout();

// The name of the vector kernels the page's renders and previews use from
// now on: the widest the core has ("WebAssembly SIMD"), or with portable 1
// the one-lane ones ("portable"), to compare their pictures.
const char* lr_kernels(std::int32_t portable);

// The bytes of the last export; valid until the next call.
const std::uint8_t* lr_export_data();
std::size_t lr_export_size();
}

#endif

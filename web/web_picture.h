// What the page's core does with pictures, between the C interface
// (lumirun_api.cpp) and the portable core: rasters to and from the
// browser's pixels, the full render and the live preview with the command
// line's settings, and the JPEG and PNG exports in memory.
#ifndef LUMIRUN_WEB_WEB_PICTURE_H
#define LUMIRUN_WEB_WEB_PICTURE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/raster.h"
#include "pipeline/render_job.h"
#include "render/renderer.h"

// Overall progress of a long job, 0 to 100.
using percent_report = std::function<void(int percent)>;

// The most a source picture may take: a quarter of the 4 GiB a page can
// have, so that its render, the display copy and the export fit beside it.
constexpr std::uint64_t page_picture_bytes = std::uint64_t{1} << 30;

// True when a picture of that size would take more than page_picture_bytes.
bool passes_page_limit(std::int32_t width, std::int32_t height);

// "Image of size W by H is too large." and, when it passes the page's
// limit, that limit in pixels.
std::string page_too_large_text(std::int32_t width, std::int32_t height);

// The width and height a picture file's header declares, for the formats
// the browser may refuse for their size before decoding a pixel (PNG, GIF,
// BMP); false when the bytes start no such header.
bool declared_size(const std::uint8_t* bytes, std::size_t size, std::int32_t* width, std::int32_t* height);

// A raster of the browser's red, green, blue, alpha pixels (not
// premultiplied), laid on black as the PNG reader lays them, the width
// rounded up to 4 with black columns. Pixels absent (the size kept) when
// over memory_limit bytes or not to be had.
raster raster_from_rgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height,
                        std::uint64_t memory_limit);

// The picture (its image_width_of columns) as red, green, blue, alpha bytes
// (alpha 255) for a canvas; false when the memory cannot be had.
bool rgba_from_raster(const raster& picture, std::vector<std::uint8_t>* rgba);

// lumirun-render's render of source with options (its Doppler pass
// included) into *rendered; false with the lines to show in *messages.
// replaced as render_picture's.
bool render_for_page(const raster& source, const render_options& options, const percent_report& report,
                     raster* replaced, render_output* rendered, std::vector<std::string>* messages);

// The vector kernels of the page's renders and previews (not its movies):
// the widest the core has, or with portable the one-lane ones, which give
// the same bytes (the page's test compares them). Returns the name of the
// kernels used from now on.
const char* use_page_kernels(bool portable);

// A picture as shown, and what it was rendered from: enough to say, for
// any of its pixels, where its light came from (web/web_readout.h).
struct preview_output {
    raster picture;      // absent on failure
    double scale = 1.0;  // source pixels per pixel of the picture
    render_settings settings;  // the (reduced) source's, observer included
    position_box box{0.0, 0.0, 0.0, 0.0};
    std::int32_t source_width = 0;  // of the (reduced) source rendered
    std::int32_t source_height = 0;
    bool coarse = false;  // reduced past the view's factor to keep within a pixel budget
};

// What one preview keeps for the next, while a slider moves: the source
// reduced by the last factor.
struct preview_memory {
    const unsigned char* source_pixels = nullptr;
    std::int32_t factor = 0;
    raster reduced;
};

// A render quick enough to follow a slider, about the size of a view of
// view_width by view_height pixels: the source reduced by the least whole
// factor that brings the smooth canvas for these settings within the view
// (the current view alone, whatever came before); with a pixel_budget (not 0) reduced
// further when its picture would have more pixels than that (coarse), so
// that a preview takes about the time the page can give it.
preview_output preview_for_page(const raster& source, const render_options& options, std::int32_t view_width,
                                std::int32_t view_height, double pixel_budget, preview_memory* memory,
                                std::vector<std::string>* messages);

// The source itself, reduced (every factor-th pixel) to within a view of
// view_width by view_height pixels, as the original beside a result.
preview_output original_for_page(const raster& source, std::int32_t view_width, std::int32_t view_height,
                                 std::vector<std::string>* messages);

// The JPEG or PNG file lumirun-render writes for picture with its default
// settings (JPEG quality 100 at 4:2:0, 8-bit PNG), in memory.
bool picture_bytes(const raster& picture, picture_format format, std::vector<std::uint8_t>* bytes,
                   std::vector<std::string>* messages);

#endif

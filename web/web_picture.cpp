#include "web/web_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/jpeg_file.h"
#include "image/png_file.h"
#include "image/safe_save.h"
#include "pipeline/doppler_map.h"
#include "pipeline/picture_job.h"
#include "render/fast/kernels.h"

bool passes_page_limit(std::int32_t width, std::int32_t height)
{
    std::int32_t rounded = 0;
    std::size_t bytes = 0;
    return !round_width_to_4(width, &rounded) || !raster_byte_count(rounded, height, &bytes)
           || bytes > page_picture_bytes;
}

std::string page_too_large_text(std::int32_t width, std::int32_t height)
{
    raster picture;
    picture.width = width;
    picture.height = height;
    const std::string text = too_large_text(picture);
    if (!passes_page_limit(width, height))
        return text;
    // 3 bytes a pixel.
    return text.substr(0, text.size() - 1) + ": this page opens pictures of at most "
           + std::to_string(page_picture_bytes / 3 / 1000000) + " million pixels.";
}

namespace {

std::uint32_t big_endian(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t little_endian(const std::uint8_t* p, int count)
{
    std::uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k)
        value = value << 8 | p[k];
    return value;
}

}  // namespace

bool declared_size(const std::uint8_t* bytes, std::size_t size, std::int32_t* width, std::int32_t* height)
{
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (size >= 24 && is_png_signature(bytes, size) && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
        w = big_endian(bytes + 16);
        h = big_endian(bytes + 20);
    } else if (size >= 10 && (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0)) {
        w = little_endian(bytes + 6, 2);
        h = little_endian(bytes + 8, 2);
    } else if (size >= 26 && bytes[0] == 'B' && bytes[1] == 'M' && little_endian(bytes + 14, 4) >= 40) {
        // A negative height: rows from the top.
        w = little_endian(bytes + 18, 4);
        h = little_endian(bytes + 22, 4);
        h = h > 0x80000000u ? 0u - h : h;
    }
    if (w < 1 || h < 1 || w > 0x7fffffffu || h > 0x7fffffffu)
        return false;
    *width = static_cast<std::int32_t>(w);
    *height = static_cast<std::int32_t>(h);
    return true;
}

raster raster_from_rgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height,
                        std::uint64_t memory_limit)
{
    std::int32_t padded = 0;
    if (width < 1 || height < 1 || !round_width_to_4(width, &padded))
        return raster{};
    raster picture = allocate_raster(padded, height, memory_limit);
    if (!picture.pixels)
        return picture;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = rgba + std::size_t(y) * width * 4;
        unsigned char* to = picture.pixels.get() + std::size_t(y) * padded * 3;
        for (std::int32_t x = 0; x < width; ++x, from += 4, to += 3) {
            const unsigned alpha = from[3];
            to[0] = static_cast<unsigned char>((from[2] * alpha + 127) / 255);
            to[1] = static_cast<unsigned char>((from[1] * alpha + 127) / 255);
            to[2] = static_cast<unsigned char>((from[0] * alpha + 127) / 255);
        }
    }
    picture.image_width = width;
    picture.rows_filled = height;
    return picture;
}

bool rgba_from_raster(const raster& picture, std::vector<std::uint8_t>* rgba)
{
    // The picture's own columns, without the raster's alignment.
    const std::int32_t width = image_width_of(picture);
    try {
        rgba->resize(std::size_t(width) * picture.height * 4);
    } catch (const std::bad_alloc&) {
        rgba->clear();
        return false;
    }
    std::uint8_t* to = rgba->data();
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const unsigned char* from = picture.pixels.get() + std::size_t(y) * picture.width * 3;
        for (std::int32_t x = 0; x < width; ++x, from += 3, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = 255;
        }
    }
    return true;
}

namespace {

// The kernels use_page_kernels chose.
render_machine page_kernels;

// The options' threads: one in the page (lumirun_api.cpp).
render_settings page_settings(const render_options& options, const raster& source)
{
    render_settings settings = settings_for(options, source);
    settings.largest_side = largest_jpeg_side;
    settings.machine.simd_chosen = page_kernels.simd_chosen;
    settings.machine.simd = page_kernels.simd;
    return settings;
}

render_progress render_report(const percent_report& report)
{
    return [report](int pass, int percent, std::int32_t) {
        if (report)
            report((pass == 1 ? 0 : 50) + percent / 2);
    };
}

// Every factor-th pixel of every factor-th row.
raster reduced(const raster& source, std::int32_t factor)
{
    const std::int32_t image_width = (image_width_of(source) + factor - 1) / factor;
    const std::int32_t height = (source.height + factor - 1) / factor;
    std::int32_t width = 0;
    if (!round_width_to_4(image_width, &width))
        return raster{};
    raster small = allocate_raster(width, height);
    if (!small.pixels)
        return small;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < image_width; ++x)
            std::memcpy(small.pixels.get() + (std::size_t(y) * width + x) * 3,
                        source.pixels.get() + (std::size_t(y) * factor * source.width + std::size_t(x) * factor) * 3,
                        3);
    small.image_width = image_width;
    small.rows_filled = height;
    return small;
}

// render_picture calls its progress whatever it is.
const render_progress no_progress = [](int, int, std::int32_t) {};

}  // namespace

const char* use_page_kernels(bool portable)
{
    page_kernels.simd_chosen = portable;
    page_kernels.simd = simd_level::portable;
    return kernels_for(page_kernels).name;
}

bool render_for_page(const raster& source, const render_options& options, const percent_report& report,
                     raster* replaced, render_output* rendered, std::vector<std::string>* messages)
{
    render_settings settings = page_settings(options, source);
    colour_table_cache tables;
    ask_for_seen_light(options, &tables, &settings);
    *rendered = render_picture(source, settings, render_report(report), replaced);
    if (rendered->status != render_status::done) {
        messages->push_back(render_failure_text(*rendered));
        return false;
    }
    if (!apply_colour(options, options.colour, settings, rendered, messages, &tables))
        return false;
    if (options.doppler_map)
        draw_doppler_legend(&rendered->picture);
    return true;
}

namespace {

// The smooth renderer's canvas for the options' settings, in pixels; the
// source's size when it is too large to count.
void preview_canvas(const raster& source, const render_options& options, double* width, double* height)
{
    render_options quick = options;
    quick.method = render_method::smooth;
    render_settings settings = page_settings(quick, source);
    settings.largest_side = 0;
    const render_output measured = measure_picture(source, settings, no_progress);
    // A canvas too large to count in pixels: as small as the view lets the
    // source be; its render then says what it cannot do.
    *width = measured.picture.height > 0 ? image_width_of(measured.picture) : image_width_of(source);
    *height = measured.picture.height > 0 ? measured.picture.height : source.height;
}

std::int32_t whole_factor(double ratio)
{
    if (!(ratio < 1e9))
        return 1000000000;
    return std::max(1, static_cast<std::int32_t>(std::ceil(ratio - 1e-9)));
}

std::int32_t fit_factor(double width, double height, std::int32_t view_width, std::int32_t view_height)
{
    return whole_factor(std::max(width / std::max(1, view_width), height / std::max(1, view_height)));
}

// The least whole factor that brings a picture of width by height pixels
// within pixel_budget pixels when both its sides shrink by it (1 when the
// budget is 0, no limit).
std::int32_t budget_factor(double width, double height, double pixel_budget)
{
    if (!(pixel_budget > 0.0))
        return 1;
    return whole_factor(std::sqrt(width * height / pixel_budget));
}

}  // namespace

// The smooth renderer on a source reduced to about the view's size: gap-free
// and quick enough to follow a slider.
preview_output preview_for_page(const raster& source, const render_options& options, std::int32_t view_width,
                                std::int32_t view_height, double pixel_budget, preview_memory* memory,
                                std::vector<std::string>* messages)
{
    render_options quick = options;
    quick.method = render_method::smooth;
    double width = 0.0;
    double height = 0.0;
    preview_canvas(source, options, &width, &height);
    const std::int32_t fit = fit_factor(width, height, view_width, view_height);
    const std::int32_t factor = std::max(fit, budget_factor(width, height, pixel_budget));
    if (memory->source_pixels != source.pixels.get() || memory->factor != factor) {
        memory->reduced = factor == 1 ? raster{} : reduced(source, factor);
        memory->source_pixels = source.pixels.get();
        memory->factor = factor;
        if (factor > 1 && !memory->reduced.pixels) {
            memory->factor = 0;
            messages->push_back("Error: Not enough memory to render the new image!");
            return preview_output{};
        }
    }
    const raster& small = factor == 1 ? source : memory->reduced;
    render_settings settings = page_settings(quick, source);
    settings.observer.observer_x /= factor;
    settings.observer.observer_y /= factor;
    colour_table_cache tables;
    ask_for_seen_light(quick, &tables, &settings);
    render_output rendered = render_picture(small, settings, no_progress);
    if (rendered.status != render_status::done) {
        messages->push_back(render_failure_text(rendered));
        return preview_output{};
    }
    if (!apply_colour(quick, quick.colour, settings, &rendered, messages, &tables))
        return preview_output{};
    if (quick.doppler_map)
        draw_doppler_legend(&rendered.picture);
    return preview_output{std::move(rendered.picture), double(factor), settings, rendered.box, image_width_of(small),
                          small.height, factor > fit};
}

preview_output original_for_page(const raster& source, std::int32_t view_width, std::int32_t view_height,
                                 std::vector<std::string>* messages)
{
    const double ratio = std::max(double(image_width_of(source)) / std::max(1, view_width),
                                  double(source.height) / std::max(1, view_height));
    const std::int32_t factor = std::max(1, static_cast<std::int32_t>(std::ceil(ratio - 1e-9)));
    preview_output out;
    out.picture = reduced(source, factor);
    out.scale = factor;
    if (!out.picture.pixels)
        messages->push_back("Error: Not enough memory to show the picture!");
    return out;
}

bool picture_bytes(const raster& picture, picture_format format, std::vector<std::uint8_t>* bytes,
                   std::vector<std::string>* messages)
{
    const char* name = format == picture_format::png ? "lumirun.png" : "lumirun.jpg";
    const std::string no_memory = std::string("Error: Not enough memory to write the ")
                                  + (format == picture_format::png ? "PNG" : "JPEG") + " file!";
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&data, &size);
    if (!stream) {
        messages->push_back(no_memory);
        return false;
    }
    std::string reason;
    bool written = false;
    if (format == picture_format::png) {
        written = write_png(stream, picture, &reason);
        if (!written)
            reason = cannot_write_text(name, reason);
    } else {
        const jpeg_write write = write_jpeg_stream(stream, name, picture, 100);
        written = write.result == 0;
        reason = write.message;
    }
    const bool closed = std::fclose(stream) == 0;
    if (written && closed)
        bytes->assign(data, data + size);
    std::free(data);
    if (!written || !closed) {
        messages->push_back(reason.empty() ? no_memory : reason);
        return false;
    }
    return true;
}

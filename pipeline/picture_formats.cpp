#include "pipeline/picture_formats.h"

#include <cstdio>
#include <utility>

#include "image/colour_profile.h"
#include "image/exif_orientation.h"
#include "image/jpeg_file.h"
#include "image/file_handle.h"
#include "image/png_file.h"
#include "image/safe_save.h"
#include "image/webp_file.h"
#include "pipeline/standard_streams.h"

namespace {

std::string lower_extension(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string extension = name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

// What a read found, whichever its format.
struct source_read {
    bool ok = false;
    raster picture;
    std::int32_t image_width = 0;
    std::vector<unsigned char> icc_profile;
    std::vector<unsigned char> exif;
};

// What a reader that succeeded found: a jpeg_read or a png_read.
template <class Read>
void take_source(Read* read, source_read* source)
{
    source->ok = true;
    source->picture = std::move(read->picture);
    source->image_width = read->image_width;
    source->icc_profile = std::move(read->icc_profile);
    source->exif = std::move(read->exif);
}

// A JPEG file (or stream) read as the viewer reads it, its messages as the
// viewer's boxes and the library's lines.
void read_jpeg(std::FILE* file, const char* name, source_read* source, std::vector<std::string>* messages)
{
    jpeg_read_limits limits;
    limits.keep_metadata = true;
    jpeg_read read = read_jpeg_stream(file, name, limits);
    append_jpeg_read_lines(read, messages);
    if (read.result == 0)
        take_source(&read, source);
}

void read_png(std::FILE* file, source_read* source, std::vector<std::string>* messages)
{
    png_read read = read_png_stream(file);
    if (read.result != 0)
        messages->push_back(read.too_large ? too_large_text(read.picture) : read.message);
    else
        take_source(&read, source);
}

// A PNG file starts with byte 0x89; anything else goes to the JPEG reader,
// whose messages name what it found. The byte is put back for the reader.
void read_any(std::FILE* file, const char* name, source_read* source, std::vector<std::string>* messages)
{
    const int first = std::fgetc(file);
    if (first != EOF)
        std::ungetc(first, file);
    if (first == 0x89)
        read_png(file, source, messages);
    else
        read_jpeg(file, name, source, messages);
}

bool write_to(const std::string& name, const stream_writer& write, std::vector<std::string>* messages)
{
    if (name == "-") {
        use_binary_mode(stdout);
        std::string reason;
        if (write(stdout, &reason) && std::fflush(stdout) == 0)
            return true;
        messages->push_back(cannot_write_text("(standard output)", reason));
        return false;
    }
    const save_result saved = save_file(name.c_str(), write);
    if (saved.result != 0 && !saved.message.empty())
        messages->push_back(saved.message);
    return saved.result == 0;
}

}  // namespace

void append_jpeg_read_lines(const jpeg_read& read, std::vector<std::string>* messages)
{
    if (!read.library_warning.empty())
        messages->push_back("warning: " + read.library_warning);
    if (!read.library_error.empty())
        messages->push_back(read.library_error);
    if (read.result == 0)
        return;
    if (!read.message.empty())
        messages->push_back(read.message);
    if (read.too_large)
        messages->push_back(too_large_text(read.picture));
}

bool picture_format_of(const std::string& name, picture_format* format)
{
    const std::string extension = lower_extension(name);
    if (extension == "jpg" || extension == "jpeg")
        *format = picture_format::jpeg;
    else if (extension == "png")
        *format = picture_format::png;
    else if (extension == "webp")
        *format = picture_format::webp;
    else
        return false;
    return true;
}

bool picture_format_named(const std::string& text, picture_format* format)
{
    return (text == "jpeg" || text == "png" || text == "webp") && picture_format_of("." + text, format);
}

bool read_picture(const render_options& options, raster* picture, std::vector<std::string>* messages)
{
    source_read source;
    if (options.input == "-") {
        use_binary_mode(stdin);
        read_any(stdin, "(standard input)", &source, messages);
    } else {
        std::string reason;
        const file_handle file = open_for_reading(options.input.c_str(), &reason);
        if (!file)
            messages->push_back("Error: Can't open file " + options.input + " for reading"
                                + (reason.empty() ? "." : ": " + reason + "."));
        else
            read_any(file.get(), options.input.c_str(), &source, messages);
    }
    if (!source.ok) {
        messages->push_back("Error opening file " + options.input + ".");
        return false;
    }
    if (!source.icc_profile.empty()) {
        const std::string warning = convert_to_srgb(&source.picture, source.image_width, source.icc_profile);
        if (!warning.empty())
            messages->push_back("warning: " + warning + ".");
    }
    const int orientation = options.auto_orient ? exif_orientation(source.exif.data(), source.exif.size()) : 1;
    source.picture.image_width = source.image_width;
    if (orientation != 1) {
        std::int32_t turned_width = 0;
        raster turned = orient_picture(source.picture, source.image_width, orientation, &turned_width);
        if (!turned.pixels) {
            messages->push_back(too_large_text(turned));
            messages->push_back("Error opening file " + options.input + ".");
            return false;
        }
        source.picture = std::move(turned);
        source.picture.image_width = turned_width;
    }
    *picture = std::move(source.picture);
    return true;
}

void widen_row(const raster& picture, std::int32_t y, std::uint16_t* rgb)
{
    const unsigned char* row = picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3;
    for (std::int32_t x = 0; x < image_width_of(picture); ++x) {
        rgb[3 * x] = static_cast<std::uint16_t>(row[3 * x + 2] * 257);
        rgb[3 * x + 1] = static_cast<std::uint16_t>(row[3 * x + 1] * 257);
        rgb[3 * x + 2] = static_cast<std::uint16_t>(row[3 * x] * 257);
    }
}

bool write_picture(const render_options& options, picture_format format, const std::string& name,
                   const raster& picture, std::vector<std::string>* messages)
{
    if (save_picture(options, format, name, picture, messages))
        return true;
    messages->push_back("Error saving file " + name + ".");
    return false;
}

bool save_picture(const render_options& options, picture_format format, const std::string& name,
                  const raster& picture, std::vector<std::string>* messages)
{
    bool written = false;
    if (format == picture_format::jpeg) {
        // The viewer's own save: the same checks and the same bytes.
        jpeg_write write;
        if (name == "-") {
            use_binary_mode(stdout);
            write = write_jpeg_stream(stdout, "(standard output)", picture, options.jpeg_quality, options.full_chroma);
        } else {
            write = write_jpeg_file(name.c_str(), picture, options.jpeg_quality, options.full_chroma);
        }
        if (write.result != 0 && !write.message.empty())
            messages->push_back(write.message);
        written = write.result == 0;
    } else if (format == picture_format::png) {
        written = write_to(name, [&](std::FILE* file, std::string* reason) {
            if (options.depth != 16)
                return write_png(file, picture, reason);
            return write_png16(file, image_width_of(picture), picture.height,
                               [&picture](std::int32_t y, std::uint16_t* rgb) { widen_row(picture, y, rgb); },
                               reason);
        }, messages);
    } else {
        // Encoded before the file is touched: a refusal changes nothing.
        std::vector<unsigned char> bytes;
        std::string reason;
        if (!encode_webp_picture(picture, options.lossless, webp_photo_quality, &bytes, &reason)) {
            messages->push_back(cannot_write_text(name == "-" ? "(standard output)" : name.c_str(), reason));
        } else {
            written = write_to(name, [&bytes](std::FILE* file, std::string* why) {
                if (std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size())
                    return true;
                *why = "Output file write error";
                return false;
            }, messages);
        }
    }
    return written;
}

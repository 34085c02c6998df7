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

// What a reader that succeeded found (a jpeg_read or a png_read): its
// profile's colours converted to sRGB, then, when auto_orient, turned as
// its Exif orientation says.
template <class Read>
void take_picture(Read* read, bool auto_orient, picture_read* source)
{
    if (!read->icc_profile.empty()) {
        const std::string warning = convert_to_srgb(&read->picture, read->image_width, read->icc_profile,
                                                    read->colours);
        if (!warning.empty())
            source->messages.push_back({read_message_kind::warning, warning + "."});
    }
    const int orientation = auto_orient ? exif_orientation(read->exif.data(), read->exif.size()) : 1;
    read->picture.image_width = read->image_width;
    if (orientation == 1) {
        source->ok = true;
        source->picture = std::move(read->picture);
        return;
    }
    std::int32_t turned_width = 0;
    raster turned = orient_picture(read->picture, read->image_width, orientation, &turned_width);
    if (!turned.pixels) {
        source->messages.push_back({read_message_kind::failure, too_large_text(turned)});
        return;
    }
    source->ok = true;
    source->picture = std::move(turned);
    source->picture.image_width = turned_width;
}

// The messages of a JPEG read, in the order the command line prints them:
// the library's warning and error, then, when it failed, the box's text and
// the size that could not be had.
void add_jpeg_messages(const jpeg_read& read, std::vector<read_message>* messages)
{
    if (!read.library_warning.empty())
        messages->push_back({read_message_kind::warning, read.library_warning});
    if (!read.library_error.empty())
        messages->push_back({read_message_kind::library_error, read.library_error});
    if (read.result == 0)
        return;
    if (!read.message.empty())
        messages->push_back({read_message_kind::failure, read.message});
    if (read.too_large)
        messages->push_back({read_message_kind::failure, too_large_text(read.picture)});
}

// A JPEG file (or stream) read as the viewer has always read it. The rows
// of a read that failed part way are kept for the viewer to show.
void read_jpeg(std::FILE* file, const char* name, bool auto_orient, std::uint64_t memory_limit,
               picture_read* source)
{
    jpeg_read_limits limits;
    limits.memory = memory_limit;
    limits.keep_metadata = true;
    jpeg_read read = read_jpeg_stream(file, name, limits);
    add_jpeg_messages(read, &source->messages);
    if (read.result == 0)
        take_picture(&read, auto_orient, source);
    else
        source->picture = std::move(read.picture);
}

void read_png(std::FILE* file, bool auto_orient, std::uint64_t memory_limit, picture_read* source)
{
    png_read read = read_png_stream(file, memory_limit);
    if (read.result != 0) {
        source->messages.push_back(
            {read_message_kind::failure, read.too_large ? too_large_text(read.picture) : read.message});
        source->picture = std::move(read.picture);
    } else
        take_picture(&read, auto_orient, source);
}

// A read's lines as the command line prints them, the last naming the file
// when it gave no picture.
bool take_read(picture_read* read, const std::string& input, raster* picture, std::vector<std::string>* messages)
{
    for (const read_message& message : read->messages)
        messages->push_back(command_line_text(message));
    if (!read->ok) {
        messages->push_back("Error opening file " + input + ".");
        return false;
    }
    *picture = std::move(read->picture);
    return true;
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
    std::vector<read_message> said;
    add_jpeg_messages(read, &said);
    for (const read_message& message : said)
        messages->push_back(command_line_text(message));
}

std::string command_line_text(const read_message& message)
{
    return message.kind == read_message_kind::warning ? "warning: " + message.text : message.text;
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

picture_read read_picture_stream(std::FILE* file, const std::string& name, bool auto_orient,
                                 std::uint64_t memory_limit)
{
    // A PNG file starts with byte 0x89; anything else goes to the JPEG
    // reader, whose messages name what it found. The byte is put back for
    // the reader.
    const int first = std::fgetc(file);
    if (first != EOF)
        std::ungetc(first, file);
    picture_read source;
    if (first == 0x89)
        read_png(file, auto_orient, memory_limit, &source);
    else
        read_jpeg(file, name.c_str(), auto_orient, memory_limit, &source);
    return source;
}

bool read_picture(const render_options& options, raster* picture, std::vector<std::string>* messages)
{
    picture_read read;
    if (options.input == "-") {
        use_binary_mode(stdin);
        read = read_picture_stream(stdin, "(standard input)", options.auto_orient, options.source_memory);
    } else {
        std::string reason;
        const file_handle file = open_for_reading(options.input.c_str(), &reason);
        if (!file) {
            messages->push_back("Error: Can't open file " + options.input + " for reading"
                                + (reason.empty() ? "." : ": " + reason + "."));
            messages->push_back("Error opening file " + options.input + ".");
            return false;
        }
        read = read_picture_stream(file.get(), options.input, options.auto_orient, options.source_memory);
    }
    return take_read(&read, options.input, picture, messages);
}

bool read_picture_stream(std::FILE* file, const std::string& name, const render_options& options, raster* picture,
                         std::vector<std::string>* messages)
{
    picture_read read = read_picture_stream(file, name, options.auto_orient, options.source_memory);
    return take_read(&read, name, picture, messages);
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

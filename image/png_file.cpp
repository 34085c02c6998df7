#include "image/png_file.h"

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>

namespace {

// libpng's own error handling would print and abort the process: ours keeps
// the message and jumps back to the recovery point. Warnings (a damaged
// ancillary chunk, say) change nothing the user sees and are dropped.
struct png_error_state {
    char message[200];
    int write_error;  // errno of a write that failed, for the system's reason
};

void keep_error(png_structp png, png_const_charp text)
{
    auto* state = static_cast<png_error_state*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", text);
    png_longjmp(png, 1);
}

void drop_warning(png_structp, png_const_charp) {}

// libpng's own writer says only "Write Error": ours keeps errno.
void write_data(png_structp png, png_bytep data, png_size_t length)
{
    errno = 0;
    if (std::fwrite(data, 1, length, static_cast<std::FILE*>(png_get_io_ptr(png))) != length) {
        static_cast<png_error_state*>(png_get_error_ptr(png))->write_error = errno != 0 ? errno : EIO;
        png_error(png, "Write Error");
    }
}

void flush_data(png_structp png)
{
    errno = 0;
    if (std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png))) != 0) {
        static_cast<png_error_state*>(png_get_error_ptr(png))->write_error = errno != 0 ? errno : EIO;
        png_error(png, "Write Error");
    }
}

// The transformations that turn any PNG into 8-bit blue, green, red, alpha
// (opaque where the file has no transparency), the samples as stored: no
// gamma correction is asked for. The file's profile is kept for the caller.
void choose_output(png_structp png, png_infop info, png_read* read)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile && length > 0)
        read->icc_profile.assign(profile, profile + length);
    // An eXIf chunk before the image data holds the TIFF structure alone:
    // given the header a JPEG's Exif segment has. It comes as a chunk kept
    // unread by libpng (see read_png_stream), the first one.
    png_unknown_chunkp chunks = nullptr;
    const int count = png_get_unknown_chunks(png, info, &chunks);
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(chunks[i].name, "eXIf", 4) != 0 || chunks[i].size == 0 || !chunks[i].data)
            continue;
        static const unsigned char header[] = {'E', 'x', 'i', 'f', 0, 0};
        read->exif.assign(header, header + sizeof header);
        read->exif.insert(read->exif.end(), chunks[i].data, chunks[i].data + chunks[i].size);
        break;
    }
    if ((png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0)
        read->colours = stored_colour::grey;
    png_set_expand(png);    // palette to colour, grey below 8 bits to 8, transparency to alpha
    png_set_scale_16(png);  // 16 to 8 bits, rounded
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_set_bgr(png);
}

struct png_layout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;
};

// The header and the transformations: nothing the size of the picture is
// allocated yet, by libpng or by us.
std::int32_t read_header(png_structp png, png_infop info, std::FILE* file, png_read* read, png_layout* layout)
{
    png_init_io(png, file);
    png_read_info(png, info);
    choose_output(png, info, read);
    layout->passes = png_set_interlace_handling(png);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    return 0;
}

std::int32_t header_with_recovery(png_structp png, png_infop info, std::FILE* file, png_read* read,
                                  png_layout* layout)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    return read_header(png, info, file, read, layout);
}

// libpng's row buffers are allocated here, once the memory check has
// allowed them.
std::int32_t start_rows(png_structp png, png_infop info)
{
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8)
        png_error(png, "unexpected sample layout after conversion");
    return 0;
}

std::int32_t start_with_recovery(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    return start_rows(png, info);
}

// Our rows, 4 bytes a pixel: all of them at once for an interlaced file
// (whose later passes fill in the rows the earlier ones left), else one.
std::uint64_t row_bytes(const png_layout& layout)
{
    const std::uint64_t row = 4 * std::uint64_t{layout.width};
    return layout.passes > 1 ? row * layout.height : row;
}

// libpng's two row buffers, the row being read and the one before it: up
// to 8 bytes a pixel (16-bit colour and alpha), with a few of its own.
std::uint64_t library_bytes(const png_layout& layout)
{
    return 2 * (8 * (std::uint64_t{layout.width} + 8) + 64);
}

// Lays a row of blue, green, red, alpha on black: each colour times its
// alpha, rounded.
void lay_on_black(const unsigned char* bgra, png_uint_32 width, unsigned char* bgr)
{
    for (png_uint_32 x = 0; x < width; ++x) {
        const unsigned alpha = bgra[4 * x + 3];
        for (int c = 0; c < 3; ++c)
            bgr[3 * x + c] = static_cast<unsigned char>((bgra[4 * x + c] * alpha + 127) / 255);
    }
}

// The rows, into the raster: one at a time, or for an interlaced file
// (whose later passes fill in the rows the earlier ones left) all of them
// into rows first.
std::int32_t read_rows(png_structp png, const png_layout* layout, unsigned char* rows, raster* picture)
{
    const std::size_t stride = 4 * static_cast<std::size_t>(layout->width);
    const std::size_t raster_stride = 3 * static_cast<std::size_t>(picture->width);
    for (int pass = 0; pass < layout->passes; ++pass)
        for (png_uint_32 y = 0; y < layout->height; ++y) {
            unsigned char* row = layout->passes > 1 ? rows + y * stride : rows;
            png_read_row(png, row, nullptr);
            if (layout->passes == 1)
                lay_on_black(row, layout->width, picture->pixels.get() + y * raster_stride);
        }
    if (layout->passes > 1)
        for (png_uint_32 y = 0; y < layout->height; ++y)
            lay_on_black(rows + y * stride, layout->width, picture->pixels.get() + y * raster_stride);
    png_read_end(png, nullptr);
    return 0;
}

std::int32_t rows_with_recovery(png_structp png, const png_layout* layout, unsigned char* rows, raster* picture)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    return read_rows(png, layout, rows, picture);
}

// Reads the picture with png and info made; 1 on failure (the library's
// message in its error state, or read->too_large). Every buffer the size of
// the picture is counted against the memory before any is allocated, and
// comes cleared from calloc, so that a file that promises a large picture
// and ends early costs neither the memory nor the time of clearing it.
std::int32_t read_picture(png_structp png, png_infop info, std::FILE* file, std::uint64_t memory_limit,
                          png_read* read)
{
    png_layout layout;
    if (header_with_recovery(png, info, file, read, &layout) != 0)
        return 1;
    // PNG sides are below 2^31; libpng takes at most a million pixels.
    const auto width = static_cast<std::int32_t>(layout.width);
    const auto height = static_cast<std::int32_t>(layout.height);
    std::int32_t rounded = 0;
    const std::uint64_t beside = row_bytes(layout) + library_bytes(layout);
    const std::uint64_t limit = memory_limit != 0 ? memory_limit : memory_available();
    raster_buffer rows;
    if (round_width_to_4(width, &rounded) && beside <= max_raster_bytes && (limit == 0 || beside < limit)) {
        read->picture = allocate_raster(rounded, height, limit != 0 ? limit - beside : 0);
        if (read->picture.pixels)
            rows.reset(static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(row_bytes(layout)), 1)));
    }
    if (!rows) {
        // Told with the file's own size.
        read->picture = raster{};
        read->picture.width = width;
        read->picture.height = height;
        read->too_large = true;
        return 1;
    }
    read->image_width = width;
    if (start_with_recovery(png, info) != 0 || rows_with_recovery(png, &layout, rows.get(), &read->picture) != 0)
        return 1;
    read->picture.rows_filled = read->picture.height;
    return 0;
}

// Writes the header (with an sRGB chunk: the pixels are sRGB) and then
// rows, each made by row(y) into the buffer.
struct png_writer {
    std::int32_t width;
    std::int32_t height;
    int depth;
    const std::function<const unsigned char*(std::int32_t y)>* row;
};

std::int32_t write_steps(png_structp png, png_infop info, std::FILE* file, const png_writer* writer, bool bgr)
{
    png_set_write_fn(png, file, write_data, flush_data);
    png_set_IHDR(png, info, static_cast<png_uint_32>(writer->width), static_cast<png_uint_32>(writer->height),
                 writer->depth, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    if (bgr)
        png_set_bgr(png);
    for (std::int32_t y = 0; y < writer->height; ++y)
        png_write_row(png, (*writer->row)(y));
    png_write_end(png, info);
    return 0;
}

std::int32_t write_with_recovery(png_structp png, png_infop info, std::FILE* file, const png_writer* writer, bool bgr)
{
    if (setjmp(png_jmpbuf(png)))
        return 1;
    return write_steps(png, info, file, writer, bgr);
}

bool write_rows(std::FILE* file, const png_writer& writer, bool bgr, std::string* reason)
{
    if (writer.width < 1 || writer.height < 1) {
        *reason = "the picture is empty";
        return false;
    }
    png_error_state state{};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, keep_error, drop_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        *reason = "not enough memory";
        return false;
    }
    const std::int32_t result = write_with_recovery(png, info, file, &writer, bgr);
    png_destroy_write_struct(&png, &info);
    if (result != 0) {
        *reason = state.write_error != 0 ? std::strerror(state.write_error) : state.message;
        return false;
    }
    if (std::fflush(file) != 0) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool is_png_signature(const unsigned char* bytes, std::size_t size)
{
    return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

// The most one ancillary chunk may take.
constexpr png_alloc_size_t chunk_memory_limit = png_alloc_size_t{16} << 20;

png_read read_png_stream(std::FILE* file, std::uint64_t memory_limit)
{
    png_read read;
    png_error_state state{};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, keep_error, drop_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        read.message = "not enough memory";
        return read;
    }
    // libpng has an ancillary chunk's whole declared length before reading
    // it: a few bytes that declare a gigabyte would cost one. The chunks
    // nothing here uses (text, palettes and calibrations for other uses)
    // are skipped unread instead; eXIf is taken as a chunk libpng does not
    // know, whose size it bounds, as it bounds a profile's unpacked size.
    static const png_byte unused[] = {'t', 'E', 'X', 't', 0, 'z', 'T', 'X', 't', 0, 'i', 'T', 'X', 't', 0,
                                      's', 'P', 'L', 'T', 0, 'p', 'C', 'A', 'L', 0, 's', 'C', 'A', 'L', 0};
    static const png_byte exif[] = {'e', 'X', 'I', 'f', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unused, 6);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, exif, 1);
    png_set_chunk_malloc_max(png, chunk_memory_limit);
    read.result = read_picture(png, info, file, memory_limit, &read);
    png_destroy_read_struct(&png, &info, nullptr);
    // libpng's own words name the chunk at fault; its reader says only
    // "Read Error" when the file ends early.
    if (read.result != 0 && !read.too_large)
        read.message = std::string("Damaged or unsupported PNG file: ")
                       + (std::strcmp(state.message, "Read Error") == 0 ? "it ends before its picture does"
                                                                         : state.message);
    return read;
}

bool write_png(std::FILE* file, const raster& picture, std::string* reason)
{
    const std::size_t stride = 3 * static_cast<std::size_t>(picture.width);
    const std::function<const unsigned char*(std::int32_t)> row = [&picture, stride](std::int32_t y) {
        return picture.pixels.get() + static_cast<std::size_t>(y) * stride;
    };
    return write_rows(file, png_writer{image_width_of(picture), picture.height, 8, &row}, true, reason);
}

bool write_png16(std::FILE* file, std::int32_t width, std::int32_t height, const png_rows16& rows,
                 std::string* reason)
{
    std::vector<std::uint16_t> samples(3 * static_cast<std::size_t>(width > 0 ? width : 0));
    std::vector<unsigned char> bytes(2 * samples.size());
    // PNG keeps 16-bit samples most significant byte first.
    const std::function<const unsigned char*(std::int32_t)> row = [&](std::int32_t y) {
        rows(y, samples.data());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            bytes[2 * i] = static_cast<unsigned char>(samples[i] >> 8);
            bytes[2 * i + 1] = static_cast<unsigned char>(samples[i] & 0xff);
        }
        return static_cast<const unsigned char*>(bytes.data());
    };
    return write_rows(file, png_writer{width, height, 16, &row}, false, reason);
}

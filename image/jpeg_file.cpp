#include "image/jpeg_file.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/file_handle.h"
#include "image/file_replace.h"
#include "image/temporary_file.h"
#include "image/jpeg_library.h"

#include <jerror.h>

// The library reports a fatal error by calling error_exit, which must not
// return. Ours jump back to a recovery point set in a small function that
// holds no C++ object with a destructor, so the jump skips no cleanup; the
// callers of those functions own the stream and destroy the library object.

namespace {

struct reader_error_manager {
    jpeg_error_mgr pub;  // first: the library's err pointer is also a pointer to this
    std::jmp_buf recovery;
};

struct writer_error_manager {
    jpeg_error_mgr pub;  // first, as above
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
};

void reader_error_exit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<reader_error_manager*>(cinfo->err)->recovery, 1);
}

void writer_error_exit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<writer_error_manager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->recovery, 1);
}

// Ends the read the way the library's own errors do, with its message for a
// colour conversion it cannot make.
void refuse_colour_space(jpeg_decompress_struct* cinfo)
{
    cinfo->err->msg_code = JERR_CONVERSION_NOTIMPL;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
}

// Chooses what the library delivers: blue, green, red for one and three
// components, CMYK for four (the library turns YCCK into CMYK; we convert
// the rest). Any other count is refused before the raster is allocated.
void choose_output_colour(jpeg_decompress_struct* cinfo)
{
    switch (cinfo->num_components) {
    case 1:
    case 3:
        cinfo->out_color_space = JCS_EXT_BGR;
        break;
    case 4:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        refuse_colour_space(cinfo);
    }
}

// Inverted CMYK, as Adobe's editors and most others write it: 255 means no
// ink, so each colour is its own channel scaled by the key; written blue
// (from yellow), green, red (from cyan). Works in place: pixel i is read
// whole before bytes 3i..3i+2, all at or before it, are written.
void cmyk_row_to_bgr(JSAMPLE* row, JDIMENSION width)
{
    for (JDIMENSION i = 0; i < width; ++i) {
        const unsigned c = row[4 * i];
        const unsigned m = row[4 * i + 1];
        const unsigned y = row[4 * i + 2];
        const unsigned k = row[4 * i + 3];
        row[3 * i] = static_cast<JSAMPLE>((y * k + 127) / 255);
        row[3 * i + 1] = static_cast<JSAMPLE>((m * k + 127) / 255);
        row[3 * i + 2] = static_cast<JSAMPLE>((c * k + 127) / 255);
    }
}

// Copies one decoded row to the next unfilled raster row.
void append_row(raster* picture, const JSAMPLE* row, std::size_t byte_count)
{
    const std::size_t offset = static_cast<std::size_t>(picture->rows_filled)
                               * static_cast<std::size_t>(picture->width) * 3;
    std::memcpy(picture->pixels.get() + offset, row, byte_count);
    picture->rows_filled += 1;
}

std::int32_t decode_steps(jpeg_decompress_struct* cinfo, FILE* file, jpeg_read* read)
{
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    choose_output_colour(cinfo);

    std::int32_t width = 0;
    const auto height = static_cast<std::int32_t>(cinfo->image_height);
    if (!round_width_to_4(static_cast<std::int32_t>(cinfo->image_width), &width))
        return 1;
    read->picture = allocate_raster(width, height);
    if (!read->picture.pixels) {
        read->too_large = true;
        return 1;
    }
    raster* picture = &read->picture;

    jpeg_start_decompress(cinfo);
    const int expected_components = cinfo->out_color_space == JCS_CMYK ? 4 : 3;
    if (cinfo->output_components != expected_components)
        refuse_colour_space(cinfo);
    const JDIMENSION scan_length = cinfo->output_width * static_cast<JDIMENSION>(cinfo->output_components);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, scan_length, 1);
    // Never more than a raster row, whatever the library reports.
    const JDIMENSION copy_pixels = cinfo->output_width < static_cast<JDIMENSION>(width) ? cinfo->output_width
                                                                                       : static_cast<JDIMENSION>(width);
    const std::size_t copy_length = 3 * static_cast<std::size_t>(copy_pixels);

    while (cinfo->output_scanline < cinfo->output_height && picture->rows_filled < picture->height) {
        jpeg_read_scanlines(cinfo, row, 1);
        if (cinfo->out_color_space == JCS_CMYK)
            cmyk_row_to_bgr(row[0], cinfo->output_width);
        append_row(picture, row[0], copy_length);
    }
    jpeg_finish_decompress(cinfo);
    return 0;
}

// The recovery point of one read: 1 when the library gave up.
std::int32_t decode_picture(jpeg_decompress_struct* cinfo, FILE* file, jpeg_read* read)
{
    if (setjmp(reinterpret_cast<reader_error_manager*>(cinfo->err)->recovery))
        return 1;
    return decode_steps(cinfo, file, read);
}

std::int32_t encode_steps(jpeg_compress_struct* cinfo, FILE* file, const raster* picture, std::int32_t quality)
{
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    cinfo->image_width = static_cast<JDIMENSION>(picture->width);
    cinfo->image_height = static_cast<JDIMENSION>(picture->height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);

    const std::size_t stride = 3 * static_cast<std::size_t>(picture->width);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = picture->pixels.get() + cinfo->next_scanline * stride;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return 0;
}

// The recovery point of one write: 1 when the library gave up, its message
// then in the manager.
std::int32_t encode_picture(jpeg_compress_struct* cinfo, FILE* file, const raster* picture, std::int32_t quality)
{
    if (setjmp(reinterpret_cast<writer_error_manager*>(cinfo->err)->recovery))
        return 1;
    return encode_steps(cinfo, file, picture, quality);
}

}  // namespace

jpeg_read read_jpeg_file(const char* path)
{
    file_handle file(std::fopen(path, "rb"));
    if (!file) {
        jpeg_read read;
        read.message = std::string("Error: Can't open file ") + path + " for reading.";
        return read;
    }
    return read_jpeg_stream(file.get());
}

jpeg_read read_jpeg_stream(std::FILE* file)
{
    jpeg_read read;
    jpeg_decompress_struct cinfo{};
    reader_error_manager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = reader_error_exit;
    read.result = decode_picture(&cinfo, file, &read);
    jpeg_destroy_decompress(&cinfo);
    return read;
}

std::string too_large_text(const raster& picture)
{
    return "Image of size " + std::to_string(picture.width) + " by " + std::to_string(picture.height)
           + " is too large.\n";
}

static_assert(jpeg_max_dimension == JPEG_MAX_DIMENSION, "the library's limit");

jpeg_write write_jpeg_file(const char* path, const raster& picture, std::int32_t quality)
{
    jpeg_write write;
    if (!picture.pixels || picture.width < 0 || picture.height < 0)
        return write;
    if (picture.width > JPEG_MAX_DIMENSION || picture.height > JPEG_MAX_DIMENSION) {
        write.message = cannot_write_text(
            path, ("Maximum supported image dimension is " + std::to_string(JPEG_MAX_DIMENSION) + " pixels").c_str());
        return write;
    }
    if (!may_replace_file(path)) {
        write.message = cannot_create_text(path);
        return write;
    }
    std::string temporary_path;
    file_handle file = create_temporary_beside(path, &temporary_path);
    if (!file) {
        write.message = cannot_create_text(path);
        return write;
    }

    jpeg_compress_struct cinfo{};
    writer_error_manager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = writer_error_exit;
    const std::int32_t result = encode_picture(&cinfo, file.get(), &picture, quality);
    jpeg_destroy_compress(&cinfo);
    errno = 0;
    const bool closed = file.close();
    const int close_error = errno;

    if (result != 0 || !closed) {
        std::remove(temporary_path.c_str());
        const char* reason = result != 0 ? manager.message
                             : close_error != 0 ? std::strerror(close_error)
                                                : "Output file write error";
        write.message = cannot_write_text(path, reason);
        return write;
    }
    if (!replace_file(temporary_path.c_str(), path)) {
        std::remove(temporary_path.c_str());
        write.message = cannot_create_text(path);
        return write;
    }
    write.result = 0;
    return write;
}

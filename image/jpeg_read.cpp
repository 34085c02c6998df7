// Reading JPEG files into rasters, driven the way libjpeg's example program
// drives it: the stream is opened first, the error manager embeds the
// library's own first, and the recovery point sits in a small function that
// holds no C++ object with a destructor.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "image/file_handle.h"
#include "image/jpeg_file.h"
#include "image/jpeg_library.h"

#include <jerror.h>

namespace {

// The library reports a fatal error by calling error_exit, which must not
// return: ours keeps the message and jumps back to the recovery point. Its
// other messages (at most the first warning of a read, at trace level 0)
// are kept too, for the caller to show. Progress, which the library reports
// as it reads each scan, is where the scan count is bounded before it costs
// minutes.
struct reader_error_manager {
    jpeg_error_mgr pub;  // first: the library's err pointer is also a pointer to this
    std::jmp_buf recovery;
    char error[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
    jpeg_progress_mgr progress;
    int max_scans;
    bool too_many_scans;
};

reader_error_manager* manager_of(j_common_ptr cinfo)
{
    return reinterpret_cast<reader_error_manager*>(cinfo->err);
}

void reader_error_exit(j_common_ptr cinfo)
{
    (*cinfo->err->format_message)(cinfo, manager_of(cinfo)->error);
    std::longjmp(manager_of(cinfo)->recovery, 1);
}

void keep_message(j_common_ptr cinfo)
{
    char* warning = manager_of(cinfo)->warning;
    if (warning[0] == '\0')
        (*cinfo->err->format_message)(cinfo, warning);
}

void count_scans(j_common_ptr cinfo)
{
    reader_error_manager* manager = manager_of(cinfo);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > manager->max_scans) {
        manager->too_many_scans = true;
        std::longjmp(manager->recovery, 1);
    }
}

// Ends the read the way the library's own errors do, with its message for a
// colour conversion it cannot make.
void refuse_colour_space(jpeg_decompress_struct* cinfo)
{
    cinfo->err->msg_code = JERR_CONVERSION_NOTIMPL;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
}

// The profile and the Exif block, when the caller asked for them.
void keep_metadata(jpeg_decompress_struct* cinfo, jpeg_read* read)
{
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    if (jpeg_read_icc_profile(cinfo, &profile, &length) && profile) {
        read->icc_profile.assign(profile, profile + length);
        std::free(profile);
    }
    for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6
            && std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
            read->exif.assign(marker->data, marker->data + marker->data_length);
            break;
        }
    }
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

std::int32_t decode_steps(jpeg_decompress_struct* cinfo, FILE* file, const jpeg_read_limits* limits, jpeg_read* read)
{
    jpeg_create_decompress(cinfo);
    // jpeg_create_decompress clears every field but err.
    cinfo->progress = &manager_of(reinterpret_cast<j_common_ptr>(cinfo))->progress;
    jpeg_stdio_src(cinfo, file);
    if (limits->keep_metadata) {
        jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xffff);
        jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xffff);
    }
    jpeg_read_header(cinfo, TRUE);
    if (limits->keep_metadata)
        keep_metadata(cinfo, read);
    choose_output_colour(cinfo);
    read->colours = cinfo->num_components == 1   ? stored_colour::grey
                    : cinfo->num_components == 4 ? stored_colour::cmyk
                                                 : stored_colour::rgb;

    std::int32_t width = 0;
    const auto height = static_cast<std::int32_t>(cinfo->image_height);
    read->image_width = static_cast<std::int32_t>(cinfo->image_width);
    if (!round_width_to_4(static_cast<std::int32_t>(cinfo->image_width), &width))
        return 1;
    read->picture = allocate_raster(width, height, limits->memory);
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

// The recovery point of one read: 1 when the library gave up or the scans
// passed their limit.
std::int32_t decode_picture(jpeg_decompress_struct* cinfo, FILE* file, const jpeg_read_limits* limits,
                            jpeg_read* read)
{
    if (setjmp(manager_of(reinterpret_cast<j_common_ptr>(cinfo))->recovery))
        return 1;
    return decode_steps(cinfo, file, limits, read);
}

}  // namespace

file_handle open_for_reading(const char* path, std::string* reason)
{
    errno = 0;
    file_handle file(std::fopen(path, "rb"));
    int code = errno;
    // A folder opens on some systems, and would then read as an empty file.
    struct stat status {};
    if (stat(path, &status) == 0 && S_ISDIR(status.st_mode))
        code = EISDIR;
    if (file && code != EISDIR)
        return file;
    *reason = code != 0 ? std::strerror(code) : "";
    return file_handle();
}

jpeg_read read_jpeg_file(const char* path, const jpeg_read_limits& limits)
{
    std::string reason;
    const file_handle file = open_for_reading(path, &reason);
    if (!file) {
        jpeg_read read;
        read.message = std::string("Error: Can't open file ") + path + " for reading.";
        read.reason = reason;
        return read;
    }
    return read_jpeg_stream(file.get(), path, limits);
}

jpeg_read read_jpeg_stream(std::FILE* file, const char* name, const jpeg_read_limits& limits)
{
    jpeg_read read;
    jpeg_decompress_struct cinfo{};
    reader_error_manager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = reader_error_exit;
    manager.pub.output_message = keep_message;
    manager.progress.progress_monitor = count_scans;
    manager.max_scans = limits.max_scans;
    read.result = decode_picture(&cinfo, file, &limits, &read);
    jpeg_destroy_decompress(&cinfo);
    read.library_error = manager.error;
    read.library_warning = manager.warning;
    read.too_many_scans = manager.too_many_scans;
    if (read.too_many_scans)
        read.message = std::string("Error: File ") + name + " has more than " + std::to_string(limits.max_scans)
                       + " scans; no real picture has so many.";
    return read;
}

std::string too_large_text(const raster& picture)
{
    return "Image of size " + std::to_string(picture.width) + " by " + std::to_string(picture.height)
           + " is too large.";
}

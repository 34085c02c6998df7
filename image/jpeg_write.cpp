// Writing rasters as JPEG files, the library driven as its example program
// drives it; the file is saved as every picture file is (image/safe_save.h).
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/jpeg_file.h"
#include "image/jpeg_library.h"

#include <jerror.h>
#include "image/safe_save.h"

namespace {

// error_exit must not return: ours keeps the message and jumps back to the
// recovery point, set in a small function that holds no C++ object with a
// destructor.
struct writer_error_manager {
    jpeg_error_mgr pub;  // first: the library's err pointer is also a pointer to this
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
    bool system_reason;  // a failed write says the system's reason
};

void writer_error_exit(j_common_ptr cinfo)
{
    const int code = errno;
    auto* manager = reinterpret_cast<writer_error_manager*>(cinfo->err);
    // A stream's failed write has a reason of the system's (a closed pipe,
    // a full disk) that the library's guess replaces.
    if (manager->system_reason && cinfo->err->msg_code == JERR_FILE_WRITE && code != 0)
        std::snprintf(manager->message, sizeof manager->message, "%s", std::strerror(code));
    else
        (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->recovery, 1);
}

std::int32_t encode_steps(jpeg_compress_struct* cinfo, FILE* file, const raster* picture, std::int32_t quality,
                          bool full_chroma)
{
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    cinfo->image_width = static_cast<JDIMENSION>(image_width_of(*picture));
    cinfo->image_height = static_cast<JDIMENSION>(picture->height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    if (full_chroma) {
        // 4:4:4: the colour at every pixel, as the brightness.
        cinfo->comp_info[0].h_samp_factor = 1;
        cinfo->comp_info[0].v_samp_factor = 1;
    }
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
std::int32_t encode_picture(jpeg_compress_struct* cinfo, FILE* file, const raster* picture, std::int32_t quality,
                            bool full_chroma)
{
    if (setjmp(reinterpret_cast<writer_error_manager*>(cinfo->err)->recovery))
        return 1;
    return encode_steps(cinfo, file, picture, quality, full_chroma);
}

// False with the library's message when it gave up.
bool encode(std::FILE* file, const raster& picture, std::int32_t quality, bool full_chroma, std::string* reason,
            bool system_reason = false)
{
    jpeg_compress_struct cinfo{};
    writer_error_manager manager{};
    manager.system_reason = system_reason;
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = writer_error_exit;
    errno = 0;
    const std::int32_t result = encode_picture(&cinfo, file, &picture, quality, full_chroma);
    jpeg_destroy_compress(&cinfo);
    if (result != 0)
        *reason = manager.message;
    return result == 0;
}

}  // namespace

jpeg_write write_jpeg_stream(std::FILE* file, const char* name, const raster& picture, std::int32_t quality,
                             bool full_chroma)
{
    jpeg_write write;
    if (!picture.pixels || picture.width < 0 || picture.height < 0)
        return write;
    std::string reason;
    if (!encode(file, picture, quality, full_chroma, &reason, true)) {
        write.message = cannot_write_text(name, reason);
    } else if (std::fflush(file) != 0) {
        write.message = cannot_write_text(name, std::strerror(errno));
    } else {
        write.result = 0;
    }
    return write;
}

jpeg_write write_jpeg_file(const char* path, const raster& picture, std::int32_t quality, bool full_chroma)
{
    jpeg_write write;
    if (!picture.pixels || picture.width < 0 || picture.height < 0)
        return write;
    if (image_width_of(picture) > largest_jpeg_side || picture.height > largest_jpeg_side) {
        write.message = cannot_write_text(
            path, "Maximum supported image dimension is " + std::to_string(largest_jpeg_side) + " pixels");
        return write;
    }
    const save_result saved = save_file(path, [&](std::FILE* file, std::string* reason) {
        return encode(file, picture, quality, full_chroma, reason);
    });
    write.result = saved.result;
    write.message = saved.message;
    return write;
}

// Writing rasters as JPEG files: the library driven as its example program
// drives it, and the file replaced only once the new one is complete.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/file_handle.h"
#include "image/file_replace.h"
#include "image/jpeg_file.h"
#include "image/jpeg_library.h"

namespace {

// error_exit must not return: ours keeps the message and jumps back to the
// recovery point, set in a small function that holds no C++ object with a
// destructor.
struct writer_error_manager {
    jpeg_error_mgr pub;  // first: the library's err pointer is also a pointer to this
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
};

void writer_error_exit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<writer_error_manager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->recovery, 1);
}

// "reason" ends the sentence unless it ends in punctuation of its own.
std::string sentence(const std::string& start, const std::string& reason)
{
    const bool closed = !reason.empty() && std::strchr(".?!", reason.back()) != nullptr;
    return start + ": " + reason + (closed ? "" : ".");
}

std::string cannot_create_text(const char* path, const std::string& reason)
{
    return sentence(std::string("Error: Can't open file ") + path + " for writing", reason);
}

std::string cannot_write_text(const char* path, const std::string& reason)
{
    return sentence(std::string("Error: Can't write file ") + path, reason);
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

// False with the library's message when it gave up.
bool encode(std::FILE* file, const raster& picture, std::int32_t quality, std::string* reason)
{
    jpeg_compress_struct cinfo{};
    writer_error_manager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = writer_error_exit;
    const std::int32_t result = encode_picture(&cinfo, file, &picture, quality);
    jpeg_destroy_compress(&cinfo);
    if (result != 0)
        *reason = manager.message;
    return result == 0;
}

// Encodes into the stream and closes it: the library's message, or the
// stream's own error, when the data did not all reach the file.
bool encode_and_close(file_handle* file, bool to_disk, const raster& picture, std::int32_t quality,
                      std::string* reason)
{
    if (!encode(file->get(), picture, quality, reason))
        return false;
    if (to_disk && !flush_to_disk(file->get(), reason))
        return false;
    errno = 0;
    if (!file->close()) {
        *reason = errno != 0 ? std::strerror(errno) : "Output file write error";
        return false;
    }
    return true;
}

}  // namespace

jpeg_write write_jpeg_stream(std::FILE* file, const char* name, const raster& picture, std::int32_t quality)
{
    jpeg_write write;
    if (!picture.pixels || picture.width < 0 || picture.height < 0)
        return write;
    std::string reason;
    if (!encode(file, picture, quality, &reason)) {
        write.message = cannot_write_text(name, reason);
    } else if (std::fflush(file) != 0) {
        write.message = cannot_write_text(name, std::strerror(errno));
    } else {
        write.result = 0;
    }
    return write;
}

jpeg_write write_jpeg_file(const char* path, const raster& picture, std::int32_t quality)
{
    jpeg_write write;
    if (!picture.pixels || picture.width < 0 || picture.height < 0)
        return write;
    if (picture.width > largest_jpeg_side || picture.height > largest_jpeg_side) {
        write.message = cannot_write_text(
            path, "Maximum supported image dimension is " + std::to_string(largest_jpeg_side) + " pixels");
        return write;
    }
    save_target target;
    std::string reason;
    if (!find_save_target(path, &target, &reason)) {
        write.message = cannot_create_text(path, reason);
        return write;
    }
    if (target.in_place) {
        file_handle file(open_in_place(target, &reason));
        if (!file)
            write.message = cannot_create_text(path, reason);
        else if (!encode_and_close(&file, false, picture, quality, &reason))
            write.message = cannot_write_text(path, reason);
        else
            write.result = 0;
        return write;
    }

    std::string temporary;
    file_handle file(create_temporary_for(target, &temporary, &reason));
    if (!file) {
        write.message = cannot_create_text(path, reason);
        return write;
    }
    if (!encode_and_close(&file, true, picture, quality, &reason)) {
        std::remove(temporary.c_str());
        write.message = cannot_write_text(path, reason);
        return write;
    }
    if (!replace_with(temporary, target, &reason)) {
        std::remove(temporary.c_str());
        write.message = cannot_create_text(path, reason);
        return write;
    }
    write.result = 0;
    return write;
}

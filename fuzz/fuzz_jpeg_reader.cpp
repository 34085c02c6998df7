// libFuzzer target for the JPEG reader: any bytes go through the same path
// as an opened file (a stdio stream, the reader's recovery from the
// library's fatal errors, the colour handling, the copy into the raster),
// then the raster is checked and released.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <csetjmp>

#include "image/jpeg_file.h"
#include "image/jpeg_library.h"
#include "image/raster.h"

namespace {

// Pictures above this are skipped: a header may claim 65500 x 65500 in a
// few bytes, and allocating that is no finding.
constexpr std::uint64_t max_pixels = 1u << 20;

struct peek_error_manager {
    jpeg_error_mgr pub;  // first
    std::jmp_buf recovery;
};

void peek_error_exit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<peek_error_manager*>(cinfo->err)->recovery, 1);
}

void silent_message(j_common_ptr) {}

bool read_size(jpeg_decompress_struct* cinfo, const std::uint8_t* data, std::size_t size)
{
    if (setjmp(reinterpret_cast<peek_error_manager*>(cinfo->err)->recovery))
        return false;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    return true;
}

// The picture's size from its header, if the library can read one.
bool small_enough(const std::uint8_t* data, std::size_t size)
{
    jpeg_decompress_struct cinfo{};
    peek_error_manager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = peek_error_exit;
    manager.pub.output_message = silent_message;
    const bool read = read_size(&cinfo, data, size);
    const std::uint64_t pixels = static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return !read || pixels <= max_pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || !small_enough(data, size))
        return 0;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file)
        return 0;
    const jpeg_read read = read_jpeg_stream(file);
    std::fclose(file);

    if (read.result != 0 && read.result != 1)
        std::abort();
    const raster& picture = read.picture;
    if (picture.pixels) {
        // What the rest of the program relies on.
        if (picture.width % 4 != 0 || picture.rows_filled > picture.height)
            std::abort();
        if (read.result == 0 && picture.rows_filled != picture.height)
            std::abort();
        // Every byte is readable: the sanitizers see any that is not.
        std::size_t bytes = 0;
        if (!raster_byte_count(picture.width, picture.height, &bytes))
            std::abort();
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            sum += picture.pixels[i];
        if (sum == 0xffffffffu)
            std::printf(" ");
    } else if (read.result == 0) {
        std::abort();
    }
    return 0;
}

// libFuzzer target for the JPEG reader: any bytes go through the same path
// as an opened file (a stdio stream, the reader's recovery from the
// library's fatal errors, the colour handling, the copy into the raster),
// then the raster is checked and released.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <csetjmp>

#include "image/alert.h"
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

void no_box(const char*, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || !small_enough(data, size))
        return 0;
    set_warning_box_handler(no_box);
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file)
        return 0;
    const std::int32_t result = read_jpeg_stream(file);
    std::fclose(file);

    if (result != 0 && result != 1)
        std::abort();
    if (source_image.pixels) {
        // What the rest of the program relies on.
        if (source_image.width % 4 != 0 || source_image.rows_filled > source_image.height)
            std::abort();
        if (result == 0 && source_image.rows_filled != source_image.height)
            std::abort();
        swap_red_blue(source_image.pixels.get(), source_image.width, source_image.height);
    } else if (result == 0) {
        std::abort();
    }
    free_images();
    source_image = raster{};
    return 0;
}

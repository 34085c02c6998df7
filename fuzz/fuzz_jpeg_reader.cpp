// libFuzzer target for the JPEG reader: any bytes go through the same path
// as an opened file (a stdio stream, the reader's recovery from the
// library's fatal errors, the colour handling, the copy into the raster),
// then the raster is checked and released.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/jpeg_file.h"
#include "image/raster.h"

namespace {

// A header may claim 65500 x 65500 in a few bytes: such pictures go through
// the memory check like any other, with a bound small enough for a fuzzer
// to run beside others. The scan limit, too, is met sooner than a reader's:
// each scan costs a pass, and the limit's path is the same at any count.
constexpr std::uint64_t memory_for_one_input = std::uint64_t{4} << 20;
constexpr int scans_for_one_input = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!file)
        return 0;
    jpeg_read_limits limits;
    limits.memory = memory_for_one_input;
    limits.max_scans = scans_for_one_input;
    const jpeg_read read = read_jpeg_stream(file, "(fuzz input)", limits);
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
        // The whole buffer is there: the sanitizers see its last byte.
        std::size_t bytes = 0;
        if (!raster_byte_count(picture.width, picture.height, &bytes))
            std::abort();
        if (bytes > 0) {
            const volatile unsigned char last = picture.pixels[bytes - 1];
            (void)last;
        }
    } else if (read.result == 0) {
        std::abort();
    }
    return 0;
}

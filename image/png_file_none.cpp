// PNG files in a build without libpng: the browser edition, whose page
// reads and writes PNG through the browser itself. Every call says so.
#include "image/png_file.h"

namespace {

constexpr const char* not_here = "PNG files are read and written by the browser in this edition";

}  // namespace

bool is_png_signature(const unsigned char* bytes, std::size_t size)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size < 8)
        return false;
    for (int k = 0; k < 8; ++k)
        if (bytes[k] != signature[k])
            return false;
    return true;
}

png_read read_png_stream(std::FILE*, std::uint64_t)
{
    png_read read;
    read.message = not_here;
    return read;
}

bool write_png(std::FILE*, const raster&, std::string* reason)
{
    *reason = not_here;
    return false;
}

bool write_png16(std::FILE*, std::int32_t, std::int32_t, const png_rows16&, std::string* reason)
{
    *reason = not_here;
    return false;
}

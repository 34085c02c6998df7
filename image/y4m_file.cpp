#include "image/y4m_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// BT.601 limited range in 8-bit fixed point: Y from one pixel, the colour
// differences from a sum of `count` pixels (1 or 4), rounded; the offsets
// keep every shifted value non-negative.
unsigned char luma(int r, int g, int b)
{
    return static_cast<unsigned char>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

unsigned char blue_difference(int r, int g, int b, int shift)
{
    return static_cast<unsigned char>((-38 * r - 74 * g + 112 * b + (128 << shift) + (1 << (shift - 1))) >> shift);
}

unsigned char red_difference(int r, int g, int b, int shift)
{
    return static_cast<unsigned char>((112 * r - 94 * g - 18 * b + (128 << shift) + (1 << (shift - 1))) >> shift);
}

bool put(std::FILE* file, const std::vector<unsigned char>& bytes, std::string* reason)
{
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size())
        return true;
    *reason = errno != 0 ? std::strerror(errno) : "Output file write error";
    return false;
}

}  // namespace

std::string y4m_header(const y4m_format& format)
{
    return "YUV4MPEG2 W" + std::to_string(format.width) + " H" + std::to_string(format.height) + " F"
           + std::to_string(format.rate_numerator) + ":" + std::to_string(format.rate_denominator) + " Ip A1:1 "
           + (format.full_chroma ? "C444" : "C420jpeg") + " XCOLORRANGE=LIMITED\n";
}

void y4m_rate(double fps, std::uint32_t* numerator, std::uint32_t* denominator)
{
    std::uint32_t n = static_cast<std::uint32_t>(std::llround(fps * 1000.0));
    std::uint32_t d = 1000;
    for (std::uint32_t a = n, b = d; b != 0;) {
        const std::uint32_t r = a % b;
        a = b;
        b = r;
        if (b == 0) {
            n /= a;
            d /= a;
        }
    }
    *numerator = n;
    *denominator = d;
}

bool write_y4m_frame(std::FILE* file, const y4m_format& format, const raster& picture, std::string* reason)
{
    const std::int32_t w = format.width;
    const std::int32_t h = format.height;
    const auto pixel = [&picture](std::int32_t x, std::int32_t y) {
        return picture.pixels.get() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
    };
    static const char frame_line[] = "FRAME\n";
    if (std::fwrite(frame_line, 1, 6, file) != 6) {
        *reason = std::strerror(errno);
        return false;
    }
    std::vector<unsigned char> plane(static_cast<std::size_t>(w) * h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            const unsigned char* p = pixel(x, y);
            plane[static_cast<std::size_t>(y) * w + x] = luma(p[2], p[1], p[0]);
        }
    if (!put(file, plane, reason))
        return false;
    // Colour: one sample a pixel, or the sum of a 2 by 2 block (the last
    // column or row repeated where the block passes the edge).
    const std::int32_t step = format.full_chroma ? 1 : 2;
    const std::int32_t cw = (w + step - 1) / step;
    const std::int32_t ch = (h + step - 1) / step;
    const int shift = format.full_chroma ? 8 : 10;
    std::vector<unsigned char> blue(static_cast<std::size_t>(cw) * ch);
    std::vector<unsigned char> red(blue.size());
    for (std::int32_t cy = 0; cy < ch; ++cy)
        for (std::int32_t cx = 0; cx < cw; ++cx) {
            int r = 0;
            int g = 0;
            int b = 0;
            for (std::int32_t dy = 0; dy < step; ++dy)
                for (std::int32_t dx = 0; dx < step; ++dx) {
                    const std::int32_t x = cx * step + dx < w ? cx * step + dx : w - 1;
                    const std::int32_t y = cy * step + dy < h ? cy * step + dy : h - 1;
                    const unsigned char* p = pixel(x, y);
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
            blue[static_cast<std::size_t>(cy) * cw + cx] = blue_difference(r, g, b, shift);
            red[static_cast<std::size_t>(cy) * cw + cx] = red_difference(r, g, b, shift);
        }
    return put(file, blue, reason) && put(file, red, reason);
}

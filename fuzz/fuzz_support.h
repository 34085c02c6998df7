// What the fuzz targets check in every picture the code under test hands
// on: what the renderer and the writers rely on, or the process aborts
// (which libFuzzer reports as a crash, with the input kept).
#ifndef LUMIRUN_FUZZ_FUZZ_SUPPORT_H
#define LUMIRUN_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image/raster.h"

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A picture image_width pixels wide in its raster: the raster's width the
// next multiple of 4, every row there, the alignment columns black, and the
// whole buffer there (the sanitizers see its last byte).
inline void check_picture(const raster& picture, std::int32_t image_width)
{
    std::int32_t rounded = 0;
    require(picture.pixels && image_width > 0 && round_width_to_4(image_width, &rounded));
    require(picture.width == rounded && picture.height > 0 && picture.rows_filled == picture.height);
    std::size_t bytes = 0;
    require(raster_byte_count(picture.width, picture.height, &bytes));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const unsigned char* row = picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3;
        for (std::int32_t x = image_width; x < picture.width; ++x)
            require(row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0);
    }
    const volatile unsigned char last = picture.pixels[bytes - 1];
    (void)last;
}

// A line to show the user: not empty, and one line.
inline void check_line(const std::string& text)
{
    require(!text.empty() && text.find('\n') == std::string::npos);
}

// libpng and Little CMS are Debian's builds, without the fuzzer's coverage
// instrumentation. The targets tell libFuzzer what those libraries met (a
// file's chunks, a profile's tags, the kind of failure) through its extra
// counters, so that it keeps, and goes on mutating, inputs that take the
// libraries down other paths while our own code's path is the same. Each
// note takes its value from a small set: a value that any random bytes
// could make (a chunk's name, a number in a message) would make every
// mutation look new and swamp the corpus.
__attribute__((section("__libfuzzer_extra_counters"))) inline std::uint8_t library_paths[1 << 12];

inline void note_path(std::uint32_t kind, std::uint32_t value)
{
    const std::uint32_t hash = (kind * 2654435761u) ^ (value * 2246822519u);
    std::uint8_t& counter = library_paths[(hash ^ (hash >> 16)) % sizeof library_paths];
    if (counter < 255)
        ++counter;
}

// A big-endian 32-bit number, as PNG and ICC files store them.
inline std::uint32_t big_endian_32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The place of a four-character signature in names (signatures one after
// the other), or the number of names for any other.
inline std::uint32_t signature_index(std::uint32_t signature, const char* names)
{
    std::uint32_t i = 0;
    for (; names[4 * i]; ++i)
        if (big_endian_32(reinterpret_cast<const unsigned char*>(names + 4 * i)) == signature)
            break;
    return i;
}

// A message's kind: its words after the last ": " (past a chunk's name),
// without what is quoted or numbered, in one of 64 buckets.
inline void note_message(std::uint32_t kind, const std::string& text)
{
    const std::size_t colon = text.rfind(": ");
    std::uint32_t hash = 2166136261u;  // FNV-1a
    bool quoted = false;
    for (std::size_t i = colon == std::string::npos ? 0 : colon + 2; i < text.size(); ++i) {
        const char c = text[i];
        quoted = quoted != (c == '\'');
        if (!quoted && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' '))
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    note_path(kind, text.empty() ? 64 : hash % 64);
}

#endif

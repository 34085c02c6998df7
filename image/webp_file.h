// Animated WebP files through libwebp's animation encoder (libwebpmux), fed
// one frame at a time: the encoder keeps each frame compressed, never the
// frames' pixels.
#ifndef LUMIRUN_IMAGE_WEBP_FILE_H
#define LUMIRUN_IMAGE_WEBP_FILE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/raster.h"

// The largest canvas side the format can hold.
constexpr std::int32_t webp_max_dimension = 16383;

// The largest file libwebp's readers take: RIFF's size field counts 32
// bits, less a chunk's header.
constexpr std::uint64_t webp_max_file_bytes = 0xfffffff6u;

// What the encoder holds while it encodes a frame of this size (its copies
// of the canvas, its candidates, its working buffers and the compressed
// frames of a short movie): libwebp 1.2.4's peak on a 3012 by 2000 photo of
// noise, less the source, canvases and frame, was 36 bytes a pixel lossy
// and 51 lossless; this allows 40 and 56.
std::uint64_t webp_encoder_memory(std::int32_t width, std::int32_t height, bool lossless);

// Lossy quality for still photographs: small files with no visible blocks.
constexpr float webp_photo_quality = 90.0f;

// A movie that is not lossless is near-lossless: the lossless encoder with
// each sample allowed to move by at most 4 (of 255), so that black stays
// black. Lossy (VP8) frames halve the colour resolution, which bleeds a
// bright edge's colour into the black beside it, and the animation encoder
// keeps pixels "close enough" to the frame before, which lets the error
// build up over the frames into visible streaks.
constexpr int webp_movie_near_lossless = 40;
// The lossless encoder's effort for such movies: on a 24-frame sweep of the
// sample chart, effort 35 gave a file within 0.3 % of effort 50's in less
// than half its time (25 was 19 % larger).
constexpr float webp_movie_effort = 35.0f;

struct webp_write {
    std::int32_t result = 1;  // 0 success, 1 failure
    std::string message;      // a warning box's text, when one is due
};

// A still picture's WebP file (its image_width_of columns): lossless (exact
// pixels) or lossy at quality (0 to 100), into *bytes; false with the
// encoder's reason.
bool encode_webp_picture(const raster& picture, bool lossless, float quality, std::vector<unsigned char>* bytes,
                         std::string* reason);

// A looping animation on a canvas of fixed size. Frames come with the time
// they are shown from, in milliseconds, increasing.
class webp_animation {
public:
    // lossless: exact pixels; otherwise near-lossless (see above).
    webp_animation(std::int32_t width, std::int32_t height, bool lossless);
    ~webp_animation();
    webp_animation(webp_animation&&) noexcept;
    webp_animation& operator=(webp_animation&&) noexcept;

    // False when the sizes are out of the format's range or the encoder's
    // memory could not be had.
    bool ready() const;

    // Encodes canvas, whose image_width_of and height must be the
    // animation's size. On failure the encoder's reason goes into *message.
    bool add_frame(const raster& canvas, std::int32_t timestamp_ms, std::string* message);

    // Ends the last frame at end_ms and writes the file: a new file beside
    // path, renamed over path only when every byte was written, so a failed
    // save leaves an existing file as it was and no stray file behind.
    // Refuses a read-only target, and a file of more than largest_file
    // bytes. Memory: the compressed frames, then the file's bytes (the
    // frames are let go before the write): at most twice the file.
    webp_write save(const char* path, std::int32_t end_ms, std::uint64_t largest_file = webp_max_file_bytes);

    // Ends the last frame at end_ms as save does, the file's bytes put in
    // *bytes instead (name is used in messages only). Refused as save
    // refuses a file of more than largest_file bytes.
    webp_write assemble(const char* name, std::int32_t end_ms, std::vector<unsigned char>* bytes,
                        std::uint64_t largest_file = webp_max_file_bytes);

private:
    struct state;
    std::unique_ptr<state> state_;
};

#endif

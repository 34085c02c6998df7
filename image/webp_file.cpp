#include "image/webp_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <webp/encode.h>
#include <webp/mux.h>

#include "image/safe_save.h"

namespace {

struct encoder_delete {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};

// Owns the pixels of an imported picture.
struct picture_owner {
    WebPPicture picture;
    picture_owner() { WebPPictureInit(&picture); }
    ~picture_owner() { WebPPictureFree(&picture); }
    picture_owner(const picture_owner&) = delete;
    picture_owner& operator=(const picture_owner&) = delete;
};

struct data_owner {
    WebPData data;
    data_owner() { WebPDataInit(&data); }
    ~data_owner() { WebPDataClear(&data); }
    data_owner(const data_owner&) = delete;
    data_owner& operator=(const data_owner&) = delete;
};

std::string encoder_error(WebPAnimEncoder* encoder, const char* otherwise)
{
    const char* error = WebPAnimEncoderGetError(encoder);
    return error && *error ? error : otherwise;
}

const char* encoder_error_text(WebPEncodingError error)
{
    switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return "not enough memory";
    case VP8_ENC_ERROR_BAD_DIMENSION:
        return "the picture passes the 16383-pixel limit of WebP on a side";
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
        return "the picture is too large for a lossy WebP file";
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        return "the file would pass 4 GiB";
    default:
        return "Encoder error";
    }
}

}  // namespace

bool encode_webp_picture(const raster& picture, bool lossless, float quality, std::vector<unsigned char>* bytes,
                         std::string* reason)
{
    WebPConfig config;
    if (!WebPConfigInit(&config)) {
        *reason = "Encoder error";
        return false;
    }
    config.lossless = lossless ? 1 : 0;
    config.exact = lossless ? 1 : 0;
    config.quality = quality;
    picture_owner owner;
    WebPPicture& frame = owner.picture;
    frame.use_argb = 1;
    frame.width = image_width_of(picture);
    frame.height = picture.height;
    if (frame.width > webp_max_dimension || picture.height > webp_max_dimension) {
        *reason = encoder_error_text(VP8_ENC_ERROR_BAD_DIMENSION);
        return false;
    }
    if (!WebPPictureImportBGR(&frame, picture.pixels.get(), 3 * picture.width)) {
        *reason = "not enough memory";
        return false;
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    frame.writer = WebPMemoryWrite;
    frame.custom_ptr = &writer;
    const bool encoded = WebPEncode(&config, &frame) != 0;
    if (encoded)
        bytes->assign(writer.mem, writer.mem + writer.size);
    else
        *reason = encoder_error_text(frame.error_code);
    WebPMemoryWriterClear(&writer);
    return encoded;
}

struct webp_animation::state {
    std::unique_ptr<WebPAnimEncoder, encoder_delete> encoder;
    WebPConfig config;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

webp_animation::webp_animation(std::int32_t width, std::int32_t height, bool lossless)
{
    if (width < 1 || height < 1 || width > webp_max_dimension || height > webp_max_dimension)
        return;
    auto made = std::make_unique<state>();
    made->width = width;
    made->height = height;
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&made->config))
        return;
    options.anim_params.loop_count = 0;           // forever
    options.anim_params.bgcolor = 0xff000000u;    // opaque black, as the canvas
    made->config.lossless = 1;
    made->config.exact = lossless ? 1 : 0;
    made->config.quality = webp_photo_quality;  // the lossless encoder's effort, as before
    if (!lossless) {
        made->config.near_lossless = webp_movie_near_lossless;
        made->config.quality = webp_movie_effort;
    }
    if (!WebPValidateConfig(&made->config))
        return;
    made->encoder.reset(WebPAnimEncoderNew(width, height, &options));
    if (made->encoder)
        state_ = std::move(made);
}

webp_animation::~webp_animation() = default;
webp_animation::webp_animation(webp_animation&&) noexcept = default;
webp_animation& webp_animation::operator=(webp_animation&&) noexcept = default;

bool webp_animation::ready() const
{
    return state_ != nullptr;
}

bool webp_animation::add_frame(const raster& canvas, std::int32_t timestamp_ms, std::string* message)
{
    if (!state_ || !canvas.pixels || image_width_of(canvas) != state_->width || canvas.height != state_->height) {
        *message = "the frame does not fit the animation";
        return false;
    }
    picture_owner owner;
    WebPPicture& picture = owner.picture;
    // The encoder works on ARGB; importing to it keeps a lossless frame exact.
    picture.use_argb = 1;
    picture.width = image_width_of(canvas);
    picture.height = canvas.height;
    if (!WebPPictureImportBGR(&picture, canvas.pixels.get(), 3 * canvas.width)) {
        *message = "not enough memory for the frame";
        return false;
    }
    if (!WebPAnimEncoderAdd(state_->encoder.get(), &picture, timestamp_ms, &state_->config)) {
        *message = encoder_error(state_->encoder.get(), "the frame could not be encoded");
        return false;
    }
    return true;
}

std::uint64_t webp_encoder_memory(std::int32_t width, std::int32_t height, bool lossless)
{
    const std::uint64_t pixels = std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height);
    return pixels * (lossless ? 56 : 40);
}

webp_write webp_animation::assemble(const char* name, std::int32_t end_ms, std::vector<unsigned char>* bytes,
                                    std::uint64_t largest_file)
{
    webp_write write;
    if (!state_)
        return write;
    data_owner owner;
    if (!WebPAnimEncoderAdd(state_->encoder.get(), nullptr, end_ms, nullptr)
        || !WebPAnimEncoderAssemble(state_->encoder.get(), &owner.data)) {
        write.message = cannot_write_text(name, encoder_error(state_->encoder.get(), "Encoder error"));
        return write;
    }
    state_.reset();  // the compressed frames, now copied into the file's bytes
    if (owner.data.size > largest_file) {
        write.message = cannot_write_text(name, "the movie would be " + std::to_string(owner.data.size)
                                                    + " bytes, and a WebP file holds at most "
                                                    + std::to_string(largest_file));
        return write;
    }
    try {
        bytes->assign(owner.data.bytes, owner.data.bytes + owner.data.size);
    } catch (const std::bad_alloc&) {
        write.message = cannot_write_text(name, "not enough memory");
        return write;
    }
    write.result = 0;
    return write;
}

webp_write webp_animation::save(const char* path, std::int32_t end_ms, std::uint64_t largest_file)
{
    std::vector<unsigned char> bytes;
    webp_write write = assemble(path, end_ms, &bytes, largest_file);
    if (write.result != 0)
        return write;
    const save_result saved = save_file(path, [&bytes](std::FILE* file, std::string* reason) {
        errno = 0;
        if (std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size())
            return true;
        *reason = errno != 0 ? std::strerror(errno) : "Output file write error";
        return false;
    });
    write.result = saved.result;
    write.message = saved.message;
    return write;
}

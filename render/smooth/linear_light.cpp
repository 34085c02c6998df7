#include "render/smooth/linear_light.h"

#include <algorithm>

#include "colour/spectral_colour.h"

namespace {

srgb_light_tables make_tables()
{
    srgb_light_tables t{};
    for (int v = 0; v < 256; ++v)
        t.decode[v] = static_cast<float>(srgb_to_linear(static_cast<double>(v) / 255.0));
    for (int v = 0; v < 255; ++v)
        t.middle[v] = static_cast<float>(srgb_to_linear((static_cast<double>(v) + 0.5) / 255.0));
    for (int k = 0; k < 4096; ++k) {
        const float start = static_cast<float>(k) / 4096.0f;
        const auto above = std::upper_bound(t.middle.begin(), t.middle.end(), start);
        t.start[k] = static_cast<unsigned char>(above - t.middle.begin());
    }
    return t;
}

}  // namespace

const srgb_light_tables& srgb_light()
{
    static const srgb_light_tables tables = make_tables();
    return tables;
}

linear_picture decode_picture(const raster& picture)
{
    linear_picture out;
    out.width = image_width_of(picture);
    out.height = picture.height;
    if (!picture.pixels)
        return out;
    const srgb_light_tables& t = srgb_light();
    const std::size_t row = static_cast<std::size_t>(out.width) * 3;
    out.values.resize(row * static_cast<std::size_t>(picture.height));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const unsigned char* in = picture.pixels.get() + static_cast<std::size_t>(y) * picture.width * 3;
        float* to = out.values.data() + static_cast<std::size_t>(y) * row;
        for (std::size_t i = 0; i < row; ++i)
            to[i] = t.decode[in[i]];
    }
    return out;
}

raster encode_picture(const linear_picture& picture)
{
    std::int32_t width = 0;
    if (!round_width_to_4(picture.width, &width))
        return raster{};
    raster out = allocate_raster(width, picture.height);
    out.image_width = picture.width;
    if (!out.pixels || picture.values.empty())
        return out;
    const srgb_light_tables& t = srgb_light();
    for (std::int32_t y = 0; y < picture.height; ++y) {
        const float* in = &picture.values[static_cast<std::size_t>(y) * picture.width * 3];
        unsigned char* row = out.pixels.get() + static_cast<std::size_t>(y) * width * 3;
        for (std::int32_t i = 0; i < picture.width * 3; ++i)
            row[i] = encode_light(t, in[i]);
    }
    return out;
}

#include "image/colour_profile.h"

#include <memory>
#include <type_traits>

#include <lcms2.h>

namespace {

struct context_delete {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
struct profile_delete {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct transform_delete {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using context_owner = std::unique_ptr<std::remove_pointer_t<cmsContext>, context_delete>;
using profile_owner = std::unique_ptr<void, profile_delete>;
using transform_owner = std::unique_ptr<void, transform_delete>;

// The library's first complaint, kept in the context's user data.
void keep_error(cmsContext context, cmsUInt32Number, const char* text)
{
    auto* message = static_cast<std::string*>(cmsGetContextUserData(context));
    if (message && message->empty())
        *message = text;
}

std::string unusable(const std::string& why)
{
    return "the picture's colour profile cannot be used (" + why + "); its colours are taken as sRGB";
}

// The header's colour-space field (bytes 16 to 19, most significant
// first) as a number: a crafted file may hold any value there, which the
// library's enumeration type cannot.
std::uint32_t colour_space_of(const std::vector<unsigned char>& profile)
{
    if (profile.size() < 20)
        return 0;
    return std::uint32_t{profile[16]} << 24 | std::uint32_t{profile[17]} << 16 | std::uint32_t{profile[18]} << 8
           | std::uint32_t{profile[19]};
}

// Why a profile of that colour space cannot convert the stored pixels;
// empty when it can.
std::string mismatch(std::uint32_t space, stored_colour stored)
{
    const bool rgb = space == static_cast<std::uint32_t>(cmsSigRgbData);
    const bool grey = space == static_cast<std::uint32_t>(cmsSigGrayData);
    if (!rgb && !grey)
        return "it is not for RGB or grey pictures";
    if (stored == stored_colour::grey ? grey : stored == stored_colour::rgb && rgb)
        return std::string();
    const char* pixels = stored == stored_colour::grey ? "grey" : stored == stored_colour::rgb ? "RGB" : "CMYK";
    return std::string("it is for ") + (grey ? "grey" : "RGB") + " pictures, not for " + pixels + " ones";
}

}  // namespace

std::string convert_to_srgb(raster* picture, std::int32_t image_width, const std::vector<unsigned char>& profile,
                            stored_colour stored)
{
    std::string error;
    const context_owner context(cmsCreateContext(nullptr, &error));
    if (!context)
        return unusable("out of memory");
    cmsSetLogErrorHandlerTHR(context.get(), keep_error);
    const profile_owner source(cmsOpenProfileFromMemTHR(context.get(), profile.data(),
                                                        static_cast<cmsUInt32Number>(profile.size())));
    if (!source)
        return unusable(error.empty() ? "it cannot be read" : error);
    const std::uint32_t space = colour_space_of(profile);
    const std::string why = mismatch(space, stored);
    if (!why.empty())
        return unusable(why);
    const bool grey = space == static_cast<std::uint32_t>(cmsSigGrayData);
    const profile_owner srgb(cmsCreate_sRGBProfileTHR(context.get()));
    const transform_owner transform(cmsCreateTransformTHR(context.get(), source.get(),
                                                          grey ? TYPE_GRAY_8 : TYPE_BGR_8, srgb.get(), TYPE_BGR_8,
                                                          INTENT_PERCEPTUAL, 0));
    if (!transform)
        return unusable(error.empty() ? "no conversion to sRGB" : error);

    // A grey picture's rows hold the grey three times: its first sample is it.
    std::vector<unsigned char> greys(grey ? static_cast<std::size_t>(image_width) : 0);
    for (std::int32_t y = 0; y < picture->height; ++y) {
        unsigned char* row = picture->pixels.get() + static_cast<std::size_t>(y) * picture->width * 3;
        if (grey) {
            for (std::int32_t x = 0; x < image_width; ++x)
                greys[static_cast<std::size_t>(x)] = row[3 * x];
            cmsDoTransform(transform.get(), greys.data(), row, static_cast<cmsUInt32Number>(image_width));
        } else {
            cmsDoTransform(transform.get(), row, row, static_cast<cmsUInt32Number>(image_width));
        }
    }
    return std::string();
}

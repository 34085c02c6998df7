// Colour profiles in a build without Little CMS (the browser edition): the
// pixels stay as stored, and the warning says why.
#include "image/colour_profile.h"

std::string convert_to_srgb(raster*, std::int32_t, const std::vector<unsigned char>&, stored_colour)
{
    return "the colour profile is not converted in this edition; the pixels are taken as sRGB";
}

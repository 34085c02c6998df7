// Pictures whose file carries an ICC colour profile, converted to sRGB with
// Little CMS (perceptual intent), so that the renderer and every output
// work on the sRGB values a file without a profile is taken to hold.
#ifndef LUMIRUN_IMAGE_COLOUR_PROFILE_H
#define LUMIRUN_IMAGE_COLOUR_PROFILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "image/raster.h"

// What a file's pixels were before its reader made them blue, green, red:
// a profile holds only for pixels of its own colour space.
enum class stored_colour { rgb, grey, cmyk };

// Converts the first image_width columns of picture (blue, green, red)
// from the RGB or grey profile to sRGB in place. Empty when converted;
// otherwise the line to warn with (a profile that cannot be read, one for
// another colour space such as CMYK, or one whose colour space is not the
// stored pixels': a grey profile on a colour picture), the pixels left as
// stored.
std::string convert_to_srgb(raster* picture, std::int32_t image_width, const std::vector<unsigned char>& profile,
                            stored_colour stored);

#endif

// Helpers shared by the core tests: small asymmetric pictures that show swaps
// and flips, digests, and recorders for the status text and warning boxes.
#ifndef LUMIRUN_TESTS_TEST_SUPPORT_H
#define LUMIRUN_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "image/raster.h"

namespace test_support {

// FNV-1a, 64 bits, as 16 hex digits.
std::string digest(const unsigned char* bytes, std::size_t count);
std::string raster_digest(const raster& r);

// Fills source_image (width a multiple of 4) in blue, green, red order with
// a red "F" on blue; every pixel also carries its coordinates in the green
// byte so that a moved pixel is told from its neighbours.
void make_f_picture(std::int32_t width, std::int32_t height);

// A colourful gradient picture of any size, blue, green, red order.
void make_gradient_picture(std::int32_t width, std::int32_t height);

// Pixel bytes (blue, green, red) of a raster.
std::vector<unsigned char> pixel_at(const raster& r, std::int32_t x, std::int32_t y);

// Records status texts and warning boxes while alive, and puts back the
// default sinks afterwards.
class ui_recorder {
public:
    ui_recorder();
    ~ui_recorder();
    ui_recorder(const ui_recorder&) = delete;
    ui_recorder& operator=(const ui_recorder&) = delete;

    std::vector<std::string> status_texts;
    std::vector<std::string> warnings;  // "caption|text"
};

// Releases both rasters, zeroes their sizes, and resets the observer.
void reset_core_state();

}  // namespace test_support

#endif

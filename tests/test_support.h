// Helpers shared by the core tests: small asymmetric pictures that show swaps
// and flips, digests, and recorders for the status text and warning boxes.
#ifndef LUMIRUN_TESTS_TEST_SUPPORT_H
#define LUMIRUN_TESTS_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "app/picture_store.h"
#include "app/render_view.h"
#include "image/raster.h"
#include "render/machine.h"

namespace test_support {

// FNV-1a, 64 bits, as 16 hex digits.
std::string digest(const unsigned char* bytes, std::size_t count);
std::string raster_digest(const raster& r);

// A picture (width a multiple of 4) in blue, green, red order with a red
// "F" on blue; every pixel also carries its coordinates in the green byte so
// that a moved pixel is told from its neighbours.
raster f_picture(std::int32_t width, std::int32_t height);

// A colourful gradient picture of any size, blue, green, red order.
raster gradient_picture(std::int32_t width, std::int32_t height);

// The same pictures as the viewer's source_image (the rendered one released).
void make_f_picture(std::int32_t width, std::int32_t height);
void make_gradient_picture(std::int32_t width, std::int32_t height);

// Settings as numbers, as the dialogs store them.
inline fly_by_direction direction(std::int32_t d) { return static_cast<fly_by_direction>(d); }
inline quality_level quality(std::int32_t q) { return static_cast<quality_level>(q); }

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

// Every vector width this processor runs, narrowest first.
std::vector<simd_level> supported_simd_levels();

// Releases both rasters, zeroes their sizes, and resets the observer.
void reset_core_state();

}  // namespace test_support

#endif

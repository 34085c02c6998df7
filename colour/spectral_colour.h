// Colour and brightness of a pixel whose light reaches the observer with
// Doppler factor D (observed frequency over emitted frequency).
//
// A photograph holds three numbers per pixel, not a spectrum, so the model
// supplies one: a pixel's linear sRGB values r, g, b reflect a black-body
// illuminant E_T through three reflectance curves,
//     S(l) = (r rho_r(l) + g rho_g(l) + b rho_b(l)) E_T(l),
// the curves smooth, within [0, 1] and summing to 1 at every wavelength
// (white reflects everything), and fitted (scripts/fit-spectral-basis.py)
// so that each one, lit by E_T and adapted to the sRGB white (von Kries on
// CAT16's cones), has its sRGB primary's colour. Radiance keeps
// I_nu / nu^3, so the observer sees I(l) = D^5 S(l D) per wavelength;
// against the CIE 1931 2-degree observer that is a 3 x 3 matrix A(D) applied
// to the reflectances. With V the display's view of light (that adaptation,
// then sRGB's matrix) the shown colour is V A(D) (V A(1))^-1 (r, g, b): the
// identity at rest; the light's own sRGB colour adapted to the picture's
// white; and since white's reflectances are exactly (1, 1, 1) however well
// the curves fit, a white pixel is a black body at T seen at D, which is
// exactly a black body at D T. The eye stays adapted to the picture's white:
// with the picture at rest shown as it is, an adaptation that does not
// change with D cancels out whatever its degree, and only its space stays.
//
// What sRGB cannot show is brought in keeping hue: a negative channel is
// mixed with grey of the same luminance until it reaches 0 (luminance and
// hue kept, chroma given up), and a channel above 1 scales the whole pixel
// down (hue and chroma kept, the luminance above what the display shows at
// that colour given up, after the tone map has compressed it).
//
// Everything here is pure: what it reads it is given. No C library
// transcendental runs per pixel (colour/portable_math.h).
#ifndef LUMIRUN_COLOUR_SPECTRAL_COLOUR_H
#define LUMIRUN_COLOUR_SPECTRAL_COLOUR_H

#include <array>
#include <vector>

#include "colour/spectral_basis_table.h"

// Row-major: m[3 * row + column].
using matrix3 = std::array<double, 9>;

struct tristimulus {
    double x;
    double y;
    double z;
};

// The CIE 1931 2-degree colour-matching functions at a wavelength in
// nanometres: the CIE's table (colour/cie_1931_table.h), linear between its
// wavelengths 5 nm apart, 0 outside 360 to 830 nm.
tristimulus cie_1931_observer(double wavelength_nm);

// Planck's law per wavelength up to a constant factor:
// 1 / (l^5 (exp(c2 / (l T)) - 1)), l in nanometres, T in kelvin.
double black_body(double wavelength_nm, double temperature);

// The red and green reflectance curves for one illuminant, at the table's
// nodes; blue is what is left of 1.
struct spectral_basis {
    std::array<double, spectral_basis_nodes> red{};
    std::array<double, spectral_basis_nodes> green{};
};

// The table's curves for a temperature: exact at its temperatures, linear in
// ln T between them, the ends held beyond them.
spectral_basis basis_for_temperature(double temperature);

// The three reflectance curves (red, green, blue) at a wavelength, linear
// between nodes; constant below 380 nm and above 780 nm, where a photo says
// nothing.
std::array<double, 3> reflectances(const spectral_basis& basis, double wavelength_nm);

// The sRGB transfer curve, both ways, on [0, 1].
double srgb_to_linear(double encoded);
double linear_to_srgb(double linear);

// The observed band, the table's: the colour-matching functions are
// integrated over it with Simpson's rule at this step, four steps to the
// table's, so that the table's corners fall between Simpson's pairs.
constexpr double band_first_nm = 360.0;
constexpr double band_last_nm = 830.0;
constexpr double band_step_nm = 1.25;

// A(D) = matrix * exp(log_scale): the scale keeps the deep red shifts, whose
// light is all far beyond the Wien peak, from underflowing.
struct scaled_matrix {
    matrix3 matrix;
    double log_scale;
};

// Column j: the tristimulus values of the light of reflectance j seen at D.
scaled_matrix tristimulus_matrix(double temperature, double doppler);

bool invert(const matrix3& m, matrix3* inverse);
matrix3 multiply(const matrix3& a, const matrix3& b);

enum class doppler_mode { colour_and_brightness, colour_only };
// clip: light brighter than white scaled down keeping its hue; reinhard:
// Reinhard's curve on luminance; compress: a picture spanning more stops
// than the display shows brought into it, L -> 2^e L^c K^(1 - c), a straight
// line of slope c in stops about the picture's log-average K (the
// statistics choose c, render/doppler.h).
enum class tone_map { clip, reinhard, compress };

struct colour_shift_settings {
    doppler_mode mode = doppler_mode::colour_and_brightness;
    double temperature = 6500.0;  // kelvin
    double exposure = 0.0;        // stops
    tone_map tone = tone_map::clip;
    // Exposure from the picture itself (render/doppler.h); exposure is then
    // ignored.
    bool auto_exposure = false;
    // The luminance, after exposure, that Reinhard's curve maps to 1; at
    // most 1 (the default) leaves light up to white as it is.
    double white = 1.0;
    // compress's slope in stops (1 leaves the picture's range as it is) and
    // the log2 luminance it turns about.
    double contrast = 1.0;
    double pivot = 0.0;
    // Whether the two above are settled (render/doppler.h), not still to be
    // chosen from the picture.
    bool curve_settled = false;
};

// sRGB's luminance of linear r, g, b (IEC 61966-2-1): white gives 1.
constexpr std::array<double, 3> srgb_luminance = {0.2126, 0.7152, 0.0722};

// V A(D) (V A(1))^-1 on nodes evenly spaced in ln D, so that one pass over a
// picture interpolates instead of integrating per pixel. Each node keeps
// the matrix divided by the luminance of white at that D, and that
// luminance's logarithm: both vary slowly in ln D, the product does not.
struct colour_shift_node {
    matrix3 colour;        // V A(D) (V A(1))^-1 / brightness
    double log_brightness;  // ln of white's sRGB luminance at D over that at rest
};

struct colour_shift_table {
    colour_shift_settings settings;
    double first_log_d = 0.0;  // ln D of nodes[0]; a multiple of node_step
    std::vector<colour_shift_node> nodes;
    std::array<double, 3> luminance = srgb_luminance;  // of linear r, g, b: sRGB's
    double exposure_gain = 1.0;            // 2^exposure
    double reinhard_white = 1.0;           // max(1, settings.white)
    std::array<double, 256> decode{};      // byte -> linear
    std::array<double, 255> encode_mid{};  // linear values half-way between bytes
    // The byte at the start of each of encode_buckets equal slices of
    // [0, 1]: a slice holds at most one midpoint, so one comparison ends
    // the search.
    std::array<unsigned char, 4096> encode_start{};
};

constexpr int encode_buckets = 4096;

// ln D between nodes: interpolation errors stay below 1e-4 of the largest
// value (6e-5 for the coldest black body the tests see, 600 K).
constexpr double node_step = 1.0 / 256.0;

// The table for D in [d_min, d_max] (0 < d_min <= 1 <= d_max); D = 1 is a
// node. False when V A(1) cannot be inverted (a temperature far outside
// the usual range).
bool make_colour_shift_table(const colour_shift_settings& settings, double d_min, double d_max,
                             colour_shift_table* table);

// Gives a table the exposure and tone curve of these settings (their mode
// and temperature must be the table's).
void set_exposure(const colour_shift_settings& settings, colour_shift_table* table);

// Linear r, g, b seen at D, before exposure and tone mapping (D clamped to
// the table's range). colour_only divides every pixel by white's luminance
// at D (one factor for the whole of a D): greys keep their luminance,
// colours shift and dim as their light leaves the visible band, and none
// is brightened by its own ratio.
std::array<double, 3> shifted_linear(const colour_shift_table& table, double doppler,
                                     const std::array<double, 3>& rgb);

// Into sRGB's gamut keeping hue: negative channels mixed with grey of the
// same luminance (black when that luminance is not above 0), then a channel
// above 1 scales all three down. Within [0, 1] it is left as it is.
std::array<double, 3> map_into_gamut(const std::array<double, 3>& rgb);

// The first half of map_into_gamut: negative channels mixed with grey of the
// same luminance, nothing scaled down.
std::array<double, 3> desaturate_negatives(const std::array<double, 3>& rgb);

// What a pixel shows, linear: shifted, exposed, tone-mapped and brought into
// the gamut.
std::array<double, 3> display_linear(const colour_shift_table& table, double doppler,
                                     const std::array<double, 3>& rgb);

// The same for light already shifted (shifted_linear's, or a mean of such):
// exposed, tone-mapped and brought into the gamut.
std::array<double, 3> display_seen(const colour_shift_table& table, std::array<double, 3> seen);

// One pixel, bytes in blue, green, red order, as display_linear gives it.
// Black stays black.
void shift_pixel(const colour_shift_table& table, double doppler, const unsigned char in[3], unsigned char out[3]);

// The nearest byte in the sRGB encoding to a linear value, clipped to [0, 1].
unsigned char encode_srgb(const colour_shift_table& table, double linear);

#endif

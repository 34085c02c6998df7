#include "colour/spectral_colour.h"

#include <algorithm>
#include <cmath>

#include "colour/cie_1931_table.h"
#include "colour/portable_math.h"

namespace {

// The second radiation constant h c / k, in nanometre kelvins (CODATA 2018).
constexpr double second_radiation_constant = 1.438776877e7;

// The observed band's sample wavelengths, their Simpson weights and the
// colour-matching functions there: the same for every D.
struct band_samples {
    std::vector<double> wavelength;
    std::vector<double> weight;
    std::vector<tristimulus> observer;
};

band_samples make_band()
{
    band_samples band;
    const int intervals = static_cast<int>((band_last_nm - band_first_nm) / band_step_nm);  // even
    for (int k = 0; k <= intervals; ++k) {
        const double wavelength = band_first_nm + (band_step_nm * static_cast<double>(k));
        const double factor = (k == 0 || k == intervals) ? 1.0 : (k % 2 == 1 ? 4.0 : 2.0);
        band.wavelength.push_back(wavelength);
        band.weight.push_back((factor * band_step_nm) / 3.0);
        band.observer.push_back(cie_1931_observer(wavelength));
    }
    return band;
}

// The light of reflectance j seen at D at observed wavelength l is
// D^5 rho_j(l D) B(l D, T) = rho_j(l D) B(l, D T): Planck's law keeps its form
// under the shift. B is taken times exp(x_ref), x_ref = c2 / (l_last D T)
// being the smallest exponent in the band, so the reddest sample stays near
// 1 however deep the shift.
scaled_matrix integrate(const band_samples& band, const spectral_basis& basis, double temperature, double doppler)
{
    const double shifted_temperature = doppler * temperature;
    const double x_ref = second_radiation_constant / (band_last_nm * shifted_temperature);
    // exp(-x) = exp(x_ref - x) exp(-x_ref), one exponential a sample; where
    // exp(-x_ref) underflows, 1 - exp(-x) is 1 anyway, and x >= x_ref stays
    // above 0.04 for every speed, so 1 - exp(-x) loses no accuracy to speak of.
    const double ref_factor = portable_exp(-x_ref);
    matrix3 m{};
    for (std::size_t k = 0; k < band.wavelength.size(); ++k) {
        const double l = band.wavelength[k];
        const double x = second_radiation_constant / (l * shifted_temperature);
        const double l2 = l * l;
        const double scaled = portable_exp(x_ref - x);
        const double radiance = scaled / (((l2 * l2) * l) * (1.0 - (scaled * ref_factor)));
        const std::array<double, 3> rho = reflectances(basis, l * doppler);
        const tristimulus& o = band.observer[k];
        const double row[3] = {o.x, o.y, o.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m[3 * i + j] += band.weight[k] * ((row[i] * rho[j]) * radiance);
    }
    return {m, -x_ref};
}

std::array<double, 3> apply(const matrix3& m, const std::array<double, 3>& v)
{
    std::array<double, 3> out{};
    for (int i = 0; i < 3; ++i)
        out[i] = ((m[3 * i] * v[0]) + (m[3 * i + 1] * v[1])) + (m[3 * i + 2] * v[2]);
    return out;
}

double dot(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return ((a[0] * b[0]) + (a[1] * b[1])) + (a[2] * b[2]);
}

// CAT16's cone responses from XYZ (Li et al., CAM16, 2017): the space in
// which colour-appearance models adapt.
constexpr matrix3 cat16_cones = {0.401288, 0.650173, -0.051461, -0.250268, 1.204414,
                                 0.045854, -0.002079, 0.048952, 0.953127};

std::array<double, 3> xyz_of(double x, double y)
{
    return {x / y, 1.0, ((1.0 - x) - y) / y};
}

// XYZ from linear sRGB (IEC 61966-2-1): the primaries' chromaticities as
// columns, scaled so that r = g = b = 1 is D65's white.
bool srgb_to_xyz(matrix3* m)
{
    const std::array<double, 3> p[3] = {xyz_of(0.64, 0.33), xyz_of(0.30, 0.60), xyz_of(0.15, 0.06)};
    const matrix3 primaries = {p[0][0], p[1][0], p[2][0], p[0][1], p[1][1], p[2][1], p[0][2], p[1][2], p[2][2]};
    matrix3 inverse;
    if (!invert(primaries, &inverse))
        return false;
    const std::array<double, 3> scale = ::apply(inverse, xyz_of(0.3127, 0.3290));
    *m = primaries;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            (*m)[3 * i + j] *= scale[j];
    return true;
}

// What the display shows of light in XYZ under a white: von Kries on CAT16's
// cones from that white to D65, then sRGB's matrix. The white itself comes
// out as r = g = b, at its luminance.
bool display_view(const std::array<double, 3>& white, matrix3* view)
{
    matrix3 to_xyz, to_rgb, cones_inverse;
    if (!srgb_to_xyz(&to_xyz) || !invert(to_xyz, &to_rgb) || !invert(cat16_cones, &cones_inverse))
        return false;
    const std::array<double, 3> from = ::apply(cat16_cones, white);
    const std::array<double, 3> to = ::apply(cat16_cones, xyz_of(0.3127, 0.3290));
    matrix3 gains{};
    for (int i = 0; i < 3; ++i)
        gains[4 * i] = (to[i] * white[1]) / from[i];
    *view = multiply(to_rgb, multiply(cones_inverse, multiply(gains, cat16_cones)));
    return std::isfinite(dot({1.0, 1.0, 1.0}, ::apply(*view, white)));
}

}  // namespace

tristimulus cie_1931_observer(double l)
{
    const double at = (l - cie_1931_first_nm) / cie_1931_step_nm;
    if (!(at >= 0.0 && at <= cie_1931_count - 1))
        return {0.0, 0.0, 0.0};  // NaN too
    const int i = std::min(static_cast<int>(at), cie_1931_count - 2);
    const double f = at - static_cast<double>(i);
    const double* a = cie_1931_table[i];
    const double* b = cie_1931_table[i + 1];
    return {a[0] + (f * (b[0] - a[0])), a[1] + (f * (b[1] - a[1])), a[2] + (f * (b[2] - a[2]))};
}

double black_body(double wavelength_nm, double temperature)
{
    const double l2 = wavelength_nm * wavelength_nm;
    return 1.0 / (((l2 * l2) * wavelength_nm) * std::expm1(second_radiation_constant / (wavelength_nm * temperature)));
}

spectral_basis basis_for_temperature(double temperature)
{
    const double* t = spectral_basis_temperatures;
    int i = 0;
    while (i + 2 < spectral_basis_count && temperature > t[i + 1])
        ++i;
    double f = (portable_log(temperature) - portable_log(t[i])) / (portable_log(t[i + 1]) - portable_log(t[i]));
    f = std::min(std::max(f, 0.0), 1.0);  // NaN to 0 too
    spectral_basis basis;
    for (int k = 0; k < spectral_basis_nodes; ++k) {
        const double r0 = spectral_basis_curves[i][0][k];
        const double g0 = spectral_basis_curves[i][1][k];
        basis.red[k] = r0 + (f * (static_cast<double>(spectral_basis_curves[i + 1][0][k]) - r0));
        basis.green[k] = g0 + (f * (static_cast<double>(spectral_basis_curves[i + 1][1][k]) - g0));
    }
    return basis;
}

std::array<double, 3> reflectances(const spectral_basis& basis, double wavelength_nm)
{
    const double last = static_cast<double>(spectral_basis_nodes - 1);
    double at = (wavelength_nm - spectral_basis_first_nm) / spectral_basis_step_nm;
    at = at > 0.0 ? std::min(at, last) : 0.0;
    const int i = std::min(static_cast<int>(at), spectral_basis_nodes - 2);
    const double f = at - static_cast<double>(i);
    const double r = basis.red[i] + (f * (basis.red[i + 1] - basis.red[i]));
    const double g = basis.green[i] + (f * (basis.green[i + 1] - basis.green[i]));
    // The table's values are rounded: blue keeps the sum at 1 and is never
    // below 0.
    return {r, g, std::max((1.0 - r) - g, 0.0)};
}

double srgb_to_linear(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double linear_to_srgb(double l)
{
    return l <= 0.0031308 ? 12.92 * l : (1.055 * std::pow(l, 1.0 / 2.4)) - 0.055;
}

scaled_matrix tristimulus_matrix(double temperature, double doppler)
{
    return integrate(make_band(), basis_for_temperature(temperature), temperature, doppler);
}

bool invert(const matrix3& m, matrix3* inverse)
{
    const double c00 = (m[4] * m[8]) - (m[5] * m[7]);
    const double c01 = (m[5] * m[6]) - (m[3] * m[8]);
    const double c02 = (m[3] * m[7]) - (m[4] * m[6]);
    const double det = ((m[0] * c00) + (m[1] * c01)) + (m[2] * c02);
    if (!(std::isfinite(det) && det != 0.0))
        return false;
    *inverse = {c00 / det,
                ((m[2] * m[7]) - (m[1] * m[8])) / det,
                ((m[1] * m[5]) - (m[2] * m[4])) / det,
                c01 / det,
                ((m[0] * m[8]) - (m[2] * m[6])) / det,
                ((m[2] * m[3]) - (m[0] * m[5])) / det,
                c02 / det,
                ((m[1] * m[6]) - (m[0] * m[7])) / det,
                ((m[0] * m[4]) - (m[1] * m[3])) / det};
    return true;
}

matrix3 multiply(const matrix3& a, const matrix3& b)
{
    matrix3 c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            c[3 * i + j] = ((a[3 * i] * b[j]) + (a[3 * i + 1] * b[3 + j])) + (a[3 * i + 2] * b[6 + j]);
    return c;
}

bool make_colour_shift_table(const colour_shift_settings& settings, double d_min, double d_max,
                             colour_shift_table* table)
{
    const band_samples band = make_band();
    const spectral_basis basis = basis_for_temperature(settings.temperature);
    const scaled_matrix at_rest = integrate(band, basis, settings.temperature, 1.0);
    // V: the display's view of light, adapted to the picture's white; the
    // pixel's reflectances are (V A(1))^-1 rgb, the identity where the
    // curves match their primaries exactly, and white's exactly where they
    // do not (they sum to 1), so that white at D is the black body at D T
    // as the adapted eye sees it.
    const std::array<double, 3> white = ::apply(at_rest.matrix, {1.0, 1.0, 1.0});
    matrix3 view, from_pixel;
    if (!display_view(white, &view) || !invert(multiply(view, at_rest.matrix), &from_pixel))
        return false;

    colour_shift_table t;
    t.settings = settings;
    const long first = static_cast<long>(std::floor(portable_log(d_min) / node_step));
    const long last = std::max(static_cast<long>(std::ceil(portable_log(d_max) / node_step)), first + 1);
    t.first_log_d = static_cast<double>(first) * node_step;
    for (long k = first; k <= last; ++k) {
        const double d = portable_exp(static_cast<double>(k) * node_step);
        const scaled_matrix seen = k == 0 ? at_rest : integrate(band, basis, settings.temperature, d);
        // The matrices carry different scales: V A(D) (V A(1))^-1 = view *
        // seen * from_pixel * exp(seen.log_scale - at_rest.log_scale). White's luminance as shown
        // is sRGB's of the matrix's row sums; a light so deep in the red or
        // the violet that it has none to speak of keeps the scale it has.
        colour_shift_node node;
        node.colour = multiply(view, multiply(seen.matrix, from_pixel));
        double y = 0.0;
        for (int i = 0; i < 3; ++i)
            y += srgb_luminance[i] * ((node.colour[3 * i] + node.colour[3 * i + 1]) + node.colour[3 * i + 2]);
        if (!(y > 0.0))
            y = 1.0;
        for (double& c : node.colour)
            c /= y;
        node.log_brightness = (portable_log(y) + seen.log_scale) - at_rest.log_scale;
        t.nodes.push_back(node);
    }
    set_exposure(settings, &t);
    for (int v = 0; v < 256; ++v)
        t.decode[v] = srgb_to_linear(static_cast<double>(v) / 255.0);
    for (int v = 0; v < 255; ++v)
        t.encode_mid[v] = srgb_to_linear((static_cast<double>(v) + 0.5) / 255.0);
    for (int k = 0; k < encode_buckets; ++k) {
        const double start = static_cast<double>(k) / encode_buckets;
        const auto above = std::upper_bound(t.encode_mid.begin(), t.encode_mid.end(), start);
        t.encode_start[k] = static_cast<unsigned char>(above - t.encode_mid.begin());
    }
    *table = std::move(t);
    return true;
}

void set_exposure(const colour_shift_settings& settings, colour_shift_table* table)
{
    table->settings = settings;
    table->exposure_gain = portable_exp2(settings.exposure);
    table->reinhard_white = std::max(1.0, settings.white);
}

std::array<double, 3> shifted_linear(const colour_shift_table& table, double doppler,
                                     const std::array<double, 3>& rgb)
{
    const double last = static_cast<double>(table.nodes.size() - 1);
    double at = (portable_log(doppler) - table.first_log_d) / node_step;
    at = at > 0.0 ? std::min(at, last) : 0.0;  // NaN to the first node too
    const std::size_t i = std::min(static_cast<std::size_t>(at), table.nodes.size() - 2);
    const double f = at - static_cast<double>(i);
    const colour_shift_node& a = table.nodes[i];
    const colour_shift_node& b = table.nodes[i + 1];
    matrix3 colour;
    for (int k = 0; k < 9; ++k)
        colour[k] = a.colour[k] + (f * (b.colour[k] - a.colour[k]));
    // Qualified: argument lookup would also find std::apply, which libc++
    // (the WebAssembly build's) rejects as a hard error.
    std::array<double, 3> out = ::apply(colour, rgb);

    // The colour alone leaves out white's change of luminance, one factor
    // for every pixel at this D: a grey keeps its luminance, a colour whose
    // light leaves the visible band dims with it.
    if (table.settings.mode == doppler_mode::colour_only)
        return out;
    const double scale = portable_exp(a.log_brightness + (f * (b.log_brightness - a.log_brightness)));
    for (double& c : out)
        c *= scale;
    return out;
}

unsigned char encode_srgb(const colour_shift_table& table, double linear)
{
    // The count of midpoints not above the value; a decoded byte lies
    // strictly between two midpoints, so a byte comes back as itself. The
    // midpoints are at least 1 / (255 * 12.92) apart, more than a slice.
    if (!(linear > 0.0))
        return 0;  // NaN too
    if (linear >= 1.0)
        return 255;
    unsigned char byte = table.encode_start[static_cast<std::size_t>(linear * encode_buckets)];
    if (byte < 255 && table.encode_mid[byte] <= linear)
        ++byte;
    return byte;
}

std::array<double, 3> desaturate_negatives(const std::array<double, 3>& rgb)
{
    const double y = dot(srgb_luminance, rgb);
    if (!(y > 0.0))
        return {0.0, 0.0, 0.0};  // NaN too
    std::array<double, 3> out = rgb;
    const double lowest = std::min({rgb[0], rgb[1], rgb[2]});
    if (lowest < 0.0) {
        // y + t (c - y) with the largest t that leaves every channel at 0 or
        // above: the line to grey keeps the dominant wavelength.
        const double t = y / (y - lowest);
        for (double& c : out)
            c = std::max(y + (t * (c - y)), 0.0);
    }
    return out;
}

std::array<double, 3> map_into_gamut(const std::array<double, 3>& rgb)
{
    std::array<double, 3> out = desaturate_negatives(rgb);
    const double highest = std::max({out[0], out[1], out[2]});
    if (highest > 1.0)
        for (double& c : out)
            c /= highest;
    return out;
}

std::array<double, 3> display_linear(const colour_shift_table& table, double doppler,
                                     const std::array<double, 3>& rgb)
{
    return display_seen(table, shifted_linear(table, doppler, rgb));
}

std::array<double, 3> display_seen(const colour_shift_table& table, std::array<double, 3> seen)
{
    double gain = table.exposure_gain;
    if (table.settings.tone == tone_map::compress && table.settings.contrast != 1.0) {
        const double l = dot(srgb_luminance, seen);
        if (l > 0.0)
            gain *= portable_exp2((table.settings.contrast - 1.0) * (portable_log2(l) - table.settings.pivot));
    } else if (table.settings.tone == tone_map::reinhard) {
        // Reinhard et al. (2002), extended form, on luminance: the white
        // maps to 1, darker light is compressed less, and the hue is kept.
        const double l = dot(srgb_luminance, seen) * gain;
        if (l > 0.0) {
            const double w = table.reinhard_white;
            gain *= (1.0 + (l / (w * w))) / (1.0 + l);
        }
    }
    for (double& c : seen)
        c *= gain;
    return map_into_gamut(seen);
}

void shift_pixel(const colour_shift_table& table, double doppler, const unsigned char in[3], unsigned char out[3])
{
    if (in[0] == 0 && in[1] == 0 && in[2] == 0) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const std::array<double, 3> rgb = {table.decode[in[2]], table.decode[in[1]], table.decode[in[0]]};
    const std::array<double, 3> shown = display_linear(table, doppler, rgb);
    out[2] = encode_srgb(table, shown[0]);
    out[1] = encode_srgb(table, shown[1]);
    out[0] = encode_srgb(table, shown[2]);
}

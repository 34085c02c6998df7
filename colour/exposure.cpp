#include "colour/exposure.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "colour/portable_math.h"

namespace {

double luminance(const std::array<double, 3>& rgb)
{
    return ((srgb_luminance[0] * rgb[0]) + (srgb_luminance[1] * rgb[1])) + (srgb_luminance[2] * rgb[2]);
}

// log2 of a positive value to about 1e-6 (far finer than a bucket): the
// exponent from its bits, the mantissa's from a table of 257 values on
// [1, 2] with linear interpolation. Zero and subnormals read as the lowest.
class quick_log2 {
public:
    quick_log2()
    {
        for (int k = 0; k <= 256; ++k)
            table_[k] = portable_log2(1.0 + (static_cast<double>(k) / 256.0));
    }

    double operator()(double x) const
    {
        std::uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        const int biased = static_cast<int>((bits >> 52) & 0x7ff);
        if (biased == 0)
            return -1022.0;
        const double f = static_cast<double>(bits & ((std::uint64_t{1} << 52) - 1)) * (256.0 / 4503599627370496.0);
        const int k = static_cast<int>(f);
        return static_cast<double>(biased - 1023) + (table_[k] + ((f - k) * (table_[k + 1] - table_[k])));
    }

private:
    double table_[257];
};

// The cell of linear r, g, b (no channel below 0, luminance above 0).
std::size_t cell_of(const std::array<double, 3>& rgb, double y)
{
    static const quick_log2 log2_of;
    const double level = log2_of(y);
    const double highest = std::max({rgb[0], rgb[1], rgb[2]});
    const double l = (level - lowest_level_stop) * level_buckets_per_stop;
    const double s = (log2_of(highest) - level) * shape_buckets_per_stop;
    const std::size_t li = l > 0.0 ? static_cast<std::size_t>(std::min(l, static_cast<double>(level_buckets - 1))) : 0;
    const std::size_t si = s > 0.0 ? static_cast<std::size_t>(std::min(s, static_cast<double>(shape_buckets - 1))) : 0;
    return (li * shape_buckets) + si;
}

// A histogram's non-empty cells: log2 luminance and log2 (brightest channel
// / luminance) at their middles, and their counts.
struct cell {
    double level;
    double shape;
    double count;
};

std::vector<cell> cells_of(const std::vector<std::int64_t>& histogram)
{
    std::vector<cell> cells;
    for (std::size_t k = 0; k < histogram.size(); ++k) {
        if (histogram[k] == 0)
            continue;
        const std::size_t l = k / shape_buckets;
        const std::size_t s = k % shape_buckets;
        cells.push_back({lowest_level_stop + ((static_cast<double>(l) + 0.5) / level_buckets_per_stop),
                         (static_cast<double>(s) + 0.5) / shape_buckets_per_stop,
                         static_cast<double>(histogram[k])});
    }
    return cells;
}

// Where the display's bytes start and end, log2 of linear values: the
// brightest channel's value below which every channel rounds to 2 or less,
// and above which one rounds to 255 (just below srgb_to_linear(254.5/255));
// and the luminance a pixel shown black counts at in the key (byte 0.5).
const double black_top = portable_log2(2.5 / (255.0 * 12.92));
const double full_bottom = portable_log2(0.9957);
const double darkest_shown = portable_log2(0.5 / (255.0 * 12.92));

// A curve as the statistics try it: the exposure and the curve's parameters.
struct trial {
    tone_map tone;
    double exposure;
    double contrast;
    double pivot;
    double white;  // Reinhard's, after exposure
};

// log2 of the gain a cell's light gets from the exposure and the curve.
double log_gain(const trial& t, double level)
{
    switch (t.tone) {
    case tone_map::compress:
        return t.exposure + ((t.contrast - 1.0) * (level - t.pivot));
    case tone_map::reinhard: {
        const double l = portable_exp2(level + t.exposure);
        return t.exposure + portable_log2((1.0 + (l / (t.white * t.white))) / (1.0 + l));
    }
    default:
        return t.exposure;
    }
}

// What the display shows of a histogram's cells under a curve.
struct shown {
    double key = 0.0;    // mean log2 luminance shown
    double black = 0.0;  // fraction black
    double full = 0.0;   // fraction with a channel at 255
};

shown show(const std::vector<cell>& cells, double pixels, double unseen, const trial& t)
{
    shown out;
    double key = unseen * darkest_shown;
    double black = unseen;
    double full = 0.0;
    for (const cell& c : cells) {
        const double g = log_gain(t, c.level);
        const double top = g + c.level + c.shape;  // the brightest channel
        // Above 1 the pixel is scaled down as a whole.
        const double level = std::max((g + c.level) - std::max(top, 0.0), darkest_shown);
        key += c.count * level;
        if (top < black_top)
            black += c.count;
        else if (top >= full_bottom)
            full += c.count;
    }
    out.key = key / pixels;
    out.black = black / pixels;
    out.full = full / pixels;
    return out;
}

double mean_level(const std::vector<cell>& cells, double pixels)
{
    double sum = 0.0;
    for (const cell& c : cells)
        sum += c.count * c.level;
    return sum / pixels;
}

// Reinhard's white before exposure: the lower edge of the level that holds
// the brightest 0.5 % (so that a picture whose brightest is white at rest
// gets exactly 1).
double brightest_luminance(const doppler_statistics& statistics)
{
    const std::int64_t brightest = (statistics.pixels + 199) / 200;
    std::int64_t above = 0;
    int l = level_buckets - 1;
    for (; l > 0; --l) {
        for (int s = 0; s < shape_buckets; ++s)
            above += statistics.seen_histogram[static_cast<std::size_t>(l) * shape_buckets + s];
        if (above >= brightest)
            break;
    }
    return portable_exp2(lowest_level_stop + (static_cast<double>(l) / level_buckets_per_stop));
}

// The x in [low, high] where a growing f crosses the target, to 1/4096.
template <typename F>
double solve(F f, double target, double low, double high)
{
    for (int k = 0; k < 18; ++k) {
        const double middle = 0.5 * (low + high);
        (f(middle) < target ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

double to_256ths(double x)
{
    return std::floor((x * 256.0) + 0.5) / 256.0;
}


}  // namespace

void count_lit_pixel(const std::array<double, 3>& rest, const std::array<double, 3>& seen,
                     doppler_statistics* statistics)
{
    const double rest_y = luminance(rest);
    const double seen_y = luminance(seen);
    ++statistics->pixels;
    ++statistics->rest_histogram[cell_of(rest, rest_y)];
    if (seen_y > 0.0)
        ++statistics->seen_histogram[cell_of(seen, seen_y)];
    else
        ++statistics->unseen;
}

bool needs_statistics(const colour_shift_settings& colour)
{
    return (colour.auto_exposure && colour.mode != doppler_mode::colour_only)
           || (colour.tone == tone_map::reinhard && !(colour.white > 1.0))
           || (colour.tone == tone_map::compress && !colour.curve_settled);
}

colour_shift_settings settle_exposure(const colour_shift_settings& colour, const doppler_statistics& statistics)
{
    colour_shift_settings settled = colour;
    settled.auto_exposure = false;
    if (colour.auto_exposure)
        settled.exposure = 0.0;  // what the colour alone, or a black picture, keeps
    if (colour.tone == tone_map::compress && !colour.curve_settled) {
        settled.contrast = 1.0;
        settled.pivot = 0.0;
    }
    settled.curve_settled = true;
    if (statistics.pixels == 0 || statistics.pixels == statistics.unseen)
        return settled;
    const bool reinhard = colour.tone == tone_map::reinhard && !(colour.white > 1.0);
    const double brightest = brightest_luminance(statistics);
    const bool at_rest = statistics.unseen == 0 && statistics.seen_histogram == statistics.rest_histogram;
    const bool automatic = colour.auto_exposure && colour.mode != doppler_mode::colour_only && !at_rest;
    const double pixels = static_cast<double>(statistics.pixels);
    const double unseen = static_cast<double>(statistics.unseen);
    const std::vector<cell> seen = cells_of(statistics.seen_histogram);
    const double rest_key = mean_level(cells_of(statistics.rest_histogram), pixels);

    if (reinhard) {
        const auto key_at = [&](double e) {
            return show(seen, pixels, unseen,
                        trial{tone_map::reinhard, e, 1.0, 0.0, std::max(1.0, brightest * portable_exp2(e))})
                .key;
        };
        if (automatic)
            settled.exposure = to_256ths(solve(key_at, rest_key, -20.0, 20.0));
        settled.white = std::max(1.0, brightest * portable_exp2(settled.exposure));
    } else if (colour.tone == tone_map::compress && !colour.curve_settled && !at_rest) {
        const double pivot = to_256ths(mean_level(seen, pixels - unseen));
        const shown rest = show(cells_of(statistics.rest_histogram), pixels, 0.0,
                                trial{tone_map::clip, 0.0, 1.0, 0.0, 1.0});
        const double black_limit = std::max(most_black, rest.black + 0.01);
        const auto at = [&](double e, double c) {
            return show(seen, pixels, unseen, trial{tone_map::compress, e, c, pivot, 1.0});
        };
        // With the slope fixed, more exposure leaves fewer pixels black and
        // more at 255: the exposures both limits allow make an interval,
        // which widens as the slope falls. The largest slope whose interval
        // holds the exposure that keeps the key (or, with the exposure
        // given, holds that one); then the exposure within the interval
        // nearest the key.
        const auto lowest_exposure = [&](double c) {
            return solve([&](double e) { return -at(e, c).black; }, -black_limit, -20.0, 20.0);
        };
        const auto highest_exposure = [&](double c) {
            return solve([&](double e) { return at(e, c).full; }, most_at_full, -20.0, 20.0);
        };
        const auto key_exposure = [&](double c) {
            return solve([&](double e) { return at(e, c).key; }, rest_key, -20.0, 20.0);
        };
        const auto fits = [&](double c) {
            if (!automatic)
                return at(colour.exposure, c).black <= black_limit && at(colour.exposure, c).full <= most_at_full;
            const double e = key_exposure(c);
            return lowest_exposure(c) <= e && e <= highest_exposure(c);
        };
        double contrast = 1.0;
        if (!fits(1.0)) {
            double low = 1.0 / 16.0;
            double high = 1.0;
            for (int k = 0; k < 10; ++k) {
                const double middle = 0.5 * (low + high);
                (fits(middle) ? low : high) = middle;
            }
            contrast = low;
        }
        settled.contrast = std::floor(contrast * 256.0) / 256.0;
        settled.pivot = pivot;
        if (automatic) {
            const double c = settled.contrast;
            const double low = lowest_exposure(c);
            const double high = highest_exposure(c);
            const double key = key_exposure(c);
            const double e = low <= high ? std::min(std::max(key, low), high) : 0.5 * (low + high);
            settled.exposure = to_256ths(e);
        }
    } else if (automatic) {
        const auto key_at = [&](double e) { return show(seen, pixels, unseen, trial{tone_map::clip, e, 1.0, 0.0, 1.0}).key; };
        settled.exposure = to_256ths(solve(key_at, rest_key, -20.0, 20.0));
    }
    settled.exposure = std::min(std::max(settled.exposure, -20.0), 20.0);
    return settled;
}

std::vector<colour_shift_settings> ease_between_frames(const std::vector<colour_shift_settings>& frames)
{
    std::vector<colour_shift_settings> eased = frames;
    const std::size_t n = frames.size();
    for (std::size_t k = 1; k + 1 < n; ++k) {
        double weight = 0.0;
        double offset = 0.0;  // log gain at log luminance 0
        double contrast = 0.0;
        double white = 0.0;
        for (std::size_t j = k - 1; j <= k + 1; ++j) {
            const double w = j == k ? 2.0 : 1.0;
            const colour_shift_settings& f = frames[j];
            const double c = f.tone == tone_map::compress ? f.contrast : 1.0;
            weight += w;
            offset += w * (f.exposure - ((c - 1.0) * (f.tone == tone_map::compress ? f.pivot : 0.0)));
            contrast += w * c;
            white += w * f.white;
        }
        eased[k].exposure = offset / weight;
        eased[k].white = white / weight;
        if (frames[k].tone == tone_map::compress) {
            eased[k].contrast = contrast / weight;
            eased[k].pivot = 0.0;
        }
    }
    return eased;
}

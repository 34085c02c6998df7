#include "pipeline/setting_texts.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

bool pick_name(const std::string& text, const char* const names[], std::int32_t first, std::int32_t count,
               std::int32_t* value)
{
    for (std::int32_t i = 0; i < count; ++i) {
        if (text == names[i] || text == std::to_string(first + i)) {
            *value = first + i;
            return true;
        }
    }
    return false;
}

// [+-] digits [. digits] [e [+-] digits], with a digit before or after the
// point.
bool is_decimal_number(const std::string& text)
{
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == text.size();
}

// The text before and after the one colon, or false when there is not
// exactly one.
bool split_range(const std::string& text, std::string* from, std::string* to)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        return false;
    *from = text.substr(0, colon);
    *to = text.substr(colon + 1);
    return true;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

// A whole decimal integer in the 32-bit range.
bool parse_int32(const std::string& text, std::int32_t* value)
{
    if (text.empty() || !(text[0] == '-' || text[0] == '+' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < std::numeric_limits<std::int32_t>::min()
        || parsed > std::numeric_limits<std::int32_t>::max())
        return false;
    *value = static_cast<std::int32_t>(parsed);
    return true;
}

bool parse_number(const std::string& text, double* value)
{
    if (!is_decimal_number(text))
        return false;
    char* end = nullptr;
    const double x = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(x))
        return false;
    *value = x;
    return true;
}

bool parse_speed_percent(const std::string& text, float* speed_fraction)
{
    std::string number = text;
    if (!number.empty() && number.back() == '%')
        number.pop_back();
    double x = 0.0;
    if (!parse_number(number, &x))
        return false;
    const double q = x / 100.0;
    const float e = static_cast<float>(q);
    if (q < 0.0 || e >= 1.0f)
        return false;
    *speed_fraction = e;
    return true;
}

bool parse_direction(const std::string& text, std::int32_t* direction)
{
    static const char* const names[] = {"left-to-right", "top-to-bottom", "straight-at-it"};
    return pick_name(text, names, 0, 3, direction);
}

bool parse_quality(const std::string& text, std::int32_t* quality)
{
    static const char* const names[] = {"low", "medium", "high", "ultra"};
    return pick_name(text, names, 1, 4, quality);
}

bool parse_render_quality(const std::string& text, render_method* method, std::int32_t* quality)
{
    if (text == "smooth") {
        *method = render_method::smooth;
        return true;
    }
    if (!parse_quality(text, quality))
        return false;
    *method = render_method::exact;
    return true;
}

bool parse_observer(const std::string& text, std::int32_t* x, std::int32_t* y)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    return parse_int32(text.substr(0, comma), x) && parse_int32(text.substr(comma + 1), y);
}

bool parse_temperature(const std::string& text, double* kelvin)
{
    double t = 0.0;
    if (!parse_number(text, &t) || t < 1000.0 || t > 40000.0)
        return false;
    *kelvin = t;
    return true;
}

bool parse_exposure(const std::string& text, double* stops)
{
    double e = 0.0;
    if (!parse_number(text, &e) || e < -20.0 || e > 20.0)
        return false;
    *stops = e;
    return true;
}

bool parse_effects(const std::string& text, relativity_effects* effects)
{
    static const char* const names[] = {"all", "contraction", "light-time", "none"};
    for (std::int32_t k = 0; k < 4; ++k)
        if (text == names[k]) {
            *effects = static_cast<relativity_effects>(k);
            return true;
        }
    return false;
}

bool parse_tone_map(const std::string& text, tone_map* tone)
{
    if (text == "clip")
        *tone = tone_map::clip;
    else if (text == "reinhard")
        *tone = tone_map::reinhard;
    else if (text == "compress")
        *tone = tone_map::compress;
    else
        return false;
    return true;
}


bool parse_speed_range(const std::string& text, float* from, float* to)
{
    std::string a;
    std::string b;
    return split_range(text, &a, &b) && parse_speed_percent(a, from) && parse_speed_percent(b, to);
}

bool parse_observer_range(const std::string& text, std::int32_t* x1, std::int32_t* y1, std::int32_t* x2,
                          std::int32_t* y2)
{
    std::string a;
    std::string b;
    return split_range(text, &a, &b) && parse_observer(a, x1, y1) && parse_observer(b, x2, y2);
}

bool parse_frame_count(const std::string& text, std::int32_t* frames)
{
    if (text.empty() || text.size() > 6)
        return false;
    std::int32_t value = 0;
    for (const char c : text) {
        if (!is_digit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > max_movie_frames)
        return false;
    *frames = value;
    return true;
}

bool parse_frame_rate(const std::string& text, double* fps)
{
    double value = 0.0;
    if (!parse_number(text, &value) || !(value >= 0.1) || !(value <= 1000.0))
        return false;
    *fps = value;
    return true;
}

bool parse_movie_size(const std::string& text, std::int32_t* width, std::int32_t* height)
{
    const std::size_t x = text.find_first_of("xX");
    std::int32_t sides[2] = {0, 0};
    if (x == std::string::npos)
        return false;
    const std::string parts[2] = {text.substr(0, x), text.substr(x + 1)};
    for (int k = 0; k < 2; ++k) {
        if (parts[k].empty() || parts[k].size() > 5)
            return false;
        for (const char c : parts[k]) {
            if (!is_digit(c))
                return false;
            sides[k] = sides[k] * 10 + (c - '0');
        }
        if (sides[k] < 1 || sides[k] > max_movie_side)
            return false;
    }
    *width = sides[0];
    *height = sides[1];
    return true;
}

bool parse_duration(const std::string& text, double* seconds)
{
    double value = 0.0;
    if (!parse_number(text, &value) || !(value > 0.0) || !(value <= 1000000.0))
        return false;
    *seconds = value;
    return true;
}

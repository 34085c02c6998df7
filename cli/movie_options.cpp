#include "cli/movie_options.h"

#include <cmath>
#include <cstdlib>

#include "cli/render_options.h"
#include "pipeline/movie_frames.h"

namespace {

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

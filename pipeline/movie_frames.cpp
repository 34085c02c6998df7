#include "pipeline/movie_frames.h"

#include "pipeline/ffmpeg_movie.h"

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool ends_with(const std::string& name, const std::string& extension)
{
    if (name.size() < extension.size())
        return false;
    std::string end = name.substr(name.size() - extension.size());
    for (char& c : end)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == extension;
}

bool ends_with_webp(const std::string& name)
{
    return ends_with(name, ".webp");
}

// Where the pattern's conversion starts and ends (one past its 'd'), and
// its zero flag and width; false when the name is no frame pattern.
struct conversion {
    std::size_t start = 0;
    std::size_t end = 0;
    bool zeros = false;
    int width = 0;
};

bool find_conversion(const std::string& name, conversion* found)
{
    const std::size_t start = name.find('%');
    if (start == std::string::npos || name.find('%', start + 1) != std::string::npos)
        return false;
    std::size_t i = start + 1;
    conversion c;
    c.start = start;
    if (i < name.size() && name[i] == '0') {
        c.zeros = true;
        ++i;
    }
    const std::size_t digits = i;
    while (i < name.size() && is_digit(name[i]) && i - digits < 2)
        c.width = c.width * 10 + (name[i++] - '0');
    if (i >= name.size() || name[i] != 'd' || c.width > 10 || (c.zeros && i == digits))
        return false;
    c.end = i + 1;
    *found = c;
    return true;
}

}  // namespace

movie_output movie_output_kind(const std::string& name)
{
    conversion c;
    if (name.find('%') != std::string::npos)
        return find_conversion(name, &c) && !ends_with_webp(name) ? movie_output::frame_files : movie_output::unknown;
    ffmpeg_container container = ffmpeg_container::mp4;
    if (ends_with_webp(name))
        return movie_output::webp;
    if (name == "-" || ends_with(name, ".y4m"))
        return movie_output::y4m;
    return ffmpeg_container_of(name, &container) ? movie_output::ffmpeg : movie_output::unknown;
}

std::string frame_file_name(const std::string& pattern, std::int32_t frame)
{
    conversion c;
    if (!find_conversion(pattern, &c))
        return pattern;
    std::string number = std::to_string(frame);
    if (static_cast<int>(number.size()) < c.width)
        number.insert(0, static_cast<std::size_t>(c.width) - number.size(), c.zeros ? '0' : ' ');
    return pattern.substr(0, c.start) + number + pattern.substr(c.end);
}

double movie_position(double from, double to, std::int32_t frame, std::int32_t frames)
{
    if (frames <= 1)
        return from;
    const double t = static_cast<double>(frame) / static_cast<double>(frames - 1);
    return from + (to - from) * t;
}

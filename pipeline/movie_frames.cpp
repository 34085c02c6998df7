#include "pipeline/movie_frames.h"

#include <algorithm>
#include <cmath>

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

// Where the pattern's conversion starts and ends (one past its 'd'), and its
// width (0: as many digits as the number has).
struct conversion {
    std::size_t start = 0;
    std::size_t end = 0;
    int width = 0;
};

// The one conversion of a pattern whose other "%" are all "%%"; false when
// there is none, more than one, or a "%" that is neither.
bool find_conversion(const std::string& name, conversion* found)
{
    bool seen = false;
    conversion c;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%')
            continue;
        if (i + 1 < name.size() && name[i + 1] == '%') {
            ++i;
            continue;
        }
        if (seen)
            return false;
        seen = true;
        c.start = i++;
        if (i < name.size() && name[i] == '0') {
            // "%0Nd": N from 1 to 10, no second zero.
            const std::size_t digits = ++i;
            while (i < name.size() && is_digit(name[i]) && i - digits < 3)
                c.width = c.width * 10 + (name[i++] - '0');
            if (i == digits || name[digits] == '0' || c.width > 10)
                return false;
        }
        if (i >= name.size() || name[i] != 'd')
            return false;
        c.end = i + 1;
    }
    if (seen)
        *found = c;
    return seen;
}

// Each "%%" of text as "%".
std::string unescape(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        plain += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%')
            ++i;
    }
    return plain;
}

// Whether name holds a frame number's conversion anywhere.
bool has_frame_conversion(const std::string& name)
{
    for (std::size_t i = name.find('%'); i != std::string::npos; i = name.find('%', i + 1)) {
        conversion c;
        std::size_t end = name.find('d', i);
        if (end != std::string::npos && find_conversion(name.substr(i, end + 1 - i), &c))
            return true;
    }
    return false;
}

}  // namespace

movie_output movie_output_kind(const std::string& name)
{
    if (ends_with_webp(name))
        return has_frame_conversion(name) ? movie_output::unknown : movie_output::webp;
    conversion c;
    if (find_conversion(name, &c))
        return movie_output::frame_files;
    if (name == "-" || ends_with(name, ".y4m"))
        return movie_output::y4m;
    ffmpeg_container container = ffmpeg_container::mp4;
    return ffmpeg_container_of(name, &container) ? movie_output::ffmpeg : movie_output::unknown;
}

std::string frame_file_name(const std::string& pattern, std::int32_t frame)
{
    conversion c;
    if (ends_with_webp(pattern) || !find_conversion(pattern, &c))
        return pattern;
    std::string number = std::to_string(frame);
    if (static_cast<int>(number.size()) < c.width)
        number.insert(0, static_cast<std::size_t>(c.width) - number.size(), '0');
    return unescape(pattern.substr(0, c.start)) + number + unescape(pattern.substr(c.end));
}

double movie_position(double from, double to, std::int32_t frame, std::int32_t frames)
{
    if (frames <= 1)
        return from;
    const double t = static_cast<double>(frame) / static_cast<double>(frames - 1);
    return from + (to - from) * t;
}

bool frames_for_duration(double seconds, double fps, std::int32_t* frames)
{
    if (!(seconds > 0.0) || !(fps > 0.0))
        return false;
    const double count = std::max(1.0, std::floor(seconds * fps + 0.5));
    if (!(count <= max_movie_frames))
        return false;
    *frames = static_cast<std::int32_t>(count);
    return true;
}
